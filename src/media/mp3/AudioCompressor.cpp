#include "AudioCompressor.h"

#include "DecodedAudioChunk.h"
#include "EncodedAudioChunk.h"

bool AudioCompressor::acceptsEncodedChunk(const EncodedAudioChunk* chunk) {
    return chunk != nullptr && chunk->formatNameIs() == formatName_;
}

bool AudioCompressor::acceptsDecodedChunk(const DecodedAudioChunk* chunk) {
    return chunk != nullptr && chunk->formatNameIs() == "PCM";
}
