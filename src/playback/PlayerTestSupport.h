#pragma once

// Helpers shared by the player's tests: correlated items made from samples, tones, WAV files
// read back, the dominant frequency of a signal, and waiting for the wave thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AudioChunkWithCorrelatedVideoFrame.h"

class PlayerTestSupport {
public:
    static constexpr uint32_t kSampleRate = 16000;
    // The correlator's 30 ms output chunks.
    static constexpr uint32_t kChunkSamples = 480;
    // 2010-03-15 09:00:00 UTC.
    static constexpr double kSessionStart = 1268643600.0;

    // An item whose audio chunk holds `samples` from `startTime`, with one level-only component
    // per entry of `channelLevels`, and, when `frameWidth` is not 0, a decoded frame of that size
    // (every pixel byte = `frameFill`) timed at `startTime`.
    static std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> makeItem(
        double startTime, const std::vector<int16_t>& samples,
        const std::vector<float>& channelLevels = {}, uint32_t frameWidth = 0,
        uint32_t frameHeight = 0, uint8_t frameFill = 0);
    // An item of kChunkSamples samples of silence, number `index` of a stream from kSessionStart.
    static std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> makeSilentItem(size_t index);
    // The start time of item `index` of such a stream.
    static double itemStartTime(size_t index);

    // `count` samples of a sine of `frequencyHz` and `amplitude` (of full scale), continuing
    // from sample `offset` of the same tone.
    static std::vector<int16_t> tone(double frequencyHz, double amplitude, size_t offset,
                                     size_t count);

    // The samples of a 16-bit mono WAV file and its sample rate; false when it is not one.
    static bool readWav(const std::string& path, std::vector<int16_t>& samples, uint32_t& rate);

    // The frequency between `lowestHz` and `highestHz` (in steps of `stepHz`) with the most
    // power in samples [from, from + count), by Goertzel filters.
    static double dominantFrequency(const std::vector<int16_t>& samples, size_t from, size_t count,
                                    double lowestHz, double highestHz, double stepHz);

    // Polls `condition` until it holds or `limit` passes (a bound for a hung player only, never
    // a measure of speed); whether it held.
    static bool waitUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds limit = std::chrono::seconds(30));
};
