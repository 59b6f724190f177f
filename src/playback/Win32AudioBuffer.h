#pragma once

#include <cstdint>
#include <memory>

#include "AudioChunkWithCorrelatedVideoFrame.h"

class AudioOutputDevice;

// One buffer of the player: the item it plays (owned) and the samples it hands to the output
// device, which are the item's audio chunk's buffer unless the player has replaced them
// (time-stretched audio). Used under the player's lock only; it has no lock of its own.
class Win32AudioBuffer {
public:
    // Takes ownership of `item` (which must hold an audio chunk); the data to write starts as the
    // whole of the chunk's buffer (bufferIs, bufferSizeIs). `device` must outlive the buffer;
    // `bufferId` identifies the buffer in the device's completion notices.
    Win32AudioBuffer(std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item,
                     AudioOutputDevice* device, uint64_t bufferId);
    // Destroys the item, unless it was taken back with releaseItem.
    ~Win32AudioBuffer();

    Win32AudioBuffer(const Win32AudioBuffer&) = delete;
    Win32AudioBuffer& operator=(const Win32AudioBuffer&) = delete;

    AudioChunkWithCorrelatedVideoFrame* itemIs() const { return item_.get(); }
    // The item's audio chunk (null only when the item was released).
    MixedDecodedAudioChunk* audioChunkIs() const;
    bool hasVideoFrameIs() const;
    // Hands the item back to the caller; the buffer then writes nothing.
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> releaseItem();

    uint64_t bufferIdIs() const { return bufferId_; }
    const uint8_t* dataIs() const { return data_; }
    uint32_t lengthIs() const { return length_; }
    // Samples (16-bit) the buffer writes.
    uint32_t sampleCountIs() const { return length_ / 2; }
    // Points the buffer at other samples (they must live as long as the buffer, normally in the
    // item's own chunk).
    void setData(const uint8_t* data, uint32_t length);

    // Queues the data on the device; true when the device took it (one completion notice with
    // this buffer's id follows).
    bool write();

private:
    std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item_;
    AudioOutputDevice* device_;
    uint64_t bufferId_;
    const uint8_t* data_ = nullptr;
    uint32_t length_ = 0;
};
