#include "AudioDecoder.h"

#include "AudioCompressor.h"
#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"

AudioDecoder::AudioDecoder(AudioCompressor* codec, float chunkDuration)
    : codec_(codec), chunkDuration_(chunkDuration) {}
AudioDecoder::AudioDecoder(std::unique_ptr<AudioCompressor> codec, float chunkDuration)
    : ownedCodec_(std::move(codec)), codec_(ownedCodec_.get()), chunkDuration_(chunkDuration) {}
AudioDecoder::~AudioDecoder() = default;
bool AudioDecoder::addFileToDecodeList(std::unique_ptr<CompressedAudioFile>) {
    return false;
}
bool AudioDecoder::fileNameIsInDecodeList(const std::string&) {
    return false;
}
unsigned AudioDecoder::numberOfFilesIs() {
    return 0;
}
std::vector<CompressedAudioFile*> AudioDecoder::filesInDecodeListIs() {
    return {};
}
std::unique_ptr<EncodedAudioChunk> AudioDecoder::getNextEncodedChunk(bool*, TransactionId*) {
    return nullptr;
}
std::unique_ptr<DecodedAudioChunk> AudioDecoder::getNextDecodedChunk(bool*) {
    return nullptr;
}
bool AudioDecoder::setPositionByWallClockTime(double, float) {
    return false;
}
bool AudioDecoder::slaveToAnotherDecoder(AudioDecoder*) {
    return false;
}
double AudioDecoder::totalPlayTimeIs() {
    return 0.0;
}
bool AudioDecoder::refreshAllFileInformation(double) {
    return false;
}
unsigned AudioDecoder::listTimeRanges(std::vector<TimeRange>&, bool, float) {
    return 0;
}
void AudioDecoder::getAllFilesInTimeRange(double, double, std::vector<CompressedAudioFile*>&,
                                          bool) {}
std::unique_ptr<MediaFileCheckpoint> AudioDecoder::generateCheckpoint() {
    return nullptr;
}
bool AudioDecoder::restoreCheckpoint(const MediaFileCheckpoint*) {
    return false;
}
