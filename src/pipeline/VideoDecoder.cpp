#include "VideoDecoder.h"

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() = default;
bool VideoDecoder::addFileToDecodeList(std::unique_ptr<CompressedVideoFile>) {
    return false;
}
bool VideoDecoder::fileNameIsInDecodeList(const std::string&) {
    return false;
}
void VideoDecoder::removeAllFilesFromDecodeList() {}
unsigned VideoDecoder::numberOfFilesIs() {
    return 0;
}
std::vector<CompressedVideoFile*> VideoDecoder::filesInDecodeListIs() {
    return {};
}
std::unique_ptr<VideoSegmentFrame> VideoDecoder::getNextFrame(bool*, bool) {
    return nullptr;
}
bool VideoDecoder::setPositionByWallClockTime(double, float) {
    return false;
}
bool VideoDecoder::refreshAllFileInformation(double) {
    return false;
}
bool VideoDecoder::getAllFilesInTimeRange(double, double, std::vector<CompressedVideoFile*>&,
                                          bool) {
    return false;
}
