#include <gtest/gtest.h>

#include <sstream>

#include "KovFileHeader.h"

namespace {

// The header this system writes for 640 x 480 JPEG frames at 20 per second, byte for byte.
const std::string kStandardHeaderText =
    "<KOV_Header FormatVersionMajor=\"1\" FormatVersionMinor=\"1\">"
    "<Start_Time>1268652608.250</Start_Time>"
    "<High_Resolution_Counter_Frequency>10000000</High_Resolution_Counter_Frequency>"
    "<Frame_Width>640</Frame_Width><Frame_Height>480</Frame_Height>"
    "<Target_Frame_Rate>20</Target_Frame_Rate><Frame_Encoding>JPEG</Frame_Encoding>"
    "<Frame_Header_Format>"
    "<Frame_Header_Field name=\"Epoch_Time\" offset=\"4\" length=\"4\" format=\"IEEE Double\" />"
    "<Frame_Header_Field name=\"Frame_Data_Checksum\" offset=\"44\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "<Frame_Header_Field name=\"Frame_Number\" offset=\"20\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "<Frame_Header_Field name=\"Header_Checksum\" offset=\"40\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "<Frame_Header_Field name=\"High_Resolution_Time_Stamp\" offset=\"12\" length=\"4\" "
    "format=\"Unsigned Long Long\" />"
    "<Frame_Header_Field name=\"Length_Of_Frame_Data\" offset=\"36\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "<Frame_Header_Field name=\"Offset_To_Next_Frame\" offset=\"28\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "<Frame_Header_Field name=\"Offset_To_Prior_Frame\" offset=\"32\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "<Frame_Header_Field name=\"Offset_To_This_Frame\" offset=\"24\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "<Frame_Header_Field name=\"Start_Marker\" offset=\"0\" length=\"8\" "
    "format=\"Unsigned Long Integer\" />"
    "</Frame_Header_Format></KOV_Header>";

KovFileHeader standardHeader() {
    return KovFileHeader(640, 480, 20, 1268652608.25, 10000000, "JPEG");
}

// A header that has read nothing yet, with values a read must not disturb.
KovFileHeader blankHeader() {
    return KovFileHeader(11, 22, 33, 44.0, 55, "untouched");
}

std::string withTrailer(const std::string& text) {
    return text + std::string(5, '\0');
}

// `text` with the first occurrence of `from` replaced.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

bool readHeader(KovFileHeader& header, const std::string& bytes) {
    std::istringstream stream(bytes);
    return header.readFromStream(stream);
}

TEST(KovFileHeader, WritesTheStandardHeaderByteForByte) {
    KovFileHeader header = standardHeader();
    EXPECT_EQ(header.getHeaderLength(), 0u);
    EXPECT_FALSE(header.isValid());
    EXPECT_EQ(header.getFrameHeaderLength(), 72u);
    std::ostringstream out;
    out << "X";  // the header goes where the stream stands
    ASSERT_TRUE(header.writeToStream(out));
    EXPECT_EQ(out.str(), "X" + withTrailer(kStandardHeaderText));
    EXPECT_EQ(header.getHeaderLength(), kStandardHeaderText.size() + 5);
    EXPECT_EQ(header.headerText(), kStandardHeaderText);

    // Other values print as decimal text; an empty encoding as an element with nothing in it.
    KovFileHeader other(1, 2, 3, 946684800.5, -7, "");
    const std::string text = other.headerText();
    EXPECT_NE(text.find("<Start_Time>946684800.500</Start_Time>"), std::string::npos) << text;
    EXPECT_NE(text.find("<High_Resolution_Counter_Frequency>-7<"), std::string::npos);
    EXPECT_NE(text.find("<Frame_Encoding></Frame_Encoding>"), std::string::npos);

    // Found by fuzzing: a start time longer than 29 characters is written whole, so that it
    // reads back as the same value.
    KovFileHeader huge(1, 2, 3, 1.25e30, 1, "JPEG");
    std::stringstream file;
    huge.writeToStream(file);
    KovFileHeader back = blankHeader();
    ASSERT_TRUE(back.readFromStream(file));
    EXPECT_EQ(back.getStartTime(), 1.25e30);
}

TEST(KovFileHeader, ReadsBackWhatItWrote) {
    KovFileHeader written = standardHeader();
    std::stringstream file;
    file << written;
    file << "frame data follows";
    KovFileHeader read = blankHeader();
    file >> read;
    ASSERT_TRUE(read.isValid());
    EXPECT_EQ(read.getFormatVersionMajor(), 1u);
    EXPECT_EQ(read.getFormatVersionMinor(), 1u);
    EXPECT_EQ(read.getStartTime(), 1268652608.25);
    EXPECT_EQ(read.getHighResolutionCounterFrequency(), 10000000);
    EXPECT_EQ(read.getFrameWidth(), 640u);
    EXPECT_EQ(read.getFrameHeight(), 480u);
    EXPECT_EQ(read.getTargetFrameRate(), 20u);
    EXPECT_EQ(read.getFrameEncoding(), "JPEG");
    EXPECT_EQ(read.getFrameHeaderLength(), 72u);
    EXPECT_EQ(read.getHeaderLength(), written.getHeaderLength());
    // The first frame starts right after the reserved word.
    EXPECT_EQ(static_cast<uint32_t>(file.tellg()), read.getHeaderLength());

    std::vector<uint32_t> lengths;
    for (const auto& [name, field] : read.getFieldTable()) {
        lengths.push_back(field->getLength());
        EXPECT_TRUE(field->isComplete());
    }
    EXPECT_EQ(lengths, (std::vector<uint32_t>{4, 8, 8, 8, 4, 8, 8, 8, 8, 8}));
    EXPECT_EQ(read.getFieldOffset("Epoch_Time"), 4u);
    EXPECT_EQ(read.getFieldOffset("Frame_Data_Checksum"), 44u);
    EXPECT_EQ(read.getFieldOffset("No_Such_Field"), 0u);
    EXPECT_EQ(read.getFieldTable().at("High_Resolution_Time_Stamp")->getFormatName(),
              "Unsigned Long Long");
}

TEST(KovFileHeader, ABadTerminatorOrReservedWordMeansNothingIsParsed) {
    KovFileHeader header = blankHeader();
    // No 0x00 after the text: not valid, header length untouched.
    EXPECT_FALSE(readHeader(header, kStandardHeaderText));
    EXPECT_EQ(header.getHeaderLength(), 0u);
    EXPECT_EQ(header.getFrameWidth(), 11u);

    // A reserved word that is not zero: not valid, but the length reaches past the word.
    std::string bytes = withTrailer(kStandardHeaderText);
    bytes[kStandardHeaderText.size() + 3] = 1;
    EXPECT_FALSE(readHeader(header, bytes));
    EXPECT_EQ(header.getHeaderLength(), kStandardHeaderText.size() + 5);
    EXPECT_EQ(header.getFrameWidth(), 11u);
    EXPECT_EQ(header.getFrameEncoding(), "untouched");

    // A reserved word cut short (terminator and two bytes) counts as not zero.
    EXPECT_FALSE(readHeader(header, kStandardHeaderText + std::string(3, '\0')));
    EXPECT_EQ(header.getHeaderLength(), kStandardHeaderText.size() + 3);
    EXPECT_EQ(header.getFrameHeaderLength(), 0u);

    // Text that is not XML.
    EXPECT_FALSE(readHeader(header, withTrailer("<KOV_Header><Frame_Width>1</KOV_Header>")));
    EXPECT_FALSE(readHeader(header, withTrailer("")));
}

TEST(KovFileHeader, MissingItemsClearValidityButTheRestIsStillRead) {
    KovFileHeader header = blankHeader();
    // No Frame_Width: not valid, every other value read.
    EXPECT_FALSE(readHeader(
        header, withTrailer(replaced(kStandardHeaderText, "<Frame_Width>640</Frame_Width>", ""))));
    EXPECT_EQ(header.getFrameWidth(), 11u);
    EXPECT_EQ(header.getFrameHeight(), 480u);
    EXPECT_EQ(header.getFrameEncoding(), "JPEG");
    EXPECT_EQ(header.getFrameHeaderLength(), 72u);

    // A field without its format: not valid, and its length is not counted.
    header = blankHeader();
    EXPECT_FALSE(readHeader(
        header, withTrailer(replaced(kStandardHeaderText, "length=\"4\" format=\"IEEE Double\"",
                                     "length=\"4\""))));
    EXPECT_EQ(header.getFrameHeaderLength(), 68u);
    EXPECT_EQ(header.getFieldTable().count("Epoch_Time"), 0u);
    EXPECT_EQ(header.getStartTime(), 1268652608.25);

    // No table at all.
    header = blankHeader();
    const size_t from = kStandardHeaderText.find("<Frame_Header_Format>");
    const size_t to = kStandardHeaderText.find("</KOV_Header>");
    EXPECT_FALSE(readHeader(
        header, withTrailer(kStandardHeaderText.substr(0, from) + kStandardHeaderText.substr(to))));
    EXPECT_EQ(header.getFrameHeaderLength(), 0u);
    EXPECT_EQ(header.getTargetFrameRate(), 20u);

    // Elements without text, or with text that is no number, keep the value; versions are
    // optional and the root's name is not checked.
    header = blankHeader();
    std::string text = replaced(kStandardHeaderText, "<Frame_Height>480</Frame_Height>",
                                "<Frame_Height></Frame_Height>");
    text = replaced(text, "<Target_Frame_Rate>20<", "<Target_Frame_Rate>fast<");
    text = replaced(text, " FormatVersionMajor=\"1\" FormatVersionMinor=\"1\"",
                    " FormatVersionMinor=\"7\"");
    text = replaced(text, "<KOV_Header", "<Other_Root");
    text = replaced(text, "</KOV_Header>", "</Other_Root>");
    EXPECT_TRUE(readHeader(header, withTrailer(text)));
    EXPECT_EQ(header.getFrameHeight(), 22u);
    EXPECT_EQ(header.getTargetFrameRate(), 33u);
    EXPECT_EQ(header.getFormatVersionMinor(), 7u);
    EXPECT_EQ(header.getFormatVersionMajor(), 1u);
}

TEST(KovFileHeader, ReadsOtherTablesByTheirOwnLayout) {
    // Fields in another order, each 8 bytes wide as a length attribute, plus a spare field: a
    // 96-byte block.
    const std::string text =
        "<KOV_Header><Start_Time>1.5</Start_Time>"
        "<High_Resolution_Counter_Frequency>3</High_Resolution_Counter_Frequency>"
        "<Frame_Width>4</Frame_Width><Frame_Height>5</Frame_Height>"
        "<Target_Frame_Rate>6</Target_Frame_Rate><Frame_Encoding>JPEG</Frame_Encoding>"
        "<Frame_Header_Format>"
        "<Frame_Header_Field name=\"Start_Marker\" offset=\"88\" length=\"8\" format=\"x\"/>"
        "<Frame_Header_Field name=\"Epoch_Time\" offset=\"0\" length=\"16\" format=\"x\"/>"
        "<Frame_Header_Field name=\"Spare\" offset=\"80\" length=\"8\" format=\"x\"/>"
        "<Frame_Header_Field name=\"Length_Of_Frame_Data\" offset=\"60\" length=\"64\" "
        "format=\"x\"/>"
        "</Frame_Header_Format></KOV_Header>";
    KovFileHeader header = blankHeader();
    EXPECT_TRUE(readHeader(header, withTrailer(text)));
    EXPECT_EQ(header.getFrameHeaderLength(), 96u);
    const auto& offsets = header.getFrameFieldOffsets();
    EXPECT_EQ(offsets[KovFrameHeaderField::kStartMarker], 88u);
    EXPECT_EQ(offsets[KovFrameHeaderField::kEpochTime], 0u);
    EXPECT_EQ(offsets[KovFrameHeaderField::kLengthOfFrameData], 60u);
    EXPECT_EQ(offsets[KovFrameHeaderField::kFrameNumber], 0u);  // absent: offset 0

    // A block over 256 bytes, or a field reaching past the block, cannot be read.
    EXPECT_FALSE(
        readHeader(header, withTrailer(replaced(text, "length=\"64\"", "length=\"300\""))));
    EXPECT_EQ(header.getFrameHeaderLength(), 332u);
    EXPECT_FALSE(readHeader(header, withTrailer(replaced(text, "offset=\"88\"", "offset=\"93\""))));
}

// Found by fuzzing: a table naming a field twice.
TEST(KovFileHeader, AFieldListedTwiceKeepsItsFirstEntryAndCountsBothLengths) {
    const std::string text = replaced(
        kStandardHeaderText, "</Frame_Header_Format>",
        "<Frame_Header_Field name=\"High_Resolution_Time_Stamp\" offset=\"0\" length=\"8\" "
        "format=\"Unsigned Long Integer\" /></Frame_Header_Format>");
    KovFileHeader header = blankHeader();
    EXPECT_TRUE(readHeader(header, withTrailer(text)));
    EXPECT_EQ(header.getFrameHeaderLength(), 80u);
    EXPECT_EQ(header.getFieldTable().size(), 10u);
    EXPECT_EQ(header.getFieldOffset("High_Resolution_Time_Stamp"), 12u);
    // Written back, the table has one entry per name.
    KovFileHeader again = blankHeader();
    std::stringstream file;
    header.writeToStream(file);
    EXPECT_TRUE(again.readFromStream(file));
    EXPECT_EQ(again.getFrameHeaderLength(), 72u);
}

// Found by fuzzing: a field name holding control characters and bytes that are no UTF-8 did not
// read back as it was written. Such texts make the header invalid.
TEST(KovFileHeader, NamesWithControlCharactersOrStrayBytesMakeTheHeaderInvalid) {
    const std::string fuzzed = replaced(kStandardHeaderText, "name=\"Start_Marker\"",
                                        std::string("name=\"\xff\xff_\xd0\x01\x02"
                                                    "B\x16Sta\x92t_Marker\""));
    KovFileHeader header = blankHeader();
    EXPECT_FALSE(readHeader(header, withTrailer(fuzzed)));
    EXPECT_FALSE(
        readHeader(header, withTrailer(replaced(kStandardHeaderText, "<Frame_Encoding>JPEG",
                                                "<Frame_Encoding>JP\x1b[2JEG"))));
    // Letters beyond ASCII in UTF-8 are words like any other.
    EXPECT_TRUE(
        readHeader(header, withTrailer(replaced(kStandardHeaderText, "name=\"Start_Marker\"",
                                                "name=\"D\xc3\xa9"
                                                "but\""))));
}

TEST(KovFileHeader, BoundsWhatAHostileHeaderCanCost) {
    KovFileHeader header = blankHeader();
    // Megabytes of text without a terminator are not read to their end.
    std::istringstream endless(std::string(4 << 20, 'a'));
    EXPECT_FALSE(header.readFromStream(endless));
    EXPECT_LE(static_cast<size_t>(endless.tellg()), KovFileHeader::kMaximumHeaderTextLength + 1);

    // Deep nesting is refused before the XML parser recurses into it.
    std::string deep;
    for (int i = 0; i < 5000; ++i) {
        deep += "<a>";
    }
    EXPECT_FALSE(readHeader(header, withTrailer(deep)));
}

TEST(KovFileHeader, CopiesAreDeep) {
    const long fieldsBefore = KovFrameHeaderField::liveInstances();
    {
        KovFileHeader original = standardHeader();
        std::stringstream file;
        original.writeToStream(file);
        ASSERT_TRUE(original.readFromStream(file));

        KovFileHeader copy = blankHeader();
        copy.copyFromAnotherHeader(original);
        EXPECT_FALSE(copy.isValid());  // the valid flag is not part of a copy's values
        EXPECT_EQ(copy.getHeaderLength(), original.getHeaderLength());
        EXPECT_EQ(copy.getFrameEncoding(), "JPEG");
        EXPECT_EQ(copy.headerText(), original.headerText());
        EXPECT_NE(copy.getFieldTable().at("Epoch_Time").get(),
                  original.getFieldTable().at("Epoch_Time").get());

        const KovFileHeader constructed(original);
        EXPECT_TRUE(constructed.isValid());
        EXPECT_EQ(KovFrameHeaderField::liveInstances(), fieldsBefore + 30);
    }
    EXPECT_EQ(KovFrameHeaderField::liveInstances(), fieldsBefore);
}

}  // namespace
