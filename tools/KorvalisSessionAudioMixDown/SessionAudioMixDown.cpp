#include "SessionAudioMixDown.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "CompressedAudioFile.h"
#include "DecodedAudioChunk.h"
#include "KorvalisSession.h"
#include "MediaFileName.h"
#include "TimedMp3Writer.h"

namespace {

constexpr double kSampleRate = TimedMp3Writer::kSampleRate;
// Seconds of audio decoded per step.
constexpr float kChunkSeconds = 0.144f;

}  // namespace

SessionAudioMixDown::SessionAudioMixDown(std::string sourceRoot, std::string location, int year,
                                         int month, int day)
    : sourceRoot_(std::move(sourceRoot)),
      location_(std::move(location)),
      year_(year),
      month_(month),
      day_(day) {}

bool SessionAudioMixDown::fail(const std::string& text) {
    errorText_ = text;
    return false;
}

bool SessionAudioMixDown::mixInto(const std::string& targetRoot) {
    writtenFiles_.clear();
    KorvalisSession session(sourceRoot_ + "/Recordings", location_, static_cast<uint32_t>(year_),
                            static_cast<uint32_t>(month_), static_cast<uint32_t>(day_));
    session.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> group;
    session.createAudioDecoderGroupForSession(group, kChunkSeconds);
    for (const std::string& skipped : session.takeSkippedFiles()) {
        std::fprintf(stderr, "KorvalisSessionAudioMixDown: warning: skipped %s\n", skipped.c_str());
    }

    // The stretches that hold audio, over all channels.
    std::vector<Span> covered;
    const unsigned channels = group->numberOfDecodersIs();
    for (unsigned channel = 0; channel < channels; ++channel) {
        for (CompressedAudioFile* file : group->decoderForChannel(channel)->filesInDecodeListIs()) {
            if (file->isAvailable()) {
                covered.push_back({file->getStartTime(), file->getEndTime()});
            }
        }
    }
    if (covered.empty()) {
        return fail("the session " + location_ + " has no audio below " + sourceRoot_);
    }
    std::sort(covered.begin(), covered.end(),
              [](const Span& a, const Span& b) { return a.start < b.start; });
    std::vector<Span> spans{covered.front()};
    for (const Span& span : covered) {
        if (span.start <= spans.back().end + kJoinGapSeconds) {
            spans.back().end = std::max(spans.back().end, span.end);
        } else {
            spans.push_back(span);
        }
    }
    char day[16];
    std::snprintf(day, sizeof day, "%04d%02d%02d", year_, month_, day_);
    const std::string directory = targetRoot + "/Recordings/000/" + day;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        return fail("could not create " + directory + ": " + error.message());
    }

    // The stretches are mixed and written one after the other, so that only one stretch is held
    // in memory: every channel is read on in time order, and a chunk that begins after the
    // current stretch waits for the next.
    std::vector<std::unique_ptr<DecodedAudioChunk>> pending(channels);
    std::vector<bool> ended(channels, false);
    int sequence = 0;
    for (const Span& span : spans) {
        const size_t length =
            static_cast<size_t>(std::ceil((span.end - span.start) * kSampleRate)) + 1;
        std::vector<int32_t> mix(length, 0);
        for (unsigned channel = 0; channel < channels; ++channel) {
            AudioDecoder* decoder = group->decoderForChannel(channel);
            for (;;) {
                std::unique_ptr<DecodedAudioChunk> chunk = std::move(pending[channel]);
                if (!chunk) {
                    if (ended[channel]) {
                        break;
                    }
                    bool endOfData = false;
                    chunk = decoder->getNextDecodedChunk(&endOfData);
                    ended[channel] = endOfData;
                    if (!chunk || chunk->startTimeIs() < 0.0) {
                        continue;
                    }
                }
                if (chunk->startTimeIs() > span.end + kJoinGapSeconds / 2) {
                    pending[channel] = std::move(chunk);
                    break;
                }
                const long long first =
                    std::llround((chunk->startTimeIs() - span.start) * kSampleRate);
                const uint32_t count = chunk->numberOfSamplesIs();
                for (uint32_t i = 0; i < count; ++i) {
                    const long long at = first + i;
                    if (at >= 0 && static_cast<size_t>(at) < length) {
                        mix[static_cast<size_t>(at)] += chunk->sampleAt(i);
                    }
                }
            }
        }
        TimedMp3Writer writer(span.start, span.end - span.start);
        writer.setSignal([&mix](uint64_t sampleIndex) -> int16_t {
            if (sampleIndex >= mix.size()) {
                return 0;
            }
            return static_cast<int16_t>(std::clamp(mix[sampleIndex], -32768, 32767));
        });
        const std::string path =
            MediaFileName(location_, span.start, 0, sequence++, 0).pathIn(directory, "mp3");
        if (!writer.writeFile(path)) {
            return fail("could not write " + path + ": " + writer.errorText());
        }
        writtenFiles_.push_back(path);
    }
    return true;
}
