#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "AudioDecoderGroup.h"
#include "CompressedAudioFile.h"
#include "CompressedVideoFile.h"
#include "FaultInjectingFileSystem.h"
#include "Image.h"
#include "KorvalisSealingSession.h"
#include "KorvalisSealingSessionTestSupport.h"
#include "KorvalisUserSealingKey.h"
#include "RealFileSystem.h"
#include "SessionCopyTestSupport.h"
#include "SessionRangeCopier.h"
#include "TimeRange.h"
#include "VideoDecoder.h"
#include "VideoSegmentFrame.h"

using namespace session_copy_test;

namespace {

// Every frame of the decoder as stored: time and compressed bytes.
std::map<double, std::string> videoFrames(VideoDecoder& decoder) {
    std::map<double, std::string> frames;
    const std::vector<CompressedVideoFile*> files = decoder.filesInDecodeListIs();
    if (files.empty() || !decoder.setPositionByWallClockTime(files.front()->getStartTime(), 1.0f)) {
        return frames;
    }
    bool endOfData = false;
    while (!endOfData) {
        std::unique_ptr<VideoSegmentFrame> frame = decoder.getNextFrame(&endOfData, true);
        if (frame && frame->getImage() != nullptr) {
            const Image& image = *frame->getImage();
            frames[frame->getEpochTime()] =
                std::string(reinterpret_cast<const char*>(image.getData()), image.getDataLength());
        }
    }
    return frames;
}

class SessionRangeCopierTest : public GeneratedSession {
protected:
    // Copies [from, to] of the source into `target` and keeps the messages.
    bool copyRange(double from, double to, const std::string& target, FileSystem& fileSystem,
                   KovWriteCallback writer = nullptr, void* writerContext = nullptr) {
        OpenSession source(root_, kLocation);
        SessionRangeCopier copier(fileSystem, source.group.get(), source.video.get(),
                                  {kDate.year, kDate.month, kDate.day});
        copier.setMessageCallback([this](const std::string& text) { messages_.push_back(text); });
        copier.setProgressCallback([this](const char* text, int, int) {
            if (text != nullptr) {
                progressTexts_.push_back(text);
            }
        });
        return copier.copy(from, to, target, writer, writerContext);
    }

    bool saidMessage(const std::string& text) const {
        return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
    }

    std::string day() const { return "20100315"; }

    RealFileSystem fileSystem_;
    std::vector<std::string> messages_;
    std::vector<std::string> progressTexts_;
};

// A range inside one file of every channel (files are one minute long): each channel gets exactly
// one MP3 file that is a run of the source file's bytes and plays the range, to within a frame;
// the video frames of the range are the source's frames.
TEST_F(SessionRangeCopierTest, RangeInsideOneFilePlaysAsASessionWithTheSourceBytes) {
    const double from = start_ + 70.0;
    const double to = start_ + 100.0;
    const std::string target = scratch_.file("copy");
    ASSERT_TRUE(copyRange(from, to, target, fileSystem_));

    OpenSession copied(target, kLocation);
    ASSERT_EQ(copied.session.numberOfChannelsIs(), static_cast<uint32_t>(kChannels));
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        const std::vector<std::string> files =
            filesIn(SessionRangeCopier::dayDirectory(target, channel, {2010, 3, 15}), "mp3");
        ASSERT_EQ(files.size(), 1u) << "channel " << channel;
        const std::string copiedBytes = readBytes(files[0]);
        ASSERT_FALSE(copiedBytes.empty());
        bool foundInSource = false;
        for (const std::string& sourceFile :
             OpenSession(root_, kLocation).session.audioFilesForChannel(channel)) {
            foundInSource =
                foundInSource || readBytes(sourceFile).find(copiedBytes) != std::string::npos;
        }
        EXPECT_TRUE(foundInSource) << files[0];

        std::vector<TimeRange> ranges;
        copied.group->listTimeRangesForChannel(channel, ranges);
        ASSERT_EQ(ranges.size(), 1u);
        EXPECT_NEAR(ranges[0].start, from, kFrameSeconds);
        EXPECT_NEAR(ranges[0].end, to, kFrameSeconds);
    }

    OpenSession source(root_, kLocation);
    const std::map<double, std::string> sourceFrames = videoFrames(*source.video);
    const std::map<double, std::string> copiedFrames = videoFrames(*copied.video);
    ASSERT_FALSE(copiedFrames.empty());
    EXPECT_NEAR(copiedFrames.begin()->first, from, 0.2 + 1e-6);
    EXPECT_NEAR(copiedFrames.rbegin()->first, to, 0.2 + 1e-6);
    size_t inSpan = 0;
    for (const auto& [time, bytes] : sourceFrames) {
        if (time >= copiedFrames.begin()->first && time <= copiedFrames.rbegin()->first) {
            ++inSpan;
            const auto copiedFrame = copiedFrames.find(time);
            ASSERT_NE(copiedFrame, copiedFrames.end()) << "frame at " << time << " missing";
            EXPECT_TRUE(copiedFrame->second == bytes) << "frame at " << time;
        }
    }
    EXPECT_EQ(inSpan, copiedFrames.size());

    EXPECT_TRUE(saidMessage("     - Range is entirely within file, double split required."));
    EXPECT_EQ(messages_.front(), "Starting copy process ...");
    const std::vector<std::string> structure{"Creating target directory structure ...",
                                             target,
                                             target + "/Recordings",
                                             target + "/Recordings/000",
                                             target + "/Recordings/000/" + day(),
                                             target + "/Databases",
                                             "Processing video files ..."};
    EXPECT_TRUE(std::search(messages_.begin(), messages_.end(), structure.begin(),
                            structure.end()) != messages_.end());
    EXPECT_TRUE(saidMessage("Processing audio channel 2 ..."));
    EXPECT_FALSE(saidMessage("Error!  Could not create directory."));
    EXPECT_TRUE(std::find(progressTexts_.begin(), progressTexts_.end(),
                          "Copying audio files ...") != progressTexts_.end());
}

// A range over several files: the files wholly inside are copied whole (byte for byte), the
// two at the ends are cut; the channel plays the range without a gap.
TEST_F(SessionRangeCopierTest, FilesInsideTheRangeAreCopiedWholeAndTheEndsCut) {
    const double from = start_ + 30.0;
    const double to = start_ + 150.0;
    const std::string target = scratch_.file("copy");
    ASSERT_TRUE(copyRange(from, to, target, fileSystem_));
    OpenSession source(root_, kLocation);
    OpenSession copied(target, kLocation);
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        const std::vector<std::string> files =
            filesIn(SessionRangeCopier::dayDirectory(target, channel, {2010, 3, 15}), "mp3");
        ASSERT_EQ(files.size(), 3u);
        // The middle file (start + 60 .. start + 120) is the source file itself.
        std::string whole;
        for (const std::string& sourceFile : source.session.audioFilesForChannel(channel)) {
            if (KorvalisSession::fileNameOfPath(sourceFile) ==
                KorvalisSession::fileNameOfPath(files[1])) {
                whole = sourceFile;
            }
        }
        ASSERT_FALSE(whole.empty()) << files[1];
        EXPECT_TRUE(readBytes(whole) == readBytes(files[1])) << files[1];
        std::vector<TimeRange> ranges;
        copied.group->listTimeRangesForChannel(channel, ranges);
        ASSERT_EQ(ranges.size(), 1u);
        EXPECT_NEAR(ranges[0].start, from, kFrameSeconds);
        EXPECT_NEAR(ranges[0].end, to, kFrameSeconds);
    }
    EXPECT_TRUE(saidMessage("     - Entire file is in range, no split required."));
    EXPECT_TRUE(saidMessage("     - Final portion of file is in range, single split required."));
    EXPECT_TRUE(saidMessage("     - First portion of file is in range, single split required."));
}

// Copying into a tree that exists: the existing directories are no obstacle, but a file already in
// the target is never replaced (the copy fails and says so).
TEST_F(SessionRangeCopierTest, ExistingTreeIsReportedAndExistingFilesAreNotReplaced) {
    const std::string target = scratch_.file("copy");
    ASSERT_TRUE(copyRange(start_ + 60.0, start_ + 120.0, target, fileSystem_));
    const std::map<std::string, std::string> before = treeContents(target);
    messages_.clear();
    EXPECT_FALSE(copyRange(start_ + 60.0, start_ + 120.0, target, fileSystem_));
    EXPECT_FALSE(saidMessage("Error!  Could not create directory."));
    EXPECT_TRUE(saidMessage("   FAILED!"));
    EXPECT_TRUE(saidMessage("Video copy FAILED!"));
    EXPECT_TRUE(treeContents(target) == before);
}

// A failed file operation fails the copy with the system's words and leaves the source as it was.
TEST_F(SessionRangeCopierTest, FailedOperationFailsTheCopyAndLeavesTheSourceAlone) {
    const std::map<std::string, std::string> source = treeContents(root_);
    for (uint64_t operation = 1; operation <= 12; ++operation) {
        FaultInjectingFileSystem faulty(fileSystem_);
        faulty.crashAt(operation);
        const std::string target = scratch_.file("copy" + std::to_string(operation));
        messages_.clear();
        EXPECT_FALSE(copyRange(start_ + 30.0, start_ + 150.0, target, faulty)) << operation;
        EXPECT_TRUE(saidMessage("Video copy FAILED!") || saidMessage("Audio copy FAILED!"))
            << operation;
    }
    EXPECT_TRUE(treeContents(root_) == source);
}

struct WriterCalls {
    std::map<std::string, std::vector<uint32_t>> chunks;
    std::map<std::string, int> finals;
    std::map<std::string, std::string> bytes;
};

bool recordWrite(void* context, double timeSeconds, const uint8_t* bytes, uint32_t count,
                 const std::string* target, bool finished) {
    auto& calls = *static_cast<WriterCalls*>(context);
    EXPECT_EQ(timeSeconds, 0.0);
    if (finished) {
        ++calls.finals[*target];
        return true;
    }
    calls.chunks[*target].push_back(count);
    calls.bytes[*target].append(reinterpret_cast<const char*>(bytes), count);
    return true;
}

// With a writer every file reaches it (copied whole files in 2 MiB chunks, then one final call);
// the copier itself writes no media file.
TEST_F(SessionRangeCopierTest, WriterReceivesEveryFileAndNothingIsWritten) {
    const std::string target = scratch_.file("copy");
    WriterCalls calls;
    ASSERT_TRUE(
        copyRange(start_ + 30.0, start_ + 150.0, target, fileSystem_, &recordWrite, &calls));
    EXPECT_TRUE(treeContents(target).empty());
    // Three files per audio channel and per video: two cut, one whole.
    EXPECT_EQ(calls.finals.size(), static_cast<size_t>(3 * (kChannels + 1)));
    OpenSession source(root_, kLocation);
    int wholeFiles = 0;
    for (const auto& [path, finals] : calls.finals) {
        EXPECT_EQ(finals, 1) << path;
        for (uint32_t count : calls.chunks[path]) {
            EXPECT_LE(count, SessionRangeCopier::kWriterChunkBytes);
        }
        // The second file of channel 0 (start + 60 .. start + 120) lies wholly in the range.
        const std::string sourceFile = source.session.audioFilesForChannel(0).at(1);
        if (KorvalisSession::fileNameOfPath(sourceFile) == KorvalisSession::fileNameOfPath(path)) {
            EXPECT_TRUE(calls.bytes[path] == readBytes(sourceFile)) << path;
            EXPECT_GE(calls.chunks[path].size(), 1u);
            ++wholeFiles;
        }
    }
    EXPECT_EQ(wholeFiles, 1);
}

// The date of a session is read from its files' day directory; a session without files has none.
TEST_F(SessionRangeCopierTest, DateOfSessionComesFromItsDayDirectory) {
    OpenSession source(root_, kLocation);
    SessionRangeCopier::Date date;
    ASSERT_TRUE(SessionRangeCopier::dateOfSession(source.session, date));
    EXPECT_EQ(date.year, 2010);
    EXPECT_EQ(date.month, 3);
    EXPECT_EQ(date.day, 15);
    OpenSession missing(root_, "COURT9");
    date = {};
    EXPECT_FALSE(SessionRangeCopier::dateOfSession(missing.session, date));
    EXPECT_EQ(date.year, 0);
}

// A session without audio channels copies its video and succeeds.
TEST_F(SessionRangeCopierTest, WithoutAudioChannelsTheVideoIsCopied) {
    RealFileSystem fileSystem;
    OpenSession source(root_, kLocation);
    AudioDecoderGroup noChannels;
    SessionRangeCopier copier(fileSystem, &noChannels, source.video.get(), {2010, 3, 15});
    const std::string target = scratch_.file("copy");
    ASSERT_TRUE(copier.copy(start_ + 10.0, start_ + 20.0, target, nullptr, nullptr));
    EXPECT_EQ(filesIn(SessionRangeCopier::dayDirectory(target, 0, {2010, 3, 15}), "kov").size(),
              1u);
    EXPECT_TRUE(filesIn(SessionRangeCopier::dayDirectory(target, 0, {2010, 3, 15}), "mp3").empty());
}

// Sealed files inside the range are left out: the copy holds the clear audio and video on both
// sides of the sealed stretch and no sealed file.
TEST(SessionRangeCopierSealed, SealedFilesInTheRangeAreLeftOut) {
    KorvalisSealingSessionTestSupport support;
    ASSERT_TRUE(support.writeSession(2, 3, 30.0, true));
    const double start = KorvalisSealingSessionTestSupport::kSessionStart;
    RealFileSystem fileSystem;
    {
        const std::unique_ptr<KorvalisUserSealingKey> key =
            KorvalisSealingSessionTestSupport::makeUserKey();
        KorvalisSealingSessionTestSupport::MediaSet media = support.openSession();
        KorvalisSealingSession sealer(media.audio.get(), media.video.get(), media.session.get(),
                                      fileSystem);
        ASSERT_TRUE(sealer.seal(start + 30.0, start + 60.0, *key, ""));
    }
    KorvalisSealingSessionTestSupport::MediaSet media = support.openSession();
    TemporaryDirectory scratch("session-copy-");
    const std::string target = scratch.file("copy");
    SessionRangeCopier copier(fileSystem, media.audio.get(), media.video.get(), {2010, 3, 15});
    ASSERT_TRUE(copier.copy(start + 10.0, start + 80.0, target, nullptr, nullptr));

    for (const auto& [path, bytes] : treeContents(target)) {
        EXPECT_EQ(path.find("sealed"), std::string::npos) << path;
    }
    KorvalisSession copied(target + "/Recordings", media.session->locationName(), 2010, 3, 15);
    copied.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    copied.createAudioDecoderGroupForSession(group, 0.144f);
    ASSERT_EQ(group->numberOfDecodersIs(), 2u);
    for (unsigned channel = 0; channel < 2; ++channel) {
        std::vector<TimeRange> ranges;
        group->listTimeRangesForChannel(channel, ranges);
        ASSERT_EQ(ranges.size(), 2u) << "channel " << channel;
        EXPECT_NEAR(ranges[0].start, start + 10.0, kFrameSeconds);
        EXPECT_NEAR(ranges[0].end, start + 30.0, 2 * kFrameSeconds);
        EXPECT_NEAR(ranges[1].start, start + 60.0, 2 * kFrameSeconds);
        EXPECT_NEAR(ranges[1].end, start + 80.0, kFrameSeconds);
        EXPECT_FALSE(ranges[0].sealed || ranges[1].sealed);
    }
    EXPECT_EQ(filesIn(SessionRangeCopier::dayDirectory(target, 0, {2010, 3, 15}), "kov").size(),
              2u);
}

}  // namespace
