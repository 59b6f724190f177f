#include "AudioChunkWithCorrelatedVideoFrame.h"

AudioChunkWithCorrelatedVideoFrame::AudioChunkWithCorrelatedVideoFrame(
    std::unique_ptr<MixedDecodedAudioChunk> audioChunk,
    std::unique_ptr<VideoSegmentFrame> videoFrame)
    : audioChunk_(std::move(audioChunk)), videoFrame_(std::move(videoFrame)) {}

AudioChunkWithCorrelatedVideoFrame::~AudioChunkWithCorrelatedVideoFrame() = default;
