#pragma once

// Helpers shared by the pipeline's tests: channel media written as the recorder names it (timed
// MP3 files, KOV files, sealed placeholders) into a scratch archive, decoders built as the session
// media set builds them, and whole-stream reads.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AudioDecoder.h"
#include "DecodedAudioChunk.h"
#include "TemporaryDirectory.h"
#include "TimedMp3Writer.h"

class DecoderTestSupport {
public:
    static constexpr const char* kLocation = "COURT1";
    // 2010-03-15 09:00:00 UTC: the start of the test sessions.
    static constexpr double kSessionStart = 1268643600.0;
    static constexpr float kChunkSeconds = 0.144f;

    DecoderTestSupport();
    DecoderTestSupport(const DecoderTestSupport&) = delete;
    DecoderTestSupport& operator=(const DecoderTestSupport&) = delete;

    const std::string& root() const { return scratch_.path(); }
    // ROOT/Recordings/NNN/YYYYMMDD of the channel on the day of `startTime` (made if needed).
    std::string channelDirectory(int channel, double startTime) const;

    // A timed MP3 file of `seconds` at `startTime`, named LOCATION~SECONDS~MS~CHANNEL~0~0.mp3
    // (milliseconds kept in the name); the full path. An empty string when writing failed.
    std::string writeChannelMp3(int channel, double startTime, double seconds,
                                TimedMp3Writer::Signal signal = TimedMp3Writer::tone(440.0));
    // A KOV file of channel 000 with frames at `frameRate` per second covering
    // [startTime, startTime + seconds); small 64x48 frames.
    std::string writeKov(double startTime, double seconds, uint32_t frameRate = 5);
    // A sealed placeholder of channel `channel` covering [startTime, endTime], kind "sealedAudio".
    std::string writeSealedAudio(int channel, double startTime, double endTime);

    // A decoder as the session media set builds one: its own MP3 codec (16000, 16000, 32, 7) and
    // chunks of 0.144 s.
    static std::unique_ptr<AudioDecoder> makeDecoder();
    // A decoder over the given files (timed MP3 files with stamps, or sealed placeholders by
    // extension).
    static std::unique_ptr<AudioDecoder> makeDecoder(const std::vector<std::string>& paths);

    // One decoded chunk as the tests look at it.
    struct Piece {
        double startTime;
        uint32_t samples;
    };
    // Reads the decoder to its end (at most `maximumChunks`); the chunks' times and sizes, and all
    // samples joined in `samples` when given.
    static std::vector<Piece> decodeToEnd(AudioDecoder& decoder, std::vector<int16_t>* samples,
                                          size_t maximumChunks = 100000);
    // The strongest of `frequencies` in `samples` (Goertzel power), -1.0 for silence.
    static double dominantFrequency(const std::vector<int16_t>& samples,
                                    const std::vector<double>& frequencies);
    // Descriptors of this process open on files below `directory`.
    static int openFilesBelow(const std::string& directory);
    static double tonePower(const std::vector<int16_t>& samples, double frequencyHz);

private:
    TemporaryDirectory scratch_;
};
