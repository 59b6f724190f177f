#include "Win32AudioBuffer.h"

#include "AudioOutputDevice.h"
#include "PointerChecks.h"

Win32AudioBuffer::Win32AudioBuffer(std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> item,
                                   AudioOutputDevice* device, uint64_t bufferId)
    : item_(std::move(item)), device_(device), bufferId_(bufferId) {
    CHECK_POINTER(item_);
    MixedDecodedAudioChunk* chunk = item_->audioChunkIs();
    CHECK_POINTER(chunk);
    data_ = chunk->bufferIs();
    length_ = data_ != nullptr ? chunk->bufferSizeIs() : 0;
}

Win32AudioBuffer::~Win32AudioBuffer() = default;

MixedDecodedAudioChunk* Win32AudioBuffer::audioChunkIs() const {
    return item_ != nullptr ? item_->audioChunkIs() : nullptr;
}

bool Win32AudioBuffer::hasVideoFrameIs() const {
    return item_ != nullptr && item_->videoFrameIs() != nullptr;
}

std::unique_ptr<AudioChunkWithCorrelatedVideoFrame> Win32AudioBuffer::releaseItem() {
    data_ = nullptr;
    length_ = 0;
    return std::move(item_);
}

void Win32AudioBuffer::setData(const uint8_t* data, uint32_t length) {
    data_ = data;
    length_ = data != nullptr ? length : 0;
}

bool Win32AudioBuffer::write() {
    CHECK_POINTER(device_);
    // The device copies the bytes; an empty buffer still completes in its turn.
    return device_->write(bufferId_, data_, length_);
}
