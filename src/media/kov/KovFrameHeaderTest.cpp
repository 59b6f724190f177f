#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "ByteOrder.h"
#include "KovFrameHeader.h"

namespace {

const KovFileHeader& standardTable() {
    static const KovFileHeader header(640, 480, 20, 1268652608.0, 10000000, "JPEG");
    return header;
}

std::string block(const KovFrameHeader& header) {
    std::ostringstream out;
    EXPECT_TRUE(header.writeToStream(out));
    return out.str();
}

// A frame header as read back from `bytes` (followed by frame data, so no end of stream).
KovFrameHeader readBack(const std::string& bytes, const KovFileHeader& table = standardTable()) {
    KovFrameHeader header(&table);
    std::istringstream in(bytes + "data");
    header.readFromStream(in);
    return header;
}

// Reads into `table` a file header whose frame-header table holds `fields`.
bool readTable(KovFileHeader& table, const std::string& fields) {
    std::istringstream bytes(
        "<KOV_Header><Start_Time>1</Start_Time>"
        "<High_Resolution_Counter_Frequency>1</High_Resolution_Counter_Frequency>"
        "<Frame_Width>1</Frame_Width><Frame_Height>1</Frame_Height>"
        "<Target_Frame_Rate>1</Target_Frame_Rate><Frame_Encoding>JPEG</Frame_Encoding>"
        "<Frame_Header_Format>" +
        fields + "</Frame_Header_Format></KOV_Header>" + std::string(5, '\0'));
    return table.readFromStream(bytes);
}

KovFrameHeader sample(double time = 1268652608.25, uint32_t length = 1234) {
    return KovFrameHeader(&standardTable(), time, 0x0102030405060708ull, 7, 100, 200, 50, length);
}

TEST(KovFrameHeader, WritesTheStandardSeventyTwoByteBlock) {
    const std::string bytes = block(sample());
    ASSERT_EQ(bytes.size(), 72u);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(std::string(bytes, 0, 4), "\x0B\xAF\xF1\xED");
    EXPECT_EQ(ByteOrder::readLittleEndianDouble(b + 4), 1268652608.25);
    EXPECT_EQ(std::string(bytes, 12, 8), "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(ByteOrder::readBigEndian32(b + 20), 7u);
    EXPECT_EQ(ByteOrder::readBigEndian32(b + 24), 100u);
    EXPECT_EQ(ByteOrder::readBigEndian32(b + 28), 200u);
    EXPECT_EQ(ByteOrder::readBigEndian32(b + 32), 50u);
    EXPECT_EQ(ByteOrder::readBigEndian32(b + 36), 1234u);
    EXPECT_EQ(std::string(bytes, 40, 32), std::string(32, '\0'));  // checksums and padding
}

TEST(KovFrameHeader, ReadsBackEveryFieldAndLeavesTheStreamAfterTheBlock) {
    const long before = KovFrameHeader::liveInstances();
    KovFrameHeader header(&standardTable());
    EXPECT_FALSE(header.isValid());
    EXPECT_EQ(header.getEpochTime(), 0.0);
    std::istringstream in(block(sample()) + "more");
    in >> header;
    EXPECT_TRUE(header.isValid());
    EXPECT_EQ(in.tellg(), 72);
    EXPECT_EQ(header.getStartMarker(), KovFrameHeader::kStartMarker);
    EXPECT_EQ(header.getEpochTime(), 1268652608.25);
    EXPECT_EQ(header.getHighResolutionTimeStamp(), 0x0102030405060708ull);
    EXPECT_EQ(header.getFrameNumber(), 7u);
    EXPECT_EQ(header.getOffsetToThisFrame(), 100u);
    EXPECT_EQ(header.getOffsetToNextFrame(), 200u);
    EXPECT_EQ(header.getOffsetToPriorFrame(), 50u);
    EXPECT_EQ(header.getLengthOfFrameData(), 1234u);
    EXPECT_EQ(header.getHeaderChecksum(), 0u);
    EXPECT_EQ(header.getFrameDataChecksum(), 0u);

    const KovFrameHeader copy = header;
    EXPECT_TRUE(copy.isValid());
    EXPECT_EQ(copy.getFileHeader(), &standardTable());
    EXPECT_EQ(KovFrameHeader::liveInstances(), before + 2);
}

TEST(KovFrameHeader, ValidityFollowsTheFormatsThresholds) {
    EXPECT_FALSE(readBack(block(sample(946684799.999))).isValid());
    EXPECT_TRUE(readBack(block(sample(946684800.0))).isValid());
    EXPECT_TRUE(readBack(block(sample(std::nan("")))).isValid());  // not "earlier" than 2000
    EXPECT_FALSE(readBack(block(sample(1268652608.0, 99))).isValid());
    EXPECT_TRUE(readBack(block(sample(1268652608.0, 100))).isValid());

    // Checksums: the full read wants 0; hasValidMarker also takes 0xFFFFFFFF for the header's.
    std::string bytes = block(sample());
    bytes.replace(40, 4, "\xFF\xFF\xFF\xFF");
    KovFrameHeader header = readBack(bytes);
    EXPECT_FALSE(header.isValid());
    EXPECT_TRUE(header.hasValidMarker());
    bytes.replace(40, 4, std::string("\0\0\0\1", 4));
    EXPECT_FALSE(readBack(bytes).hasValidMarker());
    bytes = block(sample());
    bytes[47] = 1;
    header = readBack(bytes);
    EXPECT_FALSE(header.isValid());
    EXPECT_TRUE(header.hasValidMarker());
    bytes = block(sample());
    bytes[0] = 0x0C;
    EXPECT_FALSE(readBack(bytes).hasValidMarker());
}

TEST(KovFrameHeader, AShortReadOrTheEndOfTheStreamIsNotValid) {
    KovFrameHeader header(&standardTable());
    std::istringstream cut(block(sample()).substr(0, 71));
    EXPECT_FALSE(header.readFromStream(cut));
    EXPECT_TRUE(cut.fail());
    // The block is all there but nothing follows: a stream at its end after the read is only
    // reported by a further read, so this one counts.
    std::istringstream exact(block(sample()));
    EXPECT_TRUE(header.readFromStream(exact));
}

TEST(KovFrameHeader, AlwaysWritesTheRealMarker) {
    std::string bytes = block(sample());
    bytes.replace(0, 4, "\xDE\xAD\xBE\xEF");
    KovFrameHeader header(&standardTable());
    header.decodeBlock(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(header.getStartMarker(), 0xDEADBEEFu);
    EXPECT_EQ(block(header).substr(0, 4), "\x0B\xAF\xF1\xED");
}

TEST(KovFrameHeader, DecodesAnotherTableByOffsetAndItsOwnBlockSize) {
    // Epoch time first, the marker at 88, a 96-byte block; Frame_Number absent (offset 0).
    const std::string fields =
        "<Frame_Header_Field name=\"Epoch_Time\" offset=\"0\" length=\"16\" format=\"f\"/>"
        "<Frame_Header_Field name=\"Length_Of_Frame_Data\" offset=\"60\" length=\"64\" "
        "format=\"f\"/>"
        "<Frame_Header_Field name=\"Start_Marker\" offset=\"88\" length=\"8\" format=\"f\"/>"
        "<Frame_Header_Field name=\"Header_Checksum\" offset=\"92\" length=\"8\" format=\"f\"/>"
        "<Frame_Header_Field name=\"Frame_Data_Checksum\" offset=\"80\" length=\"0\" "
        "format=\"f\"/>"
        "";
    KovFileHeader table(0, 0, 0, 0, 0, "");
    ASSERT_TRUE(readTable(table, fields));
    ASSERT_EQ(table.getFrameHeaderLength(), 96u);

    std::string bytes(96, '\0');
    auto* b = reinterpret_cast<uint8_t*>(bytes.data());
    ByteOrder::writeLittleEndianDouble(b, 1300000000.5);
    ByteOrder::writeBigEndian32(b + 60, 4000);
    ByteOrder::writeBigEndian32(b + 88, KovFrameHeader::kStartMarker);
    std::istringstream in(bytes + "data");
    KovFrameHeader header(&table);
    EXPECT_TRUE(header.readFromStream(in));
    EXPECT_EQ(in.tellg(), 96);
    EXPECT_EQ(header.getEpochTime(), 1300000000.5);
    EXPECT_EQ(header.getLengthOfFrameData(), 4000u);
    // Absent fields decode from offset 0: the first four bytes of the double.
    EXPECT_EQ(header.getFrameNumber(), ByteOrder::readBigEndian32(b));

    // Written back with the same table, the block keeps that layout and size.
    const std::string again = block(header);
    ASSERT_EQ(again.size(), 96u);
    EXPECT_EQ(again.substr(88, 4), "\x0B\xAF\xF1\xED");
    EXPECT_EQ(ByteOrder::readLittleEndianDouble(reinterpret_cast<const uint8_t*>(again.data())),
              1300000000.5);
}

TEST(KovFrameHeader, RefusesBlocksLargerThanTheReadBuffer) {
    const std::string fields =
        "<Frame_Header_Field name=\"Start_Marker\" offset=\"0\" length=\"300\" format=\"f\"/>"
        "";
    KovFileHeader table(0, 0, 0, 0, 0, "");
    EXPECT_FALSE(readTable(table, fields));
    ASSERT_EQ(table.getFrameHeaderLength(), 300u);

    std::istringstream in(block(sample()) + std::string(400, '\0'));
    KovFrameHeader header(&table);
    EXPECT_FALSE(header.readFromStream(in));
    EXPECT_EQ(in.tellg(), 0);  // nothing read
    std::ostringstream out;
    EXPECT_FALSE(header.writeToStream(out));
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
