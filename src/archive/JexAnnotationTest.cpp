#include <gtest/gtest.h>
#include <tinyxml.h>

#include "JexAnnotation.h"
#include "JexSessionLabel.h"
#include "KorvalisAnnotationsPacker.h"
#include "XmlPacker.h"

namespace {

JexAnnotation sampleAnnotation() {
    JexAnnotation annotation;
    annotation.setUser("operator");
    annotation.setLabelTitle("Speaker");
    annotation.setLabelData("Judge Amsel");
    annotation.setEvent("Objection <sustained> & noted");
    annotation.setDisplayTimeText("09:10:40 AM");
    annotation.setDisplayTimeMilitaryText("09:10:40");
    annotation.setDisplayDateText("03/15/2010");
    annotation.setLocation("COURT1");
    annotation.setIndex(7);
    annotation.setTimeStamp(WallClockTime(1268662240u, 0u, 0));
    return annotation;
}

void expectSameFields(const JexAnnotation& a, const JexAnnotation& b) {
    EXPECT_EQ(a.user(), b.user());
    EXPECT_EQ(a.labelTitle(), b.labelTitle());
    EXPECT_EQ(a.labelData(), b.labelData());
    EXPECT_EQ(a.event(), b.event());
    EXPECT_EQ(a.displayTime(), b.displayTime());
    EXPECT_EQ(a.displayTimeMilitary(), b.displayTimeMilitary());
    EXPECT_EQ(a.displayDate(), b.displayDate());
    EXPECT_EQ(a.location(), b.location());
    EXPECT_EQ(a.index(), b.index());
    ASSERT_EQ(a.timeStamp() == nullptr, b.timeStamp() == nullptr);
    if (a.timeStamp() != nullptr) {
        EXPECT_EQ(a.timeStamp()->epochTimeSecondsInUtc(), b.timeStamp()->epochTimeSecondsInUtc());
    }
    EXPECT_EQ(a.hasCustomData(), b.hasCustomData());
    EXPECT_EQ(a.custom(), b.custom());
    EXPECT_EQ(a.originalFileName(), b.originalFileName());
    EXPECT_EQ(a.storedFilePath(), b.storedFilePath());
}

TEST(KorvalisAnnotationsPackerTest, PacksFieldsAsAttributesInOrderAndTheEventAsText) {
    KorvalisAnnotationsPacker packer;
    packer.pack("c", 'x');
    packer.pack("b", true);
    packer.pack("i", -42);
    packer.pack("u", 3000000000u);
    packer.pack("l", 1268662240L);
    packer.pack("d", 0.1234567);
    packer.pack("event", std::string("a < b"));
    packer.pack("s", "\"quoted\" & 'single'");
    packer.pack("event", "replaced <text>");
    EXPECT_EQ(packer.packedText(),
              "<annotation c=\"x\" b=\"1\" i=\"-42\" u=\"3000000000\" l=\"1268662240\" "
              "d=\"0.123457\" s='&quot;quoted&quot; &amp; &apos;single&apos;'>"
              "replaced &lt;text&gt;</annotation>\n");

    auto message = packer.getPackedMessage();
    ASSERT_NE(message, nullptr);
    KorvalisAnnotationsPacker reader;
    reader.beginUnpacking(*message);
    char c = 0;
    bool b = false;
    int i = 0;
    unsigned u = 0;
    long l = 0;
    double d = 0;
    std::string s = "kept:";
    std::string event;
    // Attributes are not consumed: read in any order, and again.
    EXPECT_TRUE(reader.unpack("u", u));
    EXPECT_TRUE(reader.unpack("c", c));
    EXPECT_TRUE(reader.unpack("b", b));
    EXPECT_TRUE(reader.unpack("i", i));
    EXPECT_TRUE(reader.unpack("i", i));
    EXPECT_TRUE(reader.unpack("l", l));
    EXPECT_TRUE(reader.unpack("d", d));
    EXPECT_TRUE(reader.unpack("s", s));
    EXPECT_TRUE(reader.unpack("event", event));
    EXPECT_EQ(c, 'x');
    EXPECT_TRUE(b);
    EXPECT_EQ(i, -42);
    EXPECT_EQ(u, 3000000000u);
    EXPECT_EQ(l, 1268662240L);
    EXPECT_DOUBLE_EQ(d, 0.123457);
    EXPECT_EQ(s, "kept:\"quoted\" & 'single'");
    EXPECT_EQ(event, "replaced <text>");

    char buffer[6];
    size_t length = 0;
    EXPECT_TRUE(reader.unpack("s", buffer, sizeof buffer, length));
    EXPECT_STREQ(buffer, "\"quot");
    EXPECT_EQ(length, 19u);

    int untouched = 5;
    EXPECT_FALSE(reader.unpack("missing", untouched));
    EXPECT_EQ(untouched, 5);
    std::unique_ptr<RawMessage> nested;
    EXPECT_FALSE(reader.unpack("s", nested));
}

TEST(KorvalisAnnotationsPackerTest, ReadsABorrowedElementUntilTheNextRecord) {
    TiXmlElement element("annotation");
    element.SetAttribute("user", "from the record");
    element.LinkEndChild(new TiXmlText("event text"));
    KorvalisAnnotationsPacker packer;
    packer.pack("user", "own");
    packer.unpackFrom(&element);
    std::string user;
    std::string event;
    EXPECT_TRUE(packer.unpack("user", user));
    EXPECT_TRUE(packer.unpack("event", event));
    EXPECT_EQ(user, "from the record");
    EXPECT_EQ(event, "event text");
    packer.beginPacking();
    user.clear();
    EXPECT_FALSE(packer.unpack("user", user));
}

TEST(JexAnnotationTest, PacksInPackingOrderAndRecordsInRecordOrder) {
    JexAnnotation annotation = sampleAnnotation();
    KorvalisAnnotationsPacker packed;
    annotation.pack(packed);
    EXPECT_EQ(packed.packedText(),
              "<annotation user=\"operator\" labeltitle=\"Speaker\" labeldata=\"Judge Amsel\" "
              "displaytime=\"09:10:40 AM\" displaytimemilitary=\"09:10:40\" "
              "displaydate=\"03/15/2010\" location=\"COURT1\" index=\"7\" ts=\"1268662240\">"
              "Objection &lt;sustained&gt; &amp; noted</annotation>\n");

    KorvalisAnnotationsPacker recorded;
    annotation.setCustomData("c", "orig.wav", "/stored/path");
    annotation.packAsRecordElement(recorded);
    EXPECT_EQ(recorded.packedText(),
              "<annotation ts=\"1268662240.000000\" displaytime=\"09:10:40 AM\" "
              "displaytimemilitary=\"09:10:40\" displaydate=\"03/15/2010\" user=\"operator\" "
              "labeltitle=\"Speaker\" labeldata=\"Judge Amsel\" index=\"7\" location=\"COURT1\" "
              "custom=\"c\" originalfilename=\"orig.wav\" storedfilepath=\"/stored/path\">"
              "Objection &lt;sustained&gt; &amp; noted</annotation>\n");
}

TEST(JexAnnotationTest, UnpacksWhatItPackedThroughEitherPacker) {
    JexAnnotation original = sampleAnnotation();
    original.setCustomData("custom", "original.mp3", "/archive/stored");

    KorvalisAnnotationsPacker attributes;
    original.pack(attributes);
    JexAnnotation fromAttributes;
    EXPECT_TRUE(fromAttributes.unpack(attributes));
    expectSameFields(original, fromAttributes);

    XmlPacker elements("JexAnnotation");
    original.pack(elements);
    XmlPacker reader("JexAnnotation");
    reader.beginUnpacking(*elements.getPackedMessage());
    JexAnnotation fromElements;
    EXPECT_TRUE(fromElements.unpack(reader));
    expectSameFields(original, fromElements);
}

TEST(JexAnnotationTest, ReadsTheRecordersVariants) {
    KorvalisAnnotationsPacker packer;
    const std::string text =
        "<annotation ts=\"1268662240.750000\" createdbyuser=\"recorder-7\" labeldata=\"Clerk\" "
        "future=\"ignored\">Witness sworn in</annotation>";
    packer.beginUnpacking(RawMessage(text.data(), static_cast<uint32_t>(text.size())));
    JexAnnotation annotation;
    annotation.setDisplayTimeText("kept when missing");
    EXPECT_FALSE(annotation.unpack(packer));  // several fields are missing
    EXPECT_EQ(annotation.user(), "recorder-7");
    EXPECT_EQ(annotation.labelData(), "Clerk");
    EXPECT_EQ(annotation.event(), "Witness sworn in");
    EXPECT_EQ(annotation.displayTime(), "kept when missing");
    ASSERT_NE(annotation.timeStamp(), nullptr);
    // The fraction is dropped on reading.
    EXPECT_EQ(annotation.timeStamp()->epochTimeSecondsInUtc(), 1268662240u);
    EXPECT_EQ(annotation.timeStamp()->microseconds(), 0u);
    EXPECT_FALSE(annotation.hasCustomData());

    // "user" wins over "createdbyuser"; no "ts" leaves no time stamp.
    const std::string both = "<annotation createdbyuser=\"a\" user=\"b\"/>";
    packer.beginUnpacking(RawMessage(both.data(), static_cast<uint32_t>(both.size())));
    annotation.unpack(packer);
    EXPECT_EQ(annotation.user(), "b");
    EXPECT_EQ(annotation.timeStamp(), nullptr);
    EXPECT_EQ(annotation.event(), "");
}

TEST(JexAnnotationTest, CopyMarkersCarryTheirTimeOnBothClocks) {
    // 00:15:07 and 13:05:00 local time at UTC-5.
    WallClockTime afterMidnight(1268630107.0, 0);
    afterMidnight.setTzOffsetHours(-5);
    JexAnnotation start =
        JexAnnotation::copyMarker(JexAnnotation::kCopyStarted, afterMidnight, "COURT1");
    EXPECT_EQ(start.event(), "Copy Started");
    EXPECT_EQ(start.user(), "Session Copy");
    EXPECT_EQ(start.labelTitle(), "Speaker");
    EXPECT_EQ(start.labelData(), "Session Copy");
    EXPECT_EQ(start.location(), "COURT1");
    EXPECT_EQ(start.displayTime(), "12:15:07 AM");
    EXPECT_EQ(start.displayTimeMilitary(), "00:15:07");
    EXPECT_EQ(start.displayDate(), "03/15/2010");
    ASSERT_NE(start.timeStamp(), nullptr);
    EXPECT_EQ(start.timeStamp()->epochTimeSecondsInUtc(), 1268630107u);

    WallClockTime afternoon(1268676300.0, 0);
    afternoon.setTzOffsetHours(-5);
    JexAnnotation stop = JexAnnotation::copyMarker(JexAnnotation::kCopyStopped, afternoon, "X");
    EXPECT_EQ(stop.event(), "Copy Stopped");
    EXPECT_EQ(stop.displayTime(), "01:05:00 PM");
    EXPECT_EQ(stop.displayTimeMilitary(), "13:05:00");

    WallClockTime noon(1268672400.0, 0);
    noon.setTzOffsetHours(-5);
    EXPECT_EQ(JexAnnotation::copyMarker("", noon, "").displayTime(), "12:00:00 PM");
}

TEST(JexSessionLabelTest, NamesTheRecordAndPacksItself) {
    const JexSessionLabel label("COURT1", 2010, 3, 5);
    EXPECT_EQ(label.labelText(), "COURT1~20100305");
    EXPECT_EQ(label.dateText(), "20100305");
    EXPECT_EQ(label.recordPath("/srv/a/Databases/"), "/srv/a/Databases/COURT1~20100305.xml");
    EXPECT_EQ(label.recordPath("/srv/a/Databases"), "/srv/a/Databases/COURT1~20100305.xml");

    XmlPacker packer("JexSessionLabel");
    label.pack(packer);
    XmlPacker reader("JexSessionLabel");
    reader.beginUnpacking(*packer.getPackedMessage());
    JexSessionLabel back;
    EXPECT_TRUE(back.unpack(reader));
    EXPECT_EQ(back.labelText(), "COURT1~20100305");
    JexSessionLabel incomplete;
    EXPECT_FALSE(incomplete.unpack(reader));  // everything was consumed
}

}  // namespace
