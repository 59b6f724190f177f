#include "AudioDecoderGroup.h"

AudioDecoderGroup::AudioDecoderGroup() = default;
AudioDecoderGroup::~AudioDecoderGroup() = default;
void AudioDecoderGroup::addDecoder(std::unique_ptr<AudioDecoder>) {}
unsigned AudioDecoderGroup::numberOfDecodersIs() {
    return 0;
}
AudioDecoder* AudioDecoderGroup::decoderForChannel(unsigned) {
    return nullptr;
}
bool AudioDecoderGroup::fileNameIsInDecodeList(unsigned, const std::string&) {
    return false;
}
bool AudioDecoderGroup::addFileToDecodeList(unsigned, std::unique_ptr<CompressedAudioFile>) {
    return false;
}
bool AudioDecoderGroup::setPositionByWallClockTime(double, float) {
    return false;
}
bool AudioDecoderGroup::refreshAllFileInformation(double) {
    return false;
}
double AudioDecoderGroup::totalPlayTimeIs() {
    return 0.0;
}
DecodedChunkSet AudioDecoderGroup::getNextDecodedChunks(bool*) {
    return {};
}
EncodedChunkSet AudioDecoderGroup::getNextEncodedChunks(bool*, TransactionId*) {
    return {};
}
unsigned AudioDecoderGroup::listTimeRangesForChannel(unsigned, std::vector<TimeRange>&) {
    return 0;
}
