#pragma once

#include <memory>

#include "MixedDecodedAudioChunk.h"
#include "VideoSegmentFrame.h"

// One output item of the correlator: a mixed audio chunk and the video frame to show with it.
// Either may be absent. Owns both; the player destroys the pair after playing it.
class AudioChunkWithCorrelatedVideoFrame {
public:
    AudioChunkWithCorrelatedVideoFrame(std::unique_ptr<MixedDecodedAudioChunk> audioChunk,
                                       std::unique_ptr<VideoSegmentFrame> videoFrame);
    virtual ~AudioChunkWithCorrelatedVideoFrame();

    AudioChunkWithCorrelatedVideoFrame(const AudioChunkWithCorrelatedVideoFrame&) = delete;
    AudioChunkWithCorrelatedVideoFrame& operator=(const AudioChunkWithCorrelatedVideoFrame&) =
        delete;

    // The pair keeps ownership of what these return (null when absent).
    MixedDecodedAudioChunk* audioChunkIs() const { return audioChunk_.get(); }
    VideoSegmentFrame* videoFrameIs() const { return videoFrame_.get(); }

    // Hands the frame over to the caller (the player keeps the latest frame for repainting).
    std::unique_ptr<VideoSegmentFrame> takeVideoFrame() { return std::move(videoFrame_); }

private:
    std::unique_ptr<MixedDecodedAudioChunk> audioChunk_;
    std::unique_ptr<VideoSegmentFrame> videoFrame_;
};
