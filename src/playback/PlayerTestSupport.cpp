#include "PlayerTestSupport.h"

#include <cmath>
#include <cstring>
#include <thread>

#include "FileIo.h"
#include "RgbImage.h"

std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> PlayerTestSupport::makeItem(
    double startTime, const std::vector<int16_t>& samples, const std::vector<float>& channelLevels,
    uint32_t frameWidth, uint32_t frameHeight, uint8_t frameFill) {
    auto chunk = std::make_unique<MixedDecodedAudioChunk>(static_cast<uint32_t>(samples.size()),
                                                          kSampleRate, 2, "PCM", startTime);
    chunk->allocateBuffer(true);
    chunk->appendSamples(samples.data(), static_cast<uint32_t>(samples.size()));
    for (float level : channelLevels) {
        chunk->addComponent(std::make_unique<DecodedAudioChunk>(level));
    }
    std::unique_ptr<VideoSegmentFrame> frame;
    if (frameWidth != 0) {
        auto image = std::make_unique<RgbImage>(frameWidth, frameHeight);
        image->allocateBuffer();
        std::memset(image->getData(), frameFill, image->getDataLength());
        frame = std::make_unique<VideoSegmentFrame>(std::move(image), startTime, 0);
    }
    return std::make_unique<AudioChunkWithCorrelatedVideoFrame>(std::move(chunk), std::move(frame));
}

double PlayerTestSupport::itemStartTime(size_t index) {
    return kSessionStart +
           static_cast<double>(index) * kChunkSamples / static_cast<double>(kSampleRate);
}

std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> PlayerTestSupport::makeSilentItem(
    size_t index) {
    return makeItem(itemStartTime(index), std::vector<int16_t>(kChunkSamples, 0));
}

std::vector<int16_t> PlayerTestSupport::tone(double frequencyHz, double amplitude, size_t offset,
                                             size_t count) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(offset + i) / kSampleRate;
        samples[i] = static_cast<int16_t>(
            std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * frequencyHz * t)));
    }
    return samples;
}

bool PlayerTestSupport::readWav(const std::string& path, std::vector<int16_t>& samples,
                                uint32_t& rate) {
    std::string bytes;
    if (!FileIo::readWholeFile(path, bytes) || bytes.size() < 12 ||
        bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        return false;
    }
    // Chunks after the RIFF header: id (4 bytes), size (4 bytes, little-endian), data.
    size_t position = 12;
    bool haveFormat = false;
    while (position + 8 <= bytes.size()) {
        const std::string id = bytes.substr(position, 4);
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + position + 4, 4);
        const size_t body = position + 8;
        if (body + size > bytes.size()) {
            return false;
        }
        if (id == "fmt " && size >= 16) {
            uint16_t channels = 0;
            uint16_t bits = 0;
            std::memcpy(&channels, bytes.data() + body + 2, 2);
            std::memcpy(&rate, bytes.data() + body + 4, 4);
            std::memcpy(&bits, bytes.data() + body + 14, 2);
            if (channels != 1 || bits != 16) {
                return false;
            }
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            samples.resize(size / 2);
            std::memcpy(samples.data(), bytes.data() + body, samples.size() * 2);
            return true;
        }
        position = body + size + (size & 1);
    }
    return false;
}

double PlayerTestSupport::dominantFrequency(const std::vector<int16_t>& samples, size_t from,
                                            size_t count, double lowestHz, double highestHz,
                                            double stepHz) {
    double best = -1.0;
    double bestPower = 0.0;
    const size_t end = std::min(samples.size(), from + count);
    for (double hz = lowestHz; hz <= highestHz; hz += stepHz) {
        const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / kSampleRate);
        double previous = 0.0;
        double beforePrevious = 0.0;
        for (size_t i = from; i < end; ++i) {
            const double current = samples[i] / 32768.0 + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = current;
        }
        const double power = previous * previous + beforePrevious * beforePrevious -
                             coefficient * previous * beforePrevious;
        if (power > bestPower) {
            bestPower = power;
            best = hz;
        }
    }
    return best;
}

bool PlayerTestSupport::waitUntil(const std::function<bool()>& condition,
                                  std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
