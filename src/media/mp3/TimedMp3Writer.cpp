#include "TimedMp3Writer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"
#include "FileIo.h"
#include "Mp3FrameStamp.h"
#include "MpegAudioCompressor.h"
#include "MpegAudioFrameHeader.h"
#include "SystemError.h"

namespace {

// Frames encoded per call, and the bytes gathered before they go to the sink.
constexpr uint32_t kFramesPerBlock = 64;
constexpr size_t kSinkBatchBytes = 64 * 1024;

}  // namespace

TimedMp3Writer::Signal TimedMp3Writer::tone(double frequencyHz, double amplitude) {
    const double scale = std::clamp(amplitude, 0.0, 1.0) * 32767.0;
    return [frequencyHz, scale](uint64_t sampleIndex) {
        // Reduced to one second so the phase stays exact for any file length.
        const double second = static_cast<double>(sampleIndex % kSampleRate) / kSampleRate;
        const double cycles = frequencyHz * second;
        const double phase = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
        return static_cast<int16_t>(std::lround(scale * std::sin(phase)));
    };
}

TimedMp3Writer::Signal TimedMp3Writer::silence() {
    return [](uint64_t) { return int16_t{0}; };
}

TimedMp3Writer::TimedMp3Writer(double startTime, double durationSeconds)
    : startTime_(startTime),
      frameCount_(static_cast<uint64_t>(
          std::max(1.0, std::round(std::max(0.0, durationSeconds) / kFrameDurationSeconds)))),
      signal_(tone(440.0)) {}

void TimedMp3Writer::setSignal(Signal signal) {
    signal_ = signal ? std::move(signal) : silence();
}

void TimedMp3Writer::setStampIntervalSeconds(double seconds) {
    stampIntervalSeconds_ = std::max(0.0, seconds);
}

void TimedMp3Writer::setStampOffsetSeconds(double seconds) {
    stampOffsetSeconds_ = seconds;
}

bool TimedMp3Writer::processFrame(uint8_t* frame, uint32_t size, uint64_t index) {
    // Without a bit reservoir no frame's audio starts in an earlier frame, so the bytes after a
    // frame's own audio are free for a stamp.
    if (Mp3FrameStamp::mainDataBegin(frame) != 0) {
        errorText_ =
            "The encoder stored audio of frame " + std::to_string(index) + " in an earlier frame.";
        return false;
    }
    if (stampIntervalSeconds_ <= 0.0) {
        return true;
    }
    const double offset = static_cast<double>(index) * kFrameDurationSeconds;
    if (offset + 1e-9 < nextStampOffsetSeconds_) {
        return true;
    }
    if (Mp3FrameStamp::place(frame, size, startTime_ + offset + stampOffsetSeconds_)) {
        ++stampedFrames_;
        nextStampOffsetSeconds_ =
            (std::floor(offset / stampIntervalSeconds_ + 1e-9) + 1.0) * stampIntervalSeconds_;
    }
    return true;
}

bool TimedMp3Writer::write(const Sink& sink) {
    errorText_.clear();
    stampedFrames_ = 0;
    nextStampOffsetSeconds_ = 0.0;
    MpegAudioCompressor encoder(kSampleRate, kSampleRate, kBitRateKbps, kQuality);
    if (!encoder.prepareEncoder(kSampleRate) || encoder.encodedFrameBytes() != kFrameBytes) {
        errorText_ = "The MP3 encoder refused 16000 Hz mono at 32 kbit/s.";
        return false;
    }
    const uint64_t lead = encoder.encoderDelaySamples() + kDecoderDelaySamples;
    const uint64_t totalSamples = frameCount_ * kSamplesPerFrame;

    std::vector<uint8_t> stream;  // encoded bytes not yet cut into frames
    size_t streamStart = 0;
    std::vector<uint8_t> batch;
    std::vector<int16_t> samples;
    uint64_t framesDone = 0;
    uint64_t samplesFed = 0;
    bool flushed = false;
    while (framesDone < frameCount_) {
        std::unique_ptr<EncodedAudioChunk> encoded;
        if (samplesFed < totalSamples) {
            const auto count = static_cast<uint32_t>(
                std::min<uint64_t>(kFramesPerBlock * kSamplesPerFrame, totalSamples - samplesFed));
            samples.resize(count);
            for (uint32_t i = 0; i < count; ++i) {
                samples[i] = signal_(samplesFed + i + lead);
            }
            DecodedAudioChunk pcm(count, kSampleRate, 1, "PCM",
                                  startTime_ + static_cast<double>(samplesFed) / kSampleRate);
            if (!pcm.allocateBuffer(false) || !pcm.appendSamples(samples.data(), count) ||
                !encoder.CompressChunk(&pcm, encoded, kFramesPerBlock * kFrameBytes)) {
                errorText_ = "The MP3 encoder failed.";
                return false;
            }
            samplesFed += count;
        } else if (!flushed) {
            encoder.flushCompressedOutput(encoded);
            flushed = true;
        } else {
            errorText_ = "The MP3 encoder produced too few frames.";
            return false;
        }
        if (encoded) {
            stream.insert(stream.end(), encoded->bufferIs(),
                          encoded->bufferIs() + encoded->validLengthIs());
        }
        // Cut the stream into frames.
        while (framesDone < frameCount_ &&
               stream.size() - streamStart >= MpegAudioFrameHeader::kSize) {
            uint8_t* frame = stream.data() + streamStart;
            const MpegAudioFrameHeader header(frame);
            const uint32_t size = header.frameSize();
            if (!header.isUsable()) {
                errorText_ = "The MP3 encoder produced an unreadable frame.";
                return false;
            }
            if (stream.size() - streamStart < size) {
                break;
            }
            if (!processFrame(frame, size, framesDone)) {
                return false;
            }
            batch.insert(batch.end(), frame, frame + size);
            streamStart += size;
            ++framesDone;
        }
        stream.erase(stream.begin(), stream.begin() + static_cast<ptrdiff_t>(streamStart));
        streamStart = 0;
        if (batch.size() >= kSinkBatchBytes || framesDone == frameCount_) {
            if (!sink(batch.data(), batch.size())) {
                if (errorText_.empty()) {
                    errorText_ = "Writing the MP3 file failed.";
                }
                return false;
            }
            batch.clear();
        }
    }
    return true;
}

bool TimedMp3Writer::writeFile(const std::string& path) {
    std::string error;
    const bool ok = FileIo::writeFileAtomically(
        path,
        [&](int descriptor) {
            return write([&](const uint8_t* bytes, size_t count) {
                if (FileIo::writeAll(descriptor, bytes, count)) {
                    return true;
                }
                errorText_ = "Cannot write \"" + path + "\": " + SystemError::last();
                return false;
            });
        },
        &error);
    if (!ok && errorText_.empty()) {
        errorText_ = "Cannot write \"" + path + "\": " + error;
    }
    return ok;
}

bool TimedMp3Writer::writeToMemory(std::vector<uint8_t>& bytes) {
    bytes.clear();
    return write([&](const uint8_t* data, size_t count) {
        bytes.insert(bytes.end(), data, data + count);
        return true;
    });
}
