#include <gtest/gtest.h>

#include "MediaFileName.h"

namespace {

TEST(MediaFileNameTest, ReadsTheFiveNumbersAndTheStartTime) {
    MediaFileName name;
    ASSERT_TRUE(MediaFileName::parse("/srv/a.b~c/LOC~4b9e3f00~250~1~2~0.mp3", name));
    EXPECT_EQ(name.prefix(), "LOC");
    EXPECT_EQ(name.seconds(), 1268662016u);
    EXPECT_EQ(name.milliseconds(), 250u);
    EXPECT_EQ(name.n1(), 1);
    EXPECT_EQ(name.n2(), 2);
    EXPECT_EQ(name.n3(), 0);
    EXPECT_EQ(name.extension(), "mp3");
    const long double expected = 1268662016.0L + 250.0L * static_cast<long double>(0.001f);
    EXPECT_EQ(name.startTime(), static_cast<double>(expected));
}

TEST(MediaFileNameTest, ThirdNumberIsOptional) {
    MediaFileName name;
    ASSERT_TRUE(MediaFileName::parse("LOC~4b9e3f00~250~1~2.mp3", name));
    EXPECT_EQ(name.n2(), 2);
    EXPECT_EQ(name.n3(), 0);
    ASSERT_TRUE(MediaFileName::parse("LOC~4b9e3f00~250~1~2~-7.sealedAudio", name));
    EXPECT_EQ(name.n3(), -7);
    EXPECT_EQ(name.extension(), "sealedAudio");
}

TEST(MediaFileNameTest, RejectsNamesThatDoNotFollowTheScheme) {
    MediaFileName name("KEEP", 5.0, 1, 1, 1);
    EXPECT_FALSE(MediaFileName::parse("LOC~4b9e3f00~250~1.mp3", name));    // three "~"
    EXPECT_FALSE(MediaFileName::parse("LOC~4b9e3f00~250~1~2", name));      // no "."
    EXPECT_FALSE(MediaFileName::parse("LOC~zz~250~1~2.mp3", name));        // SECONDS not hex
    EXPECT_FALSE(MediaFileName::parse("LOC~4b9e3f00~x~1~2.mp3", name));    // MILLISECONDS
    EXPECT_FALSE(MediaFileName::parse("LOC~4b9e3f00~1~2~3~x.mp3", name));  // N3
    EXPECT_FALSE(MediaFileName::parse("dir~1~2~3~4.d/file.mp3", name));    // only the name counts
    EXPECT_FALSE(MediaFileName::parse("", name));
    EXPECT_EQ(name.prefix(), "KEEP");
}

TEST(MediaFileNameTest, WritesDerivedNames) {
    MediaFileName name("PREFIX", 1268662016.25, 3, 4, 5);
    EXPECT_EQ(name.pathIn("D", "mp3"), "D/PREFIX~4b9e3f00~250~3~4~5.mp3");
    EXPECT_EQ(name.pathIn("D/", "kov"), "D/PREFIX~4b9e3f00~250~3~4~5.kov");
    // Milliseconds are truncated, not rounded.
    EXPECT_EQ(name.withStartTime(1268662016.9999).fileName("mp3"), "PREFIX~4b9e3f00~999~3~4~5.mp3");
    EXPECT_EQ(MediaFileName("P", 16.0, 0, 0, 0).fileName("mp3"), "P~00000010~0~0~0~0.mp3");

    MediaFileName back;
    ASSERT_TRUE(MediaFileName::parse(name.pathIn("/x", "mp3"), back));
    EXPECT_EQ(back.fileName("mp3"), name.fileName("mp3"));
}

TEST(MediaFileNameTest, PartNamesRoundToTheNearestMillisecond) {
    const MediaFileName name("P", 1268662016.0, 1, 2, 3);
    // 7.56 s of 36 ms frames, summed in floats, falls a fraction of a microsecond short.
    EXPECT_EQ(name.withNearestStartTime(1268662016.0 + 7.5599995).fileName("mp3"),
              "P~4b9e3f07~560~1~2~3.mp3");
    EXPECT_EQ(name.withNearestStartTime(1268662016.0 + 0.0004999).fileName("mp3"),
              "P~4b9e3f00~0~1~2~3.mp3");
    EXPECT_EQ(name.withNearestStartTime(1268662016.0 + 0.0006).fileName("mp3"),
              "P~4b9e3f00~1~1~2~3.mp3");
    // Half a millisecond before a second carries into the seconds.
    EXPECT_EQ(name.withNearestStartTime(1268662016.9996).fileName("mp3"), "P~4b9e3f01~0~1~2~3.mp3");
    EXPECT_EQ(name.withNearestStartTime(1268662016.9994).fileName("mp3"),
              "P~4b9e3f00~999~1~2~3.mp3");
}

TEST(MediaFileNameTest, SplitsPaths) {
    EXPECT_EQ(MediaFileName::fileNameOf("/a/b.mp3"), "b.mp3");
    EXPECT_EQ(MediaFileName::fileNameOf("b.mp3"), "b.mp3");
    EXPECT_EQ(MediaFileName::directoryOf("/a/b.mp3"), "/a");
    EXPECT_EQ(MediaFileName::directoryOf("/b.mp3"), "/");
    EXPECT_EQ(MediaFileName::directoryOf("b.mp3"), ".");
}

}  // namespace
