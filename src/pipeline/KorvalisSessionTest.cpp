// The session media set on archives written by the tests: file lists, decoders made and updated,
// files that cannot take part, and the path functions.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AudioDecoderGroup.h"
#include "DecoderTestSupport.h"
#include "EncodedAudioChunk.h"
#include "KorvalisEncryptedMediaFile.h"
#include "KorvalisSession.h"
#include "VideoDecoder.h"

namespace {

constexpr double kStart = DecoderTestSupport::kSessionStart;
constexpr const char* kLocation = DecoderTestSupport::kLocation;

class KorvalisSessionTest : public ::testing::Test {
protected:
    DecoderTestSupport archive_;

    KorvalisSession session() {
        return KorvalisSession(archive_.root() + "/Recordings", kLocation, 2010, 3, 15);
    }

    std::string writeRaw(int channel, const std::string& name, const std::string& bytes) {
        const std::string path = archive_.channelDirectory(channel, kStart) + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // A sealed placeholder of `kind` covering [start, end] named after `originalName`'s base.
    std::string writeSealed(int channel, const std::string& baseName, const std::string& kind,
                            double start, double end) {
        static constexpr uint8_t kKey[16] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2, 3, 4, 5, 6};
        const std::string directory = archive_.channelDirectory(channel, kStart);
        writeRaw(channel, "clear.bin", std::string(2000, 'x'));
        KorvalisEncryptedMediaFile file;
        file.setSourceLocation(directory, "clear.bin");
        file.setOriginalLocation(directory, baseName + ".original");
        file.setStartTime(start);
        file.setEndTime(end);
        EXPECT_TRUE(file.encrypt(kKey, sizeof kKey, directory, baseName + "." + kind))
            << file.getErrorText();
        std::filesystem::remove(directory + "/clear.bin");
        return directory + "/" + baseName + "." + kind;
    }

    static std::vector<std::string> fileNames(const std::vector<CompressedAudioFile*>& files) {
        std::vector<std::string> names;
        for (CompressedAudioFile* file : files) {
            names.push_back(file->fileName());
        }
        return names;
    }
};

TEST(KorvalisSessionPaths, PathFunctionsCutAtTheLastSeparators) {
    const std::string path = "/archive/Recordings/000/20100315/COURT1~4b9e3f00~250~0~0~0.mp3";
    EXPECT_EQ(KorvalisSession::extensionOfPath(path), "mp3");
    EXPECT_EQ(KorvalisSession::baseNameOfPath(path), "COURT1~4b9e3f00~250~0~0~0");
    EXPECT_EQ(KorvalisSession::fileNameOfPath(path), "COURT1~4b9e3f00~250~0~0~0.mp3");
    EXPECT_EQ(KorvalisSession::directoryOfPath(path), "/archive/Recordings/000/20100315");

    EXPECT_EQ(KorvalisSession::extensionOfPath("a/b.tar.sealedAudio"), "sealedAudio");
    EXPECT_EQ(KorvalisSession::baseNameOfPath("a/b.tar.sealedAudio"), "b.tar");
    // Without the separator the answer is empty.
    EXPECT_EQ(KorvalisSession::extensionOfPath("/archive/notes"), "");
    EXPECT_EQ(KorvalisSession::baseNameOfPath("name.mp3"), "");
    EXPECT_EQ(KorvalisSession::baseNameOfPath("/archive/notes"), "");
    EXPECT_EQ(KorvalisSession::fileNameOfPath("name.mp3"), "");
    EXPECT_EQ(KorvalisSession::directoryOfPath("name.mp3"), "");
    // A "." in a directory is not the file's extension.
    EXPECT_EQ(KorvalisSession::extensionOfPath("/data.d/COURT1 notes"), "");
    EXPECT_EQ(KorvalisSession::baseNameOfPath("/data.d/COURT1 notes"), "");
    EXPECT_EQ(KorvalisSession::fileNameOfPath("/data.d/"), "");
    EXPECT_EQ(KorvalisSession::directoryOfPath("/top"), "");
}

TEST_F(KorvalisSessionTest, ASessionWithoutMediaHasNoChannelsAndEmptyDecoders) {
    KorvalisSession empty = session();
    EXPECT_TRUE(empty.enumerateMediaFiles());
    EXPECT_EQ(empty.numberOfChannelsIs(), 0u);
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    EXPECT_TRUE(empty.createAudioDecoderGroupForSession(group, 0.144f));
    EXPECT_TRUE(empty.createVideDecoderForSession(video));
    ASSERT_TRUE(group && video);
    EXPECT_EQ(group->numberOfDecodersIs(), 0u);
    EXPECT_EQ(video->numberOfFilesIs(), 0u);

    // Video alone makes no channel; audio alone makes an empty video decoder.
    archive_.writeKov(kStart, 2.0);
    KorvalisSession videoOnly = session();
    videoOnly.enumerateMediaFiles();
    EXPECT_EQ(videoOnly.numberOfChannelsIs(), 0u);
    EXPECT_EQ(videoOnly.videoFiles().size(), 1u);
    videoOnly.createAudioDecoderGroupForSession(group, 0.144f);
    EXPECT_EQ(group->numberOfDecodersIs(), 0u);

    std::filesystem::remove_all(archive_.root() + "/Recordings/000");
    archive_.writeChannelMp3(0, kStart, 2.0);
    KorvalisSession audioOnly = session();
    audioOnly.enumerateMediaFiles();
    EXPECT_EQ(audioOnly.numberOfChannelsIs(), 1u);
    audioOnly.createVideDecoderForSession(video);
    EXPECT_EQ(video->numberOfFilesIs(), 0u);
    EXPECT_TRUE(audioOnly.takeSkippedFiles().empty());
}

TEST_F(KorvalisSessionTest, PlainAndSealedFilesOfOneBaseNameAreBothListedPlainFirst) {
    const std::string plain = archive_.writeChannelMp3(0, kStart, 3.0);
    archive_.writeChannelMp3(0, kStart + 10.0, 3.0);
    const std::string base = KorvalisSession::baseNameOfPath(plain);
    // Sorted by name the sealed file would come first ("...~0~0~0.m" > "...~0~0~0.s" is false).
    const std::string sealed = writeSealed(0, base, "sealedAudio", kStart + 3.0, kStart + 10.0);
    const std::string sealedVideo = writeSealed(0, base, "sealedVideo", kStart, kStart + 5.0);
    const std::string kov = archive_.writeKov(kStart + 5.0, 2.0);

    KorvalisSession media = session();
    media.enumerateMediaFiles();
    ASSERT_EQ(media.numberOfChannelsIs(), 1u);
    const std::vector<std::string> files = media.audioFilesForChannel(0);
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(KorvalisSession::extensionOfPath(files[0]), "mp3");
    EXPECT_EQ(KorvalisSession::extensionOfPath(files[1]), "mp3");
    EXPECT_EQ(files[2], sealed);
    EXPECT_EQ(KorvalisSession::baseNameOfPath(files[2]), base);
    EXPECT_EQ(media.videoFiles(), (std::vector<std::string>{kov, sealedVideo}));
    EXPECT_TRUE(media.audioFilesForChannel(1).empty());

    std::unique_ptr<AudioDecoderGroup> group;
    media.createAudioDecoderGroupForSession(group, 0.144f);
    ASSERT_EQ(group->numberOfDecodersIs(), 1u);
    EXPECT_EQ(group->decoderForChannel(0)->numberOfFilesIs(), 3u);
    // The decoder orders by time: plain, sealed, plain, and the ranges tell them apart.
    std::vector<TimeRange> ranges;
    group->listTimeRangesForChannel(0, ranges);
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_FALSE(ranges[0].sealed);
    EXPECT_TRUE(ranges[1].sealed);
    EXPECT_DOUBLE_EQ(ranges[1].start, kStart + 3.0);
    EXPECT_FALSE(ranges[2].sealed);

    std::unique_ptr<VideoDecoder> video;
    media.createVideDecoderForSession(video);
    ASSERT_EQ(video->numberOfFilesIs(), 2u);
    EXPECT_EQ(video->filesInDecodeListIs()[0]->getFileName(), sealedVideo);
    EXPECT_FALSE(video->filesInDecodeListIs()[0]->isAvailable());
    EXPECT_EQ(video->filesInDecodeListIs()[1]->getFileName(), kov);
}

TEST_F(KorvalisSessionTest, FilesThatCannotTakePartAreLeftOutAndReportedOnce) {
    archive_.writeChannelMp3(0, kStart, 2.0);
    const std::string junkAudio = writeRaw(0, "COURT1~4b9e1a50~0~0~0~0.mp3", std::string(500, 'j'));
    const std::string badName = writeRaw(0, "COURT1 copy.mp3", "whatever");
    const std::string justBegun = writeRaw(0, "COURT1~4b9e1a60~0~0~0~0.mp3", "");
    const std::string badSealed = writeRaw(0, "COURT1~4b9e1a70~0~0~0~0.sealedAudio", "no trailer");
    writeRaw(0, "COURT1~4b9e1a80~0~0~0~0.txt-mp3-notes", "ignored: not a media extension");
    const std::string kov = writeRaw(0, "COURT1~4b9e1a90~0~0~0~0.kov", std::string(300, 'k'));

    KorvalisSession media = session();
    media.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    media.createAudioDecoderGroupForSession(group, 0.144f);
    media.createVideDecoderForSession(video);
    EXPECT_EQ(group->decoderForChannel(0)->numberOfFilesIs(), 1u);
    EXPECT_EQ(video->numberOfFilesIs(), 0u);
    std::vector<std::string> skipped = media.takeSkippedFiles();
    std::sort(skipped.begin(), skipped.end());
    ASSERT_EQ(skipped.size(), 5u) << ::testing::PrintToString(skipped);
    EXPECT_EQ(skipped[0], badName + ": its name carries no start time");
    EXPECT_EQ(skipped[1], junkAudio + ": no MPEG audio frame can be read");
    EXPECT_EQ(skipped[2], justBegun + ": the file is empty");
    EXPECT_EQ(skipped[3], badSealed + ": the sealed file's trailer cannot be read");
    EXPECT_EQ(skipped[4], kov + ": not a readable KOV file");

    // Reported once; the KOV file that failed its test is taken by an update (it may be growing),
    // and so is the MP3 file once the recorder has written its first frames.
    std::filesystem::remove(justBegun);
    const std::string grown = archive_.writeChannelMp3(0, 1268652640.0, 1.0);
    EXPECT_EQ(grown, justBegun);
    media.enumerateMediaFiles();
    media.updateAudioDecoderGroupForSession(*group);
    media.updateVideDecoderForSession(*video);
    EXPECT_TRUE(media.takeSkippedFiles().empty());
    EXPECT_EQ(fileNames(group->decoderForChannel(0)->filesInDecodeListIs()).back(), justBegun);
    EXPECT_EQ(group->decoderForChannel(0)->numberOfFilesIs(), 2u);
    ASSERT_EQ(video->numberOfFilesIs(), 1u);
    EXPECT_EQ(video->filesInDecodeListIs()[0]->getFileName(), kov);
}

TEST_F(KorvalisSessionTest, UpdatesAddOnlyWhatAppearedAndNeverRemove) {
    const std::string first = archive_.writeChannelMp3(0, kStart, 2.0);
    archive_.writeChannelMp3(1, kStart, 2.0);
    archive_.writeKov(kStart, 2.0);
    KorvalisSession media = session();
    media.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    media.createAudioDecoderGroupForSession(group, 0.288f);
    media.createVideDecoderForSession(video);
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(media.enumerateMediaFiles());
        EXPECT_TRUE(media.updateAudioDecoderGroupForSession(*group));
        EXPECT_TRUE(media.updateVideDecoderForSession(*video));
        EXPECT_EQ(group->numberOfDecodersIs(), 2u);
        EXPECT_EQ(group->decoderForChannel(0)->numberOfFilesIs(), 1u);
        EXPECT_EQ(group->decoderForChannel(1)->numberOfFilesIs(), 1u);
        EXPECT_EQ(video->numberOfFilesIs(), 1u);
    }

    // New files go to their channel; a file that vanished stays in its decoder.
    const std::string second = archive_.writeChannelMp3(1, kStart + 2.0, 2.0);
    const std::string kov = archive_.writeKov(kStart + 2.0, 2.0);
    std::filesystem::remove(first);
    archive_.writeChannelMp3(0, kStart + 2.0, 2.0);
    media.enumerateMediaFiles();
    media.updateAudioDecoderGroupForSession(*group);
    media.updateVideDecoderForSession(*video);
    EXPECT_EQ(fileNames(group->decoderForChannel(0)->filesInDecodeListIs())[0], first);
    EXPECT_EQ(group->decoderForChannel(0)->numberOfFilesIs(), 2u);
    EXPECT_EQ(fileNames(group->decoderForChannel(1)->filesInDecodeListIs())[1], second);
    EXPECT_EQ(video->numberOfFilesIs(), 2u);
    EXPECT_TRUE(video->fileNameIsInDecodeList(kov));
}

TEST_F(KorvalisSessionTest, AChannelFoundLaterGetsADecoderAtTheEndReadingTheUsualChunks) {
    archive_.writeChannelMp3(0, kStart, 3.0);
    KorvalisSession media = session();
    media.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    media.createAudioDecoderGroupForSession(group, 0.288f);
    ASSERT_EQ(group->numberOfDecodersIs(), 1u);

    archive_.writeChannelMp3(1, kStart, 3.0);
    archive_.writeChannelMp3(2, kStart, 3.0);
    media.enumerateMediaFiles();
    EXPECT_EQ(media.numberOfChannelsIs(), 3u);
    media.updateAudioDecoderGroupForSession(*group);
    ASSERT_EQ(group->numberOfDecodersIs(), 3u);
    // 0.288 s is 8 frames of 576 samples; the added decoders read 0.144 s, 4 frames.
    const auto samplesPerChunk = [&](unsigned channel) -> uint32_t {
        bool end = false;
        std::unique_ptr<EncodedAudioChunk> chunk =
            group->decoderForChannel(channel)->getNextEncodedChunk(&end, nullptr);
        return chunk ? chunk->numberOfSamplesIs() : 0;
    };
    EXPECT_EQ(samplesPerChunk(0), 8u * 576);
    EXPECT_EQ(samplesPerChunk(1), 4u * 576);
    EXPECT_EQ(samplesPerChunk(2), 4u * 576);
    EXPECT_EQ(group->decoderForChannel(2)->numberOfFilesIs(), 1u);
}

}  // namespace

// A KOV file cut off inside a frame (a recorder crash, a broken copy) still plays its whole frames
// and is named once as damaged; the session's latest file may be one the recorder is writing.
TEST_F(KorvalisSessionTest, ACutOffKovFilePlaysItsWholeFramesAndIsReportedUnlessItIsTheLatest) {
    const std::string first = archive_.writeKov(kStart, 2.0);
    archive_.writeKov(kStart + 2.0, 2.0);  // whole: not reported
    const std::string last = archive_.writeKov(kStart + 4.0, 2.0);
    for (const std::string& path : {first, last}) {
        std::filesystem::resize_file(path, std::filesystem::file_size(path) - 10);
    }

    KorvalisSession media = session();
    media.enumerateMediaFiles();
    std::unique_ptr<VideoDecoder> video;
    media.createVideDecoderForSession(video);
    ASSERT_EQ(video->numberOfFilesIs(), 3u);
    EXPECT_TRUE(media.takeSkippedFiles().empty());
    const std::vector<std::string> damaged = media.takeDamagedFiles();
    ASSERT_EQ(damaged.size(), 1u) << ::testing::PrintToString(damaged);
    EXPECT_EQ(damaged[0].rfind(first + ": it ends inside a frame (", 0), 0u) << damaged[0];

    // The first file's frames up to its cut frame play, then the second file's.
    ASSERT_TRUE(video->setPositionByWallClockTime(kStart, 1.0f));
    bool endOfData = false;
    std::vector<double> times;
    while (std::unique_ptr<VideoSegmentFrame> frame = video->getNextFrame(&endOfData, false)) {
        times.push_back(frame->getEpochTime());
    }
    EXPECT_TRUE(endOfData);
    ASSERT_GE(times.size(), 25u);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_GE(times.back(), kStart + 5.0);

    // Reported once: a second creation says nothing more.
    media.createVideDecoderForSession(video);
    EXPECT_TRUE(media.takeDamagedFiles().empty());
}
