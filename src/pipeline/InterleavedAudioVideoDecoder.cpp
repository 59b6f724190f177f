#include "InterleavedAudioVideoDecoder.h"

InterleavedAudioVideoDecoder::InterleavedAudioVideoDecoder(
    std::unique_ptr<AudioDecoderGroup> audioDecoderGroup,
    std::unique_ptr<VideoDecoder> videoDecoder, float autoSeekTolerance)
    : videoDecoder_(std::move(videoDecoder)),
      audioDecoderGroup_(std::move(audioDecoderGroup)),
      autoSeekTolerance_(autoSeekTolerance) {}
InterleavedAudioVideoDecoder::~InterleavedAudioVideoDecoder() = default;
bool InterleavedAudioVideoDecoder::setPositionByWallClockTime(double, float, bool) {
    return false;
}
bool InterleavedAudioVideoDecoder::getNextDecodedChunksAndFrames(
    unsigned, std::vector<DecodedChunkSet>&, std::vector<std::unique_ptr<VideoSegmentFrame>>&,
    bool) {
    return false;
}
int InterleavedAudioVideoDecoder::autoSeekAttemptsIs() {
    return autoSeekAttempts_;
}
int InterleavedAudioVideoDecoder::successfulAutoSeeksIs() {
    return successfulAutoSeeks_;
}
