#include <gtest/gtest.h>

#include "TransactionId.h"
#include "XmlPacker.h"

namespace {

TEST(TransactionIdTest, PacksItsNumberAsOneElement) {
    XmlPacker small("TransactionId");
    ASSERT_TRUE(TransactionId(1234).pack(small));
    EXPECT_EQ(small.packedText(),
              "<TransactionId>\n    <thisIdNumber>1234</thisIdNumber>\n</TransactionId>\n");
}

TEST(TransactionIdTest, EveryNumberReadsBack) {
    // Numbers above the signed range are stored as the packer stores unsigned values.
    TransactionId id(4000000000u);
    XmlPacker packer("TransactionId");
    ASSERT_TRUE(id.pack(packer));

    auto message = packer.getPackedMessage();
    ASSERT_TRUE(message);
    XmlPacker reader("TransactionId");
    reader.beginUnpacking(*message);
    TransactionId back;
    EXPECT_EQ(back.idNumberIs(), 0u);
    ASSERT_TRUE(back.unpack(reader));
    EXPECT_EQ(back.idNumberIs(), 4000000000u);
    EXPECT_EQ(back.typeName(), "TransactionId");
}

TEST(TransactionIdTest, MissingNumberLeavesTheIdUnchanged) {
    XmlPacker packer("TransactionId");
    packer.pack("somethingElse", 5);
    auto message = packer.getPackedMessage();
    XmlPacker reader("TransactionId");
    reader.beginUnpacking(*message);
    TransactionId id(17);
    EXPECT_FALSE(id.unpack(reader));
    EXPECT_EQ(id.idNumberIs(), 17u);
}

TEST(TransactionIdTest, CopiesCarryTheNumberAndAreCounted) {
    const long before = TransactionId::liveInstances();
    {
        TransactionId a(9);
        TransactionId b(a);
        TransactionId c;
        c = b;
        EXPECT_EQ(b.idNumberIs(), 9u);
        EXPECT_EQ(c.idNumberIs(), 9u);
        auto fresh = a.createNewInstance();
        EXPECT_EQ(static_cast<TransactionId&>(*fresh).idNumberIs(), 0u);
        EXPECT_EQ(TransactionId::liveInstances(), before + 4);
    }
    EXPECT_EQ(TransactionId::liveInstances(), before);
}

}  // namespace
