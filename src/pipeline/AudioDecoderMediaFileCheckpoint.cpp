#include "AudioDecoderMediaFileCheckpoint.h"

#include <utility>

AudioDecoderMediaFileCheckpoint::AudioDecoderMediaFileCheckpoint(
    std::string fileName, std::unique_ptr<MediaFileCheckpoint> fileCheckpoint)
    : fileName_(std::move(fileName)), fileCheckpoint_(std::move(fileCheckpoint)) {}

AudioDecoderMediaFileCheckpoint::~AudioDecoderMediaFileCheckpoint() = default;
