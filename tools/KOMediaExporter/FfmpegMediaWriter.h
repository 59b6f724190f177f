#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RgbImage;
struct AVCodecContext;
struct AVFrame;
struct AVStream;

// What one exported file holds: a mono audio stream at the session's rate, a video stream of
// fixed size at a constant frame rate, or both.
struct MediaWriterFormat {
    bool hasAudio = false;
    uint32_t sampleRate = 16000;
    bool hasVideo = false;
    uint32_t width = 0;   // even; frames of other sizes are scaled to it
    uint32_t height = 0;  // even
    int framesPerSecond = 20;
    // Motion JPEG even where the build offers H.264.
    bool preferMjpeg = false;
};

// Encodes and muxes one file through the FFmpeg libraries: AAC audio from 16-bit mono samples,
// H.264 (libx264) or Motion JPEG video from BGR pictures, in an MP4 or Matroska container.
// Audio is timed by its sample count and video by its frame count from 0, so the caller keeps
// the two in step by handing them out in roughly equal stretches of time; the muxer interleaves.
//
// The file is written where it is told (the caller's temporary name) and is complete only after
// finish() succeeded. Every public operation holds the writer's mutex.
class FfmpegMediaWriter {
public:
    FfmpegMediaWriter();
    ~FfmpegMediaWriter();
    FfmpegMediaWriter(const FfmpegMediaWriter&) = delete;
    FfmpegMediaWriter& operator=(const FfmpegMediaWriter&) = delete;

    // `containerName` is FFmpeg's muxer name ("mp4", "matroska"). False with errorText() when
    // an encoder or the file cannot be set up.
    bool open(const std::string& path, const std::string& containerName,
              const MediaWriterFormat& format);
    // Appends mono samples to the audio stream.
    bool writeAudio(const int16_t* samples, size_t count);
    // Appends one video frame showing `image` (BGR, scaled to the output size), or black when
    // `image` is null. `sameAsPrevious` reuses the previous frame's converted picture.
    bool writeVideoFrame(const RgbImage* image, bool sameAsPrevious);
    // Encodes what the encoders still hold, writes the container's index and closes the file.
    bool finish();

    // "h264" or "mjpeg" once open; "" without video.
    std::string videoCodecName() const;
    uint64_t audioSamplesWritten() const;
    uint64_t videoFramesWritten() const;
    std::string errorText() const;

private:
    struct State;
    bool fail(const std::string& text);
    bool fail(const std::string& text, int code);
    bool openAudio();
    bool openVideo();
    // Encodes the gathered samples as one frame (a short last one when `last`).
    bool encodeAudioFrame();
    // Sends `frame` (null: drain) to the encoder and writes every packet it hands back.
    bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame);

    mutable std::mutex mutex_;
    std::unique_ptr<State> state_;
    std::string errorText_;
};
