#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "PointerChecks.h"

// Outside the anonymous namespace, so its operations are named as the product's classes are.
struct AudioDecoder {
    void getNextDecodedChunk(const int* chunk) { CHECK_POINTER(chunk); }
};

namespace {

constexpr uintptr_t kPatterns[] = {0xABABABAB, 0xABADCAFE, 0xBAADF00D, 0xBADCAB1E, 0xBEEFCACE,
                                   0xCCCCCCCC, 0xCDCDCDCD, 0xDEADDEAD, 0xFDFDFDFD, 0xFEEEFEEE};

const void* pointerOf(uintptr_t value) {
    return reinterpret_cast<const void*>(value);
}

TEST(PointerChecksTest, FillPatternsAndNullAreBad) {
    EXPECT_TRUE(PointerChecks::isBadPointer(nullptr));
    for (uintptr_t pattern : kPatterns) {
        EXPECT_TRUE(PointerChecks::isBadPointer(pointerOf(pattern))) << std::hex << pattern;
        EXPECT_TRUE(PointerChecks::isBadPointer(pointerOf((pattern << 32) | pattern)))
            << std::hex << pattern;
        // A pattern in one half only is an ordinary address.
        EXPECT_FALSE(PointerChecks::isBadPointer(pointerOf((pattern << 32) | 0x1000)));
    }
    EXPECT_FALSE(PointerChecks::isBadPointer(pointerOf(0xCCCCCCCD)));
    int value = 0;
    EXPECT_FALSE(PointerChecks::isBadPointer(&value));
}

TEST(PointerChecksTest, QualifiedNameKeepsClassAndOperation) {
    char buffer[128];
    EXPECT_STREQ(PointerChecks::qualifiedName("bool AudioDecoder::getNextDecodedChunk(int)", buffer,
                                              sizeof buffer),
                 "AudioDecoder::getNextDecodedChunk");
    EXPECT_STREQ(
        PointerChecks::qualifiedName("std::map<int, int> Foo<std::pair<int, int> >::bar(int) const",
                                     buffer, sizeof buffer),
        "Foo<std::pair<int, int> >::bar");
    EXPECT_STREQ(PointerChecks::qualifiedName("Foo::Foo()", buffer, sizeof buffer), "Foo::Foo");
    EXPECT_STREQ(PointerChecks::qualifiedName("void freeFunction()", buffer, 5), "free");
}

TEST(PointerChecksDeathTest, BadPointerPrintsItsLineAndAborts) {
    AudioDecoder decoder;
    // The message goes to standard output, which a death test does not capture: the child sends
    // its standard output to the captured standard error first.
    EXPECT_DEATH(
        {
            dup2(2, 1);
            decoder.getNextDecodedChunk(nullptr);
        },
        "Error! CHECK_POINTER encountered a bad pointer \\(\\(nil\\)\\)");
    EXPECT_DEATH(
        {
            dup2(2, 1);
            decoder.getNextDecodedChunk(reinterpret_cast<const int*>(0xBAADF00D));
        },
        "Error! CHECK_POINTER encountered a bad pointer \\(0xbaadf00d\\)\\. "
        "\\(.*PointerChecksTest\\.cpp : "
        "[0-9]+ : AudioDecoder::getNextDecodedChunk\\)");
    EXPECT_DEATH(
        {
            dup2(2, 1);
            std::unique_ptr<int> empty;
            CHECK_ALLOCATION(empty);
        },
        "Error! CHECK_ALLOCATION encountered a bad pointer");
}

TEST(PointerChecksTest, GoodPointersPass) {
    AudioDecoder decoder;
    int chunk = 1;
    decoder.getNextDecodedChunk(&chunk);
    auto owned = std::make_unique<int>(2);
    CHECK_POINTER(owned);
    SUCCEED();
}

}  // namespace
