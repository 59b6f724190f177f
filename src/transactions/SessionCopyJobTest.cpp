#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "AudioDecoderGroup.h"
#include "FaultInjectingFileSystem.h"
#include "JexAnnotation.h"
#include "JexSession.h"
#include "RealFileSystem.h"
#include "SessionCopyJob.h"
#include "SessionCopyTestSupport.h"
#include "TimeRange.h"
#include "WallClockTime.h"

using namespace session_copy_test;

namespace {

class SessionCopyJobTest : public GeneratedSession {
protected:
    void SetUp() override {
        GeneratedSession::SetUp();
        source_ = std::make_unique<OpenSession>(root_, kLocation);
        ASSERT_EQ(record_.load(root_ + "/Databases"), JexSession::RecordState::kLoaded);
        ASSERT_GT(record_.annotationCount(), 10u);
    }

    bool runJob(const std::vector<SessionCopyJob::Segment>& segments, const std::string& target,
                const SessionCopyJob::Options& options) {
        SessionCopyJob job(fileSystem_, kLocation, {kDate.year, kDate.month, kDate.day},
                           source_->group.get(), source_->video.get(), &record_);
#ifdef KORVALIS_MIXDOWN_TOOL
        job.setMixDownTool(KORVALIS_MIXDOWN_TOOL);
#endif
        if (runner_) {
            job.setToolRunner(runner_);
        }
        job.setTemporaryParent(temporaryParent());
        job.setMessageCallback([this](const std::string& text) { messages_.push_back(text); });
        return job.run(segments, target, options);
    }

    std::string temporaryParent() {
        const std::string path = scratch_.file("temporary");
        std::filesystem::create_directories(path);
        return path;
    }

    bool said(const std::string& text) const {
        return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
    }
    bool saidStarting(const std::string& text) const {
        return std::any_of(messages_.begin(), messages_.end(),
                           [&](const std::string& m) { return m.rfind(text, 0) == 0; });
    }

    // The copy's record: the markers and the other annotations as (time stamp, event).
    void readCopiedRecord(const std::string& target, std::vector<JexAnnotation>& markers,
                          std::set<std::pair<double, std::string>>& others) {
        JexSession copied(kLocation, kDate.year, kDate.month, kDate.day);
        ASSERT_EQ(copied.load(target + "/Databases"), JexSession::RecordState::kLoaded);
        for (const JexAnnotation& annotation : copied.annotations()) {
            if (annotation.user() == "Session Copy") {
                markers.push_back(annotation);
            } else {
                ASSERT_NE(annotation.timeStamp(), nullptr);
                others.insert({annotation.timeStamp()->asUtcSeconds(), annotation.event()});
            }
        }
    }

    RealFileSystem fileSystem_;
    std::unique_ptr<OpenSession> source_;
    JexSession record_{kLocation, kDate.year, kDate.month, kDate.day};
    SessionCopyJob::ToolRunner runner_;
    std::vector<std::string> messages_;
};

// Two segments: the copy plays them as two ranges of every channel, and its record holds a
// "Copy Started" and a "Copy Stopped" marker per segment and exactly the annotations inside them.
TEST_F(SessionCopyJobTest, SegmentsAreCopiedWithMarkersAndTheirAnnotations) {
    const std::vector<SessionCopyJob::Segment> segments{{start_ + 20.0, start_ + 50.0},
                                                        {start_ + 100.0, start_ + 130.0}};
    const std::string target = scratch_.file("copy");
    ASSERT_TRUE(runJob(segments, target, {}));
    EXPECT_EQ(messages_.back(), "Copy Complete");
    EXPECT_TRUE(said("Copying annotations ..."));
    EXPECT_TRUE(said("Writing annotations ..."));
    EXPECT_TRUE(std::filesystem::exists(target + "/Databases/COURT1~20100315.xml"));

    OpenSession copied(target, kLocation);
    ASSERT_EQ(copied.session.numberOfChannelsIs(), static_cast<uint32_t>(kChannels));
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        std::vector<TimeRange> ranges;
        copied.group->listTimeRangesForChannel(channel, ranges);
        ASSERT_EQ(ranges.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_NEAR(ranges[i].start, segments[i].start, kFrameSeconds);
            EXPECT_NEAR(ranges[i].end, segments[i].end, kFrameSeconds);
        }
    }
    // The first segment lies in one video file, the second spans two.
    EXPECT_EQ(copied.video->numberOfFilesIs(), 3u);

    std::vector<JexAnnotation> markers;
    std::set<std::pair<double, std::string>> others;
    readCopiedRecord(target, markers, others);
    ASSERT_EQ(markers.size(), 4u);
    for (size_t i = 0; i < markers.size(); ++i) {
        EXPECT_EQ(markers[i].event(), i % 2 == 0 ? "Copy Started" : "Copy Stopped");
        EXPECT_EQ(markers[i].labelTitle(), "Speaker");
        EXPECT_EQ(markers[i].labelData(), "Session Copy");
    }
    EXPECT_EQ(markers[0].displayTimeMilitary(), "09:00:20");
    EXPECT_EQ(markers[3].displayTimeMilitary(), "09:02:10");
    EXPECT_EQ(markers[0].displayDate(), "03/15/2010");

    std::set<std::pair<double, std::string>> expected;
    for (const JexAnnotation& annotation : record_.annotations()) {
        const double at = annotation.timeStamp()->asUtcSeconds();
        for (const auto& segment : segments) {
            if (at >= segment.start && at <= segment.end) {
                expected.insert({at, annotation.event()});
            }
        }
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_LT(expected.size(), record_.annotationCount());
    EXPECT_EQ(others, expected);
}

// Without user annotations only the markers are written; audio only copies no video.
TEST_F(SessionCopyJobTest, ExcludedAnnotationsAndAudioOnly) {
    const std::string target = scratch_.file("copy");
    SessionCopyJob::Options options;
    options.excludeAnnotations = true;
    options.audioOnly = true;
    ASSERT_TRUE(runJob({{start_ + 20.0, start_ + 80.0}}, target, options));
    std::vector<JexAnnotation> markers;
    std::set<std::pair<double, std::string>> others;
    readCopiedRecord(target, markers, others);
    EXPECT_EQ(markers.size(), 2u);
    EXPECT_TRUE(others.empty());
    EXPECT_FALSE(said("Copying annotations ..."));
    size_t mp3 = 0;
    for (const auto& [path, bytes] : treeContents(target)) {
        EXPECT_NE(std::filesystem::path(path).extension(), ".kov") << path;
        mp3 += std::filesystem::path(path).extension() == ".mp3" ? 1 : 0;
    }
    EXPECT_EQ(mp3, static_cast<size_t>(2 * kChannels));
}

// Mixed down, the copy has one channel that holds every channel's tone; the temporary copy is
// gone afterwards.
TEST_F(SessionCopyJobTest, MixDownGivesOneChannelHoldingEveryTone) {
#ifndef KORVALIS_MIXDOWN_TOOL
    GTEST_SKIP() << "the mix-down tool is not built";
#endif
    const std::string target = scratch_.file("copy");
    SessionCopyJob::Options options;
    options.audioOnly = true;
    options.mixDown = true;
    const SessionCopyJob::Segment segment{start_ + 10.0,
                                          start_ + 10.0 + SampleArchiveWriter::kPatternSeconds};
    // A second segment after a gap is mixed into a file of its own.
    const SessionCopyJob::Segment later{start_ + 130.0, start_ + 150.0};
    ASSERT_TRUE(runJob({segment, later}, target, options));
    EXPECT_TRUE(said("Mixing ..."));
    EXPECT_TRUE(said("Mixing successful."));
    EXPECT_TRUE(std::filesystem::is_empty(temporaryParent()));

    OpenSession mixed(target, kLocation);
    ASSERT_EQ(mixed.session.numberOfChannelsIs(), 1u);
    std::vector<TimeRange> ranges;
    mixed.group->listTimeRangesForChannel(0, ranges);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_NEAR(ranges[0].start, segment.start, kFrameSeconds);
    EXPECT_NEAR(ranges[0].end, segment.end, 2 * kFrameSeconds);
    EXPECT_NEAR(ranges[1].start, later.start, kFrameSeconds);
    EXPECT_NEAR(ranges[1].end, later.end, 2 * kFrameSeconds);
    double firstTime = 0.0;
    std::vector<int16_t> samples = decodeChannel(*mixed.group, 0, firstTime);
    ASSERT_GT(samples.size(), 16000u * 100);
    // The first segment's audio: one whole turn pattern of every channel.
    samples.resize(static_cast<size_t>(SampleArchiveWriter::kPatternSeconds * 16000));
    const double unused = toneStrength(samples, 3137.0);
    for (int channel = 0; channel < kChannels; ++channel) {
        const double tone = toneStrength(samples, SampleArchiveWriter::channelToneHz(channel));
        EXPECT_GT(tone, 20.0 * unused) << "channel " << channel;
    }
    // Each source channel alone lacks the others' tones: the mix is not one channel copied.
    double sourceFirst = 0.0;
    source_->group->setPositionByWallClockTime(segment.start, 1.0f);
    const std::vector<int16_t> channelZero = decodeChannel(*source_->group, 0, sourceFirst);
    EXPECT_LT(toneStrength(channelZero, SampleArchiveWriter::channelToneHz(1)),
              toneStrength(samples, SampleArchiveWriter::channelToneHz(1)) / 5.0);
}

// A failing mix-down tool fails the job with the system's words; the temporary copy is removed.
TEST_F(SessionCopyJobTest, FailingMixDownFailsTheJob) {
    std::vector<std::string> arguments;
    runner_ = [&arguments](const std::string&, const std::vector<std::string>& given) {
        arguments = given;
        return 3;
    };
    SessionCopyJob::Options options;
    options.audioOnly = true;
    options.mixDown = true;
    const std::string target = scratch_.file("copy");
    EXPECT_FALSE(runJob({{start_ + 10.0, start_ + 20.0}}, target, options));
    EXPECT_TRUE(said("Mixing FAILED!"));
    ASSERT_EQ(arguments.size(), 4u);
    EXPECT_EQ(arguments[1], kLocation);
    EXPECT_EQ(arguments[2], "20100315");
    EXPECT_EQ(arguments[3], target);
    EXPECT_FALSE(std::filesystem::exists(arguments[0]));
    EXPECT_TRUE(std::filesystem::is_empty(temporaryParent()));
}

// Bad input: a segment outside the session, overlapping or reversed segments, a target that
// exists or cannot be made. Each is refused with a clear message; nothing is written and the
// source stays as it was.
TEST_F(SessionCopyJobTest, BadInputIsRefusedAndTouchesNothing) {
    const std::map<std::string, std::string> source = treeContents(root_);
    const std::string target = scratch_.file("copy");
    EXPECT_FALSE(runJob({{end_ + 100.0, end_ + 200.0}}, target, {}));
    EXPECT_TRUE(said("Error!  Invalid time segment selected. The session holds no media in it."));
    EXPECT_FALSE(
        runJob({{start_ + 10.0, start_ + 30.0}, {start_ + 20.0, start_ + 40.0}}, target, {}));
    EXPECT_TRUE(said("Error!  Invalid time segment selected. Time segments cannot overlap!"));
    EXPECT_FALSE(runJob({{start_ + 30.0, start_ + 10.0}}, target, {}));
    EXPECT_TRUE(said("Error!  Start time cannot be after end time!"));
    EXPECT_FALSE(runJob({}, target, {}));
    EXPECT_FALSE(std::filesystem::exists(target));

    std::filesystem::create_directories(target);
    std::ofstream(target + "/keep.txt") << "mine";
    EXPECT_FALSE(runJob({{start_ + 10.0, start_ + 20.0}}, target, {}));
    EXPECT_TRUE(saidStarting("Error!  The target directory already exists"));
    EXPECT_EQ(treeContents(target).size(), 1u);

    std::ofstream(scratch_.file("plain-file")) << "not a directory";
    messages_.clear();
    EXPECT_FALSE(runJob({{start_ + 10.0, start_ + 20.0}}, scratch_.file("plain-file/copy"), {}));
    EXPECT_TRUE(saidStarting("Error!  Could not create directory."));
    EXPECT_TRUE(treeContents(root_) == source);
}

// A segment where the session has video but no audio holds nothing to copy when only the audio
// is asked for.
TEST_F(SessionCopyJobTest, AudioOnlySegmentNeedsAudio) {
    AudioDecoderGroup noChannels;
    SessionCopyJob job(fileSystem_, kLocation, {kDate.year, kDate.month, kDate.day}, &noChannels,
                       source_->video.get(), &record_);
    const std::vector<SessionCopyJob::Segment> segments{{start_ + 10.0, start_ + 20.0}};
    EXPECT_EQ(job.checkSegments(segments, false), "");
    EXPECT_EQ(job.checkSegments(segments, true),
              "Invalid time segment selected. The session holds no media in it.");
}

// A file operation that fails at any step fails the job, which says so; the source is untouched.
TEST_F(SessionCopyJobTest, FailedFileOperationAtAnyStepFailsTheJob) {
    const std::map<std::string, std::string> source = treeContents(root_);
    const std::vector<SessionCopyJob::Segment> segments{{start_ + 20.0, start_ + 80.0}};
    uint64_t operations = 0;
    {
        FaultInjectingFileSystem counting(fileSystem_);
        SessionCopyJob job(counting, kLocation, {kDate.year, kDate.month, kDate.day},
                           source_->group.get(), source_->video.get(), &record_);
        ASSERT_TRUE(job.run(segments, scratch_.file("counted"), {}));
        operations = counting.operationCount();
    }
    ASSERT_GT(operations, 5u);
    for (uint64_t operation = 1; operation <= operations; ++operation) {
        FaultInjectingFileSystem faulty(fileSystem_);
        faulty.failAt(operation);
        SessionCopyJob job(faulty, kLocation, {kDate.year, kDate.month, kDate.day},
                           source_->group.get(), source_->video.get(), &record_);
        std::vector<std::string> messages;
        job.setMessageCallback([&messages](const std::string& text) { messages.push_back(text); });
        const bool copied =
            job.run(segments, scratch_.file("copy" + std::to_string(operation)), {});
        if (faulty.failedOperationCount() == 0) {
            continue;
        }
        // A failed existence test, or a failed creation of a directory that exists by then, may
        // still leave a whole copy; every other failure is reported: a refusal ("Error!  ...") or
        // a failed copy.
        if (copied) {
            EXPECT_TRUE(faulty.firstFailedOperation().rfind("exists", 0) == 0 ||
                        faulty.firstFailedOperation().rfind("createDirectory", 0) == 0)
                << faulty.firstFailedOperation();
        } else {
            ASSERT_FALSE(messages.empty());
            EXPECT_TRUE(messages.back() == "Copy FAILED!" ||
                        messages.back().rfind("Error!  ", 0) == 0)
                << faulty.firstFailedOperation() << ": " << messages.back();
        }
    }
    EXPECT_TRUE(treeContents(root_) == source);
}

}  // namespace
