// korvalis render: a session played as playback plays it, without a sound card, into a WAV file,
// with the pairing of audio chunks and video frames written out for inspection.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AudioDecoderGroup.h"
#include "AudioMixer.h"
#include "AudioVideoCorrelator.h"
#include "CommandLine.h"
#include "CompressedImage.h"
#include "InterleavedAudioVideoDecoder.h"
#include "JpegImageCompressor.h"
#include "KorvalisCommand.h"
#include "KorvalisSession.h"
#include "RgbImage.h"
#include "SessionLookup.h"
#include "VideoDecoder.h"
#include "WavFileWriter.h"

namespace {

constexpr const char* kUsage =
    "Usage: korvalis render ROOTS LOCATION YYYYMMDD --wav OUT [--from T] [--to T]\n"
    "                      [--gain C=G]... [--mute C]... [--master-gain G] [--master-mute]\n"
    "                      [--pairs CSV] [--frames DIR]\n\n"
    "Plays a session the way the player does, without a sound card: every channel decoded and\n"
    "mixed with its gain and mute (a channel's gain is the master gain times its own; a muted\n"
    "master mutes every channel), cut into 30 ms chunks, each paired with the video frame whose\n"
    "time lies inside it. The audio goes to OUT as 16-bit mono WAV.\n\n"
    "  --from T, --to T  start at T (epoch seconds, or hexadecimal with 0x) and stop before the\n"
    "                    first chunk that starts at or after T; by default the whole session\n"
    "  --gain C=G        channel C (from 0) at gain G (1.0 unchanged); --mute C silences it\n"
    "  --pairs CSV       one line per chunk: chunk_start,chunk_end,frame_time (empty when no\n"
    "                    frame goes with the chunk)\n"
    "  --frames DIR      every paired frame as DIR/EPOCHTIME.jpg\n\n"
    "ROOTS are archive paths separated by ';'. Ends with the lines chunks: N, frames: N, first: "
    "T,\n"
    "last: T (start times of the first and last chunk) and auto-seeks: N. A media file that "
    "cannot\n"
    "be read is skipped with a warning; the rest still plays.\n";

// What playback passes: 0.144 s decoding steps, re-seeking video drifted 2 s from the audio,
// 5 chunk sets after a seek and then 1, and a correlator of (90, 2, 0.03, true, 0.0).
constexpr float kAutoSeekToleranceSeconds = 2.0f;
constexpr unsigned kChunkSetsAfterSeek = 5;
constexpr unsigned kChunkSetsPerStep = 1;
constexpr float kSeekTolerance = -1.0f;
constexpr uint32_t kPipelineSampleRate = 16000;

int usageError(const std::string& message) {
    std::fprintf(stderr, "korvalis render: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "korvalis render: %s\n", message.c_str());
    return kExitFailure;
}

struct RenderSettings {
    std::string roots;
    std::string location;
    int year = 0, month = 0, day = 0;
    std::string wavPath;
    bool hasFrom = false;
    double from = 0.0;
    bool hasTo = false;
    double to = 0.0;
    std::map<unsigned, float> channelGains;
    std::set<unsigned> mutedChannels;
    float masterGain = 1.0f;
    bool masterMute = false;
    std::string pairsPath;
    std::string framesDirectory;
};

// Reads the command line; an empty answer means the settings are complete.
std::string readSettings(const std::vector<std::string>& arguments, RenderSettings& settings) {
    CommandLine line(arguments,
                     {"wav", "from", "to", "gain", "mute", "master-gain", "pairs", "frames"},
                     {"master-mute"});
    if (!line.isValid()) {
        return line.error();
    }
    const std::string positional = SessionLookup::readSessionArguments(
        line, settings.roots, settings.location, settings.year, settings.month, settings.day);
    if (!positional.empty()) {
        return positional;
    }
    if (!line.hasOption("wav") || line.value("wav")->empty()) {
        return "--wav OUT is required";
    }
    settings.wavPath = *line.value("wav");
    if (line.hasOption("from")) {
        settings.hasFrom = true;
        if (!CommandLine::parseEpochSeconds(*line.value("from"), settings.from)) {
            return "--from '" + *line.value("from") + "' is not a time";
        }
    }
    if (line.hasOption("to")) {
        settings.hasTo = true;
        if (!CommandLine::parseEpochSeconds(*line.value("to"), settings.to)) {
            return "--to '" + *line.value("to") + "' is not a time";
        }
    }
    if (settings.hasFrom && settings.hasTo && settings.to <= settings.from) {
        return "--to must be later than --from";
    }
    const std::string channelOptions =
        SessionLookup::readChannelOptions(line, settings.channelGains, settings.mutedChannels);
    if (!channelOptions.empty()) {
        return channelOptions;
    }
    if (line.hasOption("master-gain") &&
        !SessionLookup::parseGain(*line.value("master-gain"), settings.masterGain)) {
        return "--master-gain '" + *line.value("master-gain") + "' is not a gain from 0 to 1000";
    }
    settings.masterMute = line.hasFlag("master-mute");
    settings.pairsPath = line.value("pairs").value_or("");
    settings.framesDirectory = line.value("frames").value_or("");
    return std::string();
}

// The outputs of one render: the WAV, the pairs CSV and the frame pictures.
class RenderOutput {
public:
    explicit RenderOutput(const RenderSettings& settings) : settings_(settings) {}
    ~RenderOutput() {
        if (pairs_ != nullptr) {
            std::fclose(pairs_);
        }
    }

    // Opens what does not depend on the audio format. False with `error` when it cannot.
    bool open(std::string& error) {
        if (!settings_.pairsPath.empty()) {
            pairs_ = std::fopen(settings_.pairsPath.c_str(), "w");
            if (pairs_ == nullptr) {
                error = "cannot write \"" + settings_.pairsPath + "\"";
                return false;
            }
        }
        if (!settings_.framesDirectory.empty()) {
            std::error_code code;
            std::filesystem::create_directories(settings_.framesDirectory, code);
            if (code || !std::filesystem::is_directory(settings_.framesDirectory)) {
                error = "cannot make the directory \"" + settings_.framesDirectory + "\"";
                return false;
            }
        }
        return true;
    }

    // Writes one correlated chunk. False with `error` when writing fails.
    bool write(AudioChunkWithCorrelatedVideoFrame& item, std::string& error) {
        MixedDecodedAudioChunk* audio = item.audioChunkIs();
        if (!wavOpen_) {
            if (!wav_.open(settings_.wavPath, audio->sampleRateIs(), 1)) {
                error = wav_.errorText();
                return false;
            }
            wavOpen_ = true;
        }
        // Samples gather in memory and reach the file in large writes, not one per chunk.
        const uint32_t count = std::min(audio->numberOfSamplesIs(), audio->validLengthIs() / 2);
        const size_t used = pending_.size();
        pending_.resize(used + count);
        std::memcpy(pending_.data() + used, audio->bufferIs(), count * sizeof(int16_t));
        if (pending_.size() >= kPendingSamples && !flushSamples(error)) {
            return false;
        }
        const double start = audio->startTimeIs();
        const double end = start + static_cast<double>(audio->durationIs());
        if (chunks_ == 0) {
            first_ = start;
        }
        last_ = start;
        ++chunks_;
        VideoSegmentFrame* frame = item.videoFrameIs();
        if (frame != nullptr) {
            ++frames_;
            if (!settings_.framesDirectory.empty() && !writeFrame(*frame, error)) {
                return false;
            }
        }
        if (pairs_ != nullptr) {
            const bool written = frame != nullptr
                                     ? std::fprintf(pairs_, "%.6f,%.6f,%.6f\n", start, end,
                                                    frame->getEpochTime()) > 0
                                     : std::fprintf(pairs_, "%.6f,%.6f,\n", start, end) > 0;
            if (!written) {
                error = "cannot write \"" + settings_.pairsPath + "\"";
                return false;
            }
        }
        return true;
    }

    // Completes the files. A render without any audio still leaves a valid, empty WAV.
    bool finish(std::string& error) {
        if (!wavOpen_) {
            if (!wav_.open(settings_.wavPath, kPipelineSampleRate, 1)) {
                error = wav_.errorText();
                return false;
            }
            wavOpen_ = true;
        }
        if (!flushSamples(error)) {
            return false;
        }
        if (!wav_.finish()) {
            error = wav_.errorText();
            return false;
        }
        if (pairs_ != nullptr) {
            const bool closed = std::fclose(pairs_) == 0;
            pairs_ = nullptr;
            if (!closed) {
                error = "cannot write \"" + settings_.pairsPath + "\"";
                return false;
            }
        }
        return true;
    }

    void printSummary(int autoSeeks) const {
        std::printf("chunks: %llu\n", static_cast<unsigned long long>(chunks_));
        std::printf("frames: %llu\n", static_cast<unsigned long long>(frames_));
        if (chunks_ == 0) {
            std::printf("first: none\nlast: none\n");
        } else {
            std::printf("first: %.3f\nlast: %.3f\n", first_, last_);
        }
        std::printf("auto-seeks: %d\n", autoSeeks);
    }

private:
    static constexpr size_t kPendingSamples = 64 * 1024;

    bool flushSamples(std::string& error) {
        if (!pending_.empty() &&
            !wav_.appendSamples(pending_.data(), static_cast<uint32_t>(pending_.size()))) {
            error = wav_.errorText();
            return false;
        }
        pending_.clear();
        return true;
    }

    bool writeFrame(VideoSegmentFrame& frame, std::string& error) {
        char name[64];
        std::snprintf(name, sizeof name, "%.6f.jpg", frame.getEpochTime());
        const std::string path = settings_.framesDirectory + "/" + name;
        const Image* image = frame.getImage();
        std::unique_ptr<CompressedImage> compressed;
        if (image != nullptr && image->getTypeName() == RgbImage::kTypeName) {
            std::string why;
            if (!jpeg_.compress(*image, compressed, why)) {
                error = "cannot compress the frame at " + std::string(name) + ": " + why;
                return false;
            }
            image = compressed.get();
        }
        if (image == nullptr || image->getData() == nullptr) {
            return true;  // A frame without a picture has nothing to show.
        }
        // Plain writes: a render makes thousands of pictures, and a lost one is made again by
        // rendering again.
        std::FILE* file = std::fopen(path.c_str(), "wb");
        bool written = file != nullptr;
        if (written) {
            written = std::fwrite(image->getData(), 1, image->getDataLength(), file) ==
                      image->getDataLength();
            written = std::fclose(file) == 0 && written;
        }
        if (!written) {
            error = "cannot write \"" + path + "\"";
            return false;
        }
        return true;
    }

    const RenderSettings& settings_;
    WavFileWriter wav_;
    bool wavOpen_ = false;
    std::vector<int16_t> pending_;
    std::FILE* pairs_ = nullptr;
    JpegImageCompressor jpeg_{90, 2, JpegImageCompressor::kFlagBgr};
    uint64_t chunks_ = 0;
    uint64_t frames_ = 0;
    double first_ = 0.0;
    double last_ = 0.0;
};

// The end of the latest time range of any channel; -1.0 without any.
double latestAudioTime(AudioDecoderGroup& group) {
    double latest = -1.0;
    for (unsigned channel = 0; channel < group.numberOfDecodersIs(); ++channel) {
        std::vector<TimeRange> ranges;
        group.listTimeRangesForChannel(channel, ranges);
        for (const TimeRange& range : ranges) {
            latest = std::max(latest, range.end);
        }
    }
    return latest;
}

int runRender(const std::vector<std::string>& arguments) {
    RenderSettings settings;
    const std::string problem = readSettings(arguments, settings);
    if (!problem.empty()) {
        return usageError(problem);
    }
    std::string location = settings.location;
    std::string recordingsPath;
    if (!SessionLookup::findSession(settings.roots, location, settings.year, settings.month,
                                    settings.day, recordingsPath)) {
        return failure(SessionLookup::noSessionText(settings.location, settings.year,
                                                    settings.month, settings.day, settings.roots));
    }
    KorvalisSession session(recordingsPath, location, static_cast<uint32_t>(settings.year),
                            static_cast<uint32_t>(settings.month),
                            static_cast<uint32_t>(settings.day));
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    SessionLookup::buildMediaSet(session, group, video, "render");

    const unsigned channels = group->numberOfDecodersIs();
    const std::string channelProblem =
        SessionLookup::checkChannelOptions(settings.channelGains, settings.mutedChannels, channels);
    if (!channelProblem.empty()) {
        return usageError(channelProblem);
    }
    // As the main window computes them for each chunk set.
    std::vector<float> gains(channels);
    std::vector<bool> mutes(channels);
    for (unsigned channel = 0; channel < channels; ++channel) {
        const auto found = settings.channelGains.find(channel);
        gains[channel] =
            settings.masterGain * (found == settings.channelGains.end() ? 1.0f : found->second);
        mutes[channel] = settings.masterMute || settings.mutedChannels.count(channel) != 0;
    }

    InterleavedAudioVideoDecoder decoder(std::move(group), std::move(video),
                                         kAutoSeekToleranceSeconds);
    if (settings.hasFrom &&
        !decoder.setPositionByWallClockTime(settings.from, kSeekTolerance, false)) {
        // A channel may have ended before --from while others go on: only a time after all of
        // the session's audio leaves nothing to play.
        const double audioEnd = latestAudioTime(*decoder.audioDecoderGroupIs());
        if (settings.from > audioEnd) {
            char text[128];
            std::snprintf(text, sizeof text, "the session's audio ends at %.3f, before --from",
                          audioEnd);
            return failure(audioEnd < 0.0 ? "the session has no audio" : text);
        }
    }

    RenderOutput output(settings);
    std::string error;
    if (!output.open(error)) {
        return failure(error);
    }
    AudioMixer mixer(false);
    AudioVideoCorrelator correlator(90, 2, 0.03f, true, 0.0);
    correlator.initialize();

    // The feeder's loop, run on one thread: take a correlated chunk when one is ready, otherwise
    // decode the next chunk sets and their frames, mix each set and hand everything to the
    // correlator. One thread both fills and empties the correlator, so it never waits on it: a
    // wait could only be a deadlock, and with room in the queues adding without waiting is the
    // same.
    unsigned chunkSets = kChunkSetsAfterSeek;
    while (true) {
        std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item;
        if (correlator.getNextCorrelatedChunk(item, false)) {
            if (settings.hasTo && item->audioChunkIs()->startTimeIs() >= settings.to) {
                break;
            }
            if (!output.write(*item, error)) {
                return failure(error);
            }
            continue;
        }
        std::vector<DecodedChunkSet> audio;
        std::vector<std::unique_ptr<VideoSegmentFrame>> frames;
        const bool produced =
            decoder.getNextDecodedChunksAndFrames(chunkSets, audio, frames, false);
        chunkSets = kChunkSetsPerStep;
        for (auto& frame : frames) {
            correlator.addVideoFrameToCorrelate(std::move(frame), false);
        }
        if (!produced) {
            break;
        }
        for (DecodedChunkSet& set : audio) {
            mixer.addChunksToMix(std::move(set), &gains, &mutes);
            std::unique_ptr<MixedDecodedAudioChunk> mixed = mixer.mixedResultIs();
            if (mixed != nullptr) {
                correlator.addUncompressedAudioChunkToCorrelate(std::move(mixed), false);
            }
        }
    }

    if (!output.finish(error)) {
        return failure(error);
    }
    output.printSummary(decoder.autoSeekAttemptsIs());
    return kExitSuccess;
}

const KorvalisCommandRegistration renderRegistration({
    "render",
    "play a session into a WAV file, with its chunk and frame pairing",
    kUsage,
    runRender,
});

}  // namespace
