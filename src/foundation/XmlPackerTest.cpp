#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FileIo.h"
#include "TemporaryDirectory.h"
#include "XmlPacker.h"

namespace {

RawMessage messageOf(const std::string& text) {
    return RawMessage(text.data(), static_cast<uint32_t>(text.size()));
}

std::string textOf(const RawMessage& message) {
    return std::string(reinterpret_cast<const char*>(message.data()), message.size());
}

class XmlPackerFileTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (directory_ / name).string(); }

    TemporaryDirectory scratch_{"xmlpacker-"};
    const std::filesystem::path directory_{scratch_.path()};
};

TEST(XmlPackerTest, PrintsEveryValueTypeAsTinyXmlDoes) {
    XmlPacker packer("galewickconfiguration");
    packer.pack("rootpath", std::string("/srv/archive;/mnt/b"));
    packer.pack("meterrefreshrate", 50);
    packer.pack("c", 'x');
    packer.pack("flag", true);
    packer.pack("off", false);
    packer.pack("big", 3000000000u);
    packer.pack("long", -7L);
    packer.pack("ratio", 0.1234567);
    packer.pack("text", "a < b & c");
    packer.pack("empty", std::string());
    EXPECT_EQ(textOf(*packer.getPackedMessage()),
              "<galewickconfiguration>\n"
              "    <rootpath>/srv/archive;/mnt/b</rootpath>\n"
              "    <meterrefreshrate>50</meterrefreshrate>\n"
              "    <c>x</c>\n"
              "    <flag>1</flag>\n"
              "    <off>0</off>\n"
              "    <big>-1294967296</big>\n"
              "    <long>-7</long>\n"
              "    <ratio>0.123457</ratio>\n"
              "    <text>a &lt; b &amp; c</text>\n"
              "    <empty></empty>\n"
              "</galewickconfiguration>\n");
}

TEST(XmlPackerTest, PrintsWhatAnyXmlReaderReadsAsTheSameCharacters) {
    XmlPacker packer("record");
    const std::string spelled = "&#x41; &#65; &amp;";
    const std::string blanks = "  two  blanks\tand a tab ";
    packer.pack("spelled", spelled);
    packer.pack("blanks", blanks);
    packer.pack("controls", std::string("a\x1B[31m\x01"
                                        "b\x7F"));
    packer.pack("bytes", std::string("Caf\xE9 \x80 \xC3\xA9"));
    const std::string printed = packer.packedText();
    EXPECT_EQ(printed,
              "<record>\n"
              "    <spelled>&amp;#x41; &amp;#65; &amp;amp;</spelled>\n"
              "    <blanks>&#x20;&#x20;two &#x20;blanks&#x09;and a tab&#x20;</blanks>\n"
              "    <controls>a\xEF\xBF\xBD[31m\xEF\xBF\xBD"
              "b\x7F</controls>\n"
              "    <bytes>Caf\xC3\xA9 \xE2\x82\xAC \xC3\xA9</bytes>\n"
              "</record>\n");
    XmlPacker reader("record");
    reader.beginUnpacking(messageOf(printed));
    std::string value;
    ASSERT_TRUE(reader.unpack("spelled", value));
    EXPECT_EQ(value, spelled);
    value.clear();
    ASSERT_TRUE(reader.unpack("blanks", value));
    EXPECT_EQ(value, blanks);
}

TEST(XmlPackerTest, UnpacksWhatWasPacked) {
    XmlPacker packer("record");
    packer.pack("c", 'q');
    packer.pack("b", true);
    packer.pack("i", -42);
    packer.pack("u", 3000000000u);
    packer.pack("l", 123456L);
    packer.pack("d", 2.5);
    packer.pack("s", std::string("x & <y>"));
    auto message = packer.getPackedMessage();
    ASSERT_NE(message, nullptr);

    XmlPacker reader("record");
    reader.beginUnpacking(*message);
    char c = 0;
    bool b = false;
    int i = 0;
    unsigned u = 0;
    long l = 0;
    double d = 0;
    std::string s = "prefix:";
    EXPECT_TRUE(reader.unpack("c", c));
    EXPECT_TRUE(reader.unpack("b", b));
    EXPECT_TRUE(reader.unpack("i", i));
    EXPECT_TRUE(reader.unpack("u", u));
    EXPECT_TRUE(reader.unpack("l", l));
    EXPECT_TRUE(reader.unpack("d", d));
    EXPECT_TRUE(reader.unpack("s", s));
    EXPECT_EQ(c, 'q');
    EXPECT_TRUE(b);
    EXPECT_EQ(i, -42);
    EXPECT_EQ(u, 3000000000u);
    EXPECT_EQ(l, 123456L);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(s, "prefix:x & <y>");  // strings append

    int missing = 99;
    EXPECT_FALSE(reader.unpack("nothing", missing));
    EXPECT_EQ(missing, 99);
}

TEST(XmlPackerTest, RepeatedNamesAreListsConsumedInOrder) {
    XmlPacker packer("list");
    packer.pack("a", 1);
    packer.pack("b", 2);
    packer.pack("a", 3);
    XmlPacker reader("list");
    reader.beginUnpacking(*packer.getPackedMessage());
    int value = 0;
    ASSERT_TRUE(reader.unpack("a", value));
    EXPECT_EQ(value, 1);
    ASSERT_TRUE(reader.unpack("a", value));
    EXPECT_EQ(value, 3);
    EXPECT_FALSE(reader.unpack("a", value));
    EXPECT_EQ(value, 3);
    ASSERT_TRUE(reader.unpack("b", value));
    EXPECT_EQ(value, 2);
}

TEST(XmlPackerTest, EmptyElementsGiveEmptyValues) {
    XmlPacker reader("r");
    reader.beginUnpacking(messageOf("<r><s/><n/><b/><c/></r>"));
    std::string s = "keep";
    int n = 5;
    bool b = true;
    char c = 'z';
    EXPECT_TRUE(reader.unpack("s", s));
    EXPECT_TRUE(reader.unpack("n", n));
    EXPECT_TRUE(reader.unpack("b", b));
    EXPECT_TRUE(reader.unpack("c", c));
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(n, 0);
    EXPECT_FALSE(b);
    EXPECT_EQ(c, '\0');
}

TEST(XmlPackerTest, NumbersReadAsTheCLibraryReadsThem) {
    XmlPacker reader("r");
    reader.beginUnpacking(messageOf("<r><a>  12abc</a><b>2</b><c>x</c><d>1.5e3</d></r>"));
    int a = 0;
    bool b = true;
    long c = 7;
    double d = 0;
    EXPECT_TRUE(reader.unpack("a", a));
    EXPECT_TRUE(reader.unpack("b", b));
    EXPECT_TRUE(reader.unpack("c", c));
    EXPECT_TRUE(reader.unpack("d", d));
    EXPECT_EQ(a, 12);
    EXPECT_FALSE(b);  // only 1 is true
    EXPECT_EQ(c, 0);
    EXPECT_EQ(d, 1500.0);
}

TEST(XmlPackerTest, BufferUnpackCutsAndPrintsNestedRecords) {
    XmlPacker reader("r");
    reader.beginUnpacking(messageOf("<r><name>abcdefgh</name><nested><x>1</x></nested></r>"));
    char buffer[5];
    size_t length = 0;
    ASSERT_TRUE(reader.unpack("name", buffer, sizeof buffer, length));
    EXPECT_EQ(length, 8u);
    EXPECT_STREQ(buffer, "abcd");

    char nested[64];
    length = 123;
    ASSERT_TRUE(reader.unpack("nested", nested, sizeof nested, length));
    EXPECT_EQ(length, 123u);
    EXPECT_STREQ(nested, "<nested>\n    <x>1</x>\n</nested>\n");
}

TEST(XmlPackerTest, NestedRecordsTravelAsMessages) {
    XmlPacker inner("inner");
    inner.pack("x", 7);
    XmlPacker outer("outer");
    outer.beginUnpacking(messageOf("<outer><inner><x>7</x></inner><y>2</y></outer>"));
    std::unique_ptr<RawMessage> nested;
    ASSERT_TRUE(outer.unpack("inner", nested));
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(textOf(*nested), textOf(*inner.getPackedMessage()));
    EXPECT_FALSE(outer.unpack("inner", nested));

    // Packing a message makes its record the packer's record.
    XmlPacker target("other");
    target.pack("ignored", *nested);
    int x = 0;
    ASSERT_TRUE(target.unpack("x", x));
    EXPECT_EQ(x, 7);
}

TEST(XmlPackerTest, OnlyTheFirstElementCountsAndGarbageLeavesNoRecord) {
    XmlPacker reader("r");
    reader.beginUnpacking(
        messageOf("<?xml version=\"1.0\"?><!-- c --><a x=\"1\"><v>3</v></a><b/>"));
    ASSERT_NE(reader.attributeValue("x"), nullptr);
    EXPECT_STREQ(reader.attributeValue("x"), "1");
    EXPECT_EQ(reader.attributeValue("X"), nullptr);
    int v = 0;
    EXPECT_TRUE(reader.unpack("v", v));

    reader.beginUnpacking(messageOf("<a><unclosed></a>"));
    EXPECT_FALSE(reader.unpack("v", v));
    EXPECT_EQ(reader.getPackedMessage(), nullptr);
    reader.pack("v", 1);  // no record: a silent no-op
    EXPECT_EQ(reader.getPackedMessage(), nullptr);

    reader.beginPacking();
    EXPECT_EQ(reader.getPackedMessage(), nullptr);  // no children, no attributes
    reader.pack("v", 1);
    EXPECT_NE(reader.getPackedMessage(), nullptr);
}

TEST_F(XmlPackerFileTest, WritesAndReadsFiles) {
    XmlPacker packer("settings");
    packer.pack("volume", 0.5);
    ASSERT_TRUE(packer.writeToFile(path("a.xml")));
    XmlPacker reader("settings");
    ASSERT_TRUE(reader.readFromFile(path("a.xml")));
    double volume = 0;
    EXPECT_TRUE(reader.unpack("volume", volume));
    EXPECT_EQ(volume, 0.5);

    EXPECT_FALSE(reader.readFromFile(path("missing.xml")));
    EXPECT_FALSE(packer.writeToFile(path("no/such/dir/a.xml")));
    EXPECT_FALSE(reader.readFromFile(directory_.string()));
}

TEST_F(XmlPackerFileTest, EmptyRecordsWriteEmptyFilesThatDoNotRead) {
    XmlPacker empty("settings");
    ASSERT_TRUE(empty.writeToFile(path("empty.xml")));
    EXPECT_EQ(std::filesystem::file_size(path("empty.xml")), 0u);
    XmlPacker reader("settings");
    EXPECT_FALSE(reader.readFromFile(path("empty.xml")));
}

TEST_F(XmlPackerFileTest, DeclarationOnlyAndGarbageFilesReadWithoutRecord) {
    std::ofstream(path("decl.xml")) << "<?xml version=\"1.0\" ?>\n";
    std::ofstream(path("junk.xml")) << "\x01\x02 not xml <<<";
    XmlPacker reader("r");
    EXPECT_TRUE(reader.readFromFile(path("decl.xml")));
    int v = 1;
    EXPECT_FALSE(reader.unpack("v", v));
    EXPECT_TRUE(reader.readFromFile(path("junk.xml")));
    EXPECT_FALSE(reader.unpack("v", v));
    EXPECT_EQ(v, 1);
}

TEST(RawMessageTest, OwnsACopyUntilDetached) {
    const long before = RawMessage::liveInstances();
    char bytes[] = {'a', 'b', 'c'};
    uint8_t* detached = nullptr;
    {
        RawMessage message(bytes, 3);
        EXPECT_EQ(RawMessage::liveInstances(), before + 1);
        bytes[0] = 'z';
        EXPECT_EQ(message.data()[0], 'a');
        EXPECT_EQ(message.size(), 3u);
        detached = message.data(true);
        EXPECT_EQ(message.data(), nullptr);
        EXPECT_EQ(message.size(), 0u);
    }
    EXPECT_EQ(RawMessage::liveInstances(), before);
    EXPECT_EQ(detached[2], 'c');
    delete[] detached;
}

}  // namespace
