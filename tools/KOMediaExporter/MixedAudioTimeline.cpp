#include "MixedAudioTimeline.h"

#include <algorithm>
#include <cmath>

#include "AudioDecoderGroup.h"
#include "AudioMixer.h"
#include "MixedDecodedAudioChunk.h"
#include "TimeRange.h"

namespace {

// The group hands out sets without any chunk now and then (a channel between files); this many
// in a row without the end being reported count as the end all the same.
constexpr int kEmptySetsBeforeGivingUp = 1000;

}  // namespace

MixedAudioTimeline::MixedAudioTimeline(AudioDecoderGroup& group, double startTime)
    : group_(group), mixer_(std::make_unique<AudioMixer>(false)), startTime_(startTime) {}

MixedAudioTimeline::~MixedAudioTimeline() = default;

bool MixedAudioTimeline::start() {
    std::lock_guard guard(mutex_);
    ended_ = true;
    chunk_.reset();
    if (group_.numberOfDecodersIs() == 0) {
        return false;
    }
    // A tolerance of -1 moves a time before a file (in a gap or before the session) to that
    // file's start; a time after all of the audio is refused.
    if (!group_.setPositionByWallClockTime(startTime_, -1.0f)) {
        double nextStart = -1.0;
        for (unsigned channel = 0; channel < group_.numberOfDecodersIs(); ++channel) {
            std::vector<TimeRange> ranges;
            group_.listTimeRangesForChannel(channel, ranges);
            for (const TimeRange& range : ranges) {
                if (range.start >= startTime_ && (nextStart < 0.0 || range.start < nextStart)) {
                    nextStart = range.start;
                }
            }
        }
        if (nextStart < 0.0 || !group_.setPositionByWallClockTime(nextStart, -1.0f)) {
            return false;
        }
    }
    ended_ = false;
    placeNextChunk();
    if (chunk_ && chunk_->sampleRateIs() > 0) {
        sampleRate_ = chunk_->sampleRateIs();
    }
    return chunk_ != nullptr;
}

uint32_t MixedAudioTimeline::sampleRateIs() {
    std::lock_guard guard(mutex_);
    return sampleRate_;
}

uint64_t MixedAudioTimeline::chunksPlacedIs() {
    std::lock_guard guard(mutex_);
    return chunksPlaced_;
}

std::unique_ptr<MixedDecodedAudioChunk> MixedAudioTimeline::nextMixedChunk() {
    for (int empty = 0; empty < kEmptySetsBeforeGivingUp; ++empty) {
        bool endOfData = false;
        DecodedChunkSet set = group_.getNextDecodedChunks(&endOfData);
        const bool any =
            std::any_of(set.begin(), set.end(), [](const auto& chunk) { return chunk != nullptr; });
        if (any) {
            mixer_->addChunksToMix(std::move(set));
            std::unique_ptr<MixedDecodedAudioChunk> mixed = mixer_->mixedResultIs();
            if (mixed && mixed->numberOfSamplesIs() > 0) {
                return mixed;
            }
        }
        if (endOfData) {
            break;
        }
    }
    return nullptr;
}

void MixedAudioTimeline::placeNextChunk() {
    chunk_.reset();
    while (!ended_) {
        std::unique_ptr<MixedDecodedAudioChunk> chunk = nextMixedChunk();
        if (!chunk) {
            ended_ = true;
            return;
        }
        const uint32_t samples = std::min(chunk->numberOfSamplesIs(), chunk->validLengthIs() / 2);
        if (samples == 0 || chunk->sampleRateIs() == 0) {
            continue;
        }
        if (chunksPlaced_ == 0) {
            sampleRate_ = chunk->sampleRateIs();  // the first chunk sets the line's rate
        } else if (chunk->sampleRateIs() != sampleRate_) {
            continue;  // a chunk of another rate cannot join this line
        }
        const double rate = static_cast<double>(sampleRate_);
        // Where the chunk's first sample belongs; a chunk without a time continues the line.
        const int64_t end = position_;
        int64_t at = end;
        if (chunk->startTimeIs() >= 0.0) {
            at = std::llround((chunk->startTimeIs() - startTime_) * rate);
            if (std::llabs(at - end) <= std::llround(kJitterSeconds * rate)) {
                at = end;
            }
        }
        // What lies before the line's end (overlap, or before the start) is dropped.
        uint32_t offset = 0;
        if (at < end) {
            const int64_t drop = end - at;
            if (drop >= samples) {
                continue;
            }
            offset = static_cast<uint32_t>(drop);
            at = end;
        }
        chunk_ = std::move(chunk);
        chunkOffset_ = offset;
        chunkPosition_ = at;
        ++chunksPlaced_;
        return;
    }
}

void MixedAudioTimeline::take(size_t count, std::vector<int16_t>& out) {
    std::lock_guard guard(mutex_);
    out.reserve(out.size() + count);
    while (count > 0) {
        if (!chunk_) {
            out.insert(out.end(), count, int16_t{0});
            position_ += static_cast<int64_t>(count);
            return;
        }
        if (chunkPosition_ > position_) {
            const size_t silence = std::min(count, static_cast<size_t>(chunkPosition_ - position_));
            out.insert(out.end(), silence, int16_t{0});
            position_ += static_cast<int64_t>(silence);
            count -= silence;
            continue;
        }
        const uint32_t samples = std::min(chunk_->numberOfSamplesIs(), chunk_->validLengthIs() / 2);
        const auto* data = reinterpret_cast<const int16_t*>(chunk_->bufferIs());
        const size_t available = samples - chunkOffset_;
        const size_t used = std::min(count, available);
        out.insert(out.end(), data + chunkOffset_, data + chunkOffset_ + used);
        chunkOffset_ += static_cast<uint32_t>(used);
        chunkPosition_ += static_cast<int64_t>(used);
        position_ += static_cast<int64_t>(used);
        count -= used;
        if (chunkOffset_ >= samples) {
            placeNextChunk();
        }
    }
}
