#include "InterleavedAudioVideoDecoder.h"

#include "AvDebugLogger.h"
#include "PointerChecks.h"

InterleavedAudioVideoDecoder::InterleavedAudioVideoDecoder(
    std::unique_ptr<AudioDecoderGroup> audioDecoderGroup,
    std::unique_ptr<VideoDecoder> videoDecoder, float autoSeekTolerance)
    : videoDecoder_(std::move(videoDecoder)),
      audioDecoderGroup_(std::move(audioDecoderGroup)),
      autoSeekTolerance_(autoSeekTolerance) {
    CHECK_POINTER(audioDecoderGroup_);
}

InterleavedAudioVideoDecoder::~InterleavedAudioVideoDecoder() {
    std::lock_guard guard(lock_);
    videoDecoder_.reset();
    audioDecoderGroup_.reset();
}

bool InterleavedAudioVideoDecoder::setPositionByWallClockTime(double t, float tolerance,
                                                              bool audioOnly) {
    std::lock_guard guard(lock_);
    const bool result = audioDecoderGroup_->setPositionByWallClockTime(t, tolerance);
    if (videoDecoder_ && !audioOnly) {
        videoDecoder_->setPositionByWallClockTime(t, tolerance < 0.0f ? 1.0f : tolerance);
    }
    return result;
}

bool InterleavedAudioVideoDecoder::getNextDecodedChunksAndFrames(
    unsigned count, std::vector<DecodedChunkSet>& audio,
    std::vector<std::unique_ptr<VideoSegmentFrame>>& frames, bool audioOnly) {
    std::lock_guard guard(lock_);
    double firstStart = -1.0;
    double lastStart = -1.0;
    double audioEnd = -1.0;
    bool produced = false;
    for (unsigned i = 0; i < count; ++i) {
        bool endOfData = false;
        DecodedChunkSet chunks = audioDecoderGroup_->getNextDecodedChunks(&endOfData);
        if (chunks.empty()) {
            break;
        }
        const DecodedAudioChunk* present = nullptr;
        for (const auto& chunk : chunks) {
            if (chunk) {
                present = chunk.get();
                break;
            }
        }
        if (present == nullptr) {
            break;
        }
        if (firstStart == -1.0) {
            firstStart = present->startTimeIs();
        }
        lastStart = present->startTimeIs();
        audioEnd = lastStart + static_cast<double>(present->durationIs());
        audio.push_back(std::move(chunks));
        produced = true;
    }

    // Frames go with audio: without audio there is nothing to hold them against, and a seek
    // to the time of no audio could only fail.
    if (!videoDecoder_ || audioOnly || !produced) {
        return produced;
    }
    bool videoEnd = false;
    std::unique_ptr<VideoSegmentFrame> frame = videoDecoder_->getNextFrame(&videoEnd, false);
    if (frame) {
        const double frameTime = frame->getEpochTime();
        const double tolerance = static_cast<double>(autoSeekTolerance_);
        if (firstStart - frameTime >= tolerance || frameTime - audioEnd >= tolerance) {
            frame.reset();
            const bool sought = videoDecoder_->setPositionByWallClockTime(firstStart, 1.0f);
            ++autoSeekAttempts_;
            if (!sought) {
                AvDebugLogger::instance().log(
                    AvDebugLogger::kSevere,
                    "InterleavedAudioVideoDecoder::getNextDecodedChunksAndFrames(): AUTO-SEEK "
                    "FAILED!!");
            } else {
                ++successfulAutoSeeks_;
                frame = videoDecoder_->getNextFrame(&videoEnd, false);
            }
            AvDebugLogger::instance().log(
                AvDebugLogger::kWarning,
                "InterleavedAudioVideoDecoder::getNextDecodedChunksAndFrames(): Performed "
                "auto-seek. frameTimeStamp=%0.3f, firstAudioChunkTimeStamp=%0.3f,  "
                "finalAudioSampleTimeStamp=%0.3f, videoSeekSuccessful=%d, "
                "autoSeekAttemptCounter=%d, successfulAutoSeekCounter=%d",
                frameTime, firstStart, audioEnd, sought ? 1 : 0, autoSeekAttempts_,
                successfulAutoSeeks_);
        }
    }
    // Every frame up to the end of the audio, and the first one after it.
    while (frame) {
        const double frameTime = frame->getEpochTime();
        frames.push_back(std::move(frame));
        if (frameTime > audioEnd) {
            break;
        }
        frame = videoDecoder_->getNextFrame(&videoEnd, false);
    }
    return produced;
}

int InterleavedAudioVideoDecoder::autoSeekAttemptsIs() {
    std::lock_guard guard(lock_);
    return autoSeekAttempts_;
}

int InterleavedAudioVideoDecoder::successfulAutoSeeksIs() {
    std::lock_guard guard(lock_);
    return successfulAutoSeeks_;
}
