#include "MixedDecodedAudioChunk.h"

MixedDecodedAudioChunk::MixedDecodedAudioChunk(uint32_t numberOfSamples, uint32_t sampleRate,
                                               uint32_t channelCount, std::string formatName,
                                               double startTime)
    : DecodedAudioChunk(numberOfSamples, sampleRate, channelCount, std::move(formatName),
                        startTime) {}

MixedDecodedAudioChunk::~MixedDecodedAudioChunk() = default;

bool MixedDecodedAudioChunk::addComponent(std::unique_ptr<DecodedAudioChunk> component) {
    components_.push_back(std::move(component));
    return true;
}

unsigned MixedDecodedAudioChunk::numberOfComponentsIs() const {
    return static_cast<unsigned>(components_.size());
}

float MixedDecodedAudioChunk::componentPowerLevelIs(unsigned index) {
    DecodedAudioChunk* component = componentIs(index);
    return component == nullptr ? 0.0f : component->powerLevelIs(true);
}

DecodedAudioChunk* MixedDecodedAudioChunk::componentIs(unsigned index) const {
    return index < components_.size() ? components_[index].get() : nullptr;
}
