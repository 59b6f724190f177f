#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DecodedAudioChunk.h"

// The mix of one decoded chunk per channel. It keeps the per-channel components it was made from,
// so the level meters can read each channel's level.
class MixedDecodedAudioChunk : public DecodedAudioChunk {
public:
    MixedDecodedAudioChunk(uint32_t numberOfSamples, uint32_t sampleRate, uint32_t channelCount,
                           std::string formatName, double startTime);
    ~MixedDecodedAudioChunk() override;

    // Appends a component and takes ownership of it. Always true.
    bool addComponent(std::unique_ptr<DecodedAudioChunk> component);
    unsigned numberOfComponentsIs() const;
    // The component's powerLevelIs(true); 0.0 when `index` is out of range.
    float componentPowerLevelIs(unsigned index);
    // The component at `index`, or null.
    DecodedAudioChunk* componentIs(unsigned index) const;

private:
    std::vector<std::unique_ptr<DecodedAudioChunk>> components_;
};
