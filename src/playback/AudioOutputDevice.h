#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// An audio output: 16-bit mono PCM buffers are queued on it and played in order, and every
// buffer written is answered by exactly one completion notice, in the order of writing.
//
// Life: setCompletionCallback(), open(), any number of write() and reset(), close(). The
// destructor of every backend closes the device.
//
// Threads: every operation may be called from any thread (each backend guards its state with its
// own mutex). Completion notices are delivered by calling the completion callback on the device's
// own notice thread, never on the caller's thread and never while the device holds its lock. The
// callback must return quickly and must not call into the device (it is meant to post a message,
// e.g. to a ThreadMessageQueue); reset() and close() wait for notices, so a callback that calls
// them, or waits on something their caller holds, deadlocks.
class AudioOutputDevice {
public:
    // The caller's identifier of one written buffer, handed back with its completion notice (a
    // number, or the address of the caller's own record of the buffer; the device never reads it).
    using BufferId = uint64_t;
    // `bufferId` is the buffer's identifier from write(); `wasReset` is true when the buffer was
    // answered by reset() or close() instead of being played to its end.
    using CompletionCallback = std::function<void(BufferId bufferId, bool wasReset)>;

    virtual ~AudioOutputDevice() = default;
    AudioOutputDevice(const AudioOutputDevice&) = delete;
    AudioOutputDevice& operator=(const AudioOutputDevice&) = delete;

    // Sets the function that receives the completion notices. Set it before open(); a device
    // without a callback plays its buffers and drops their notices.
    virtual void setCompletionCallback(CompletionCallback callback) = 0;

    // Opens the device for `sampleRate` Hz. Only 1 channel of 16-bit samples is supported; other
    // formats are refused. False, with errorText(), when the device cannot be opened; a failed
    // open leaves the device closed and may be tried again. Opening an open device is refused.
    virtual bool open(uint32_t sampleRate, uint16_t channelCount = 1,
                      uint16_t bitsPerSample = 16) = 0;
    virtual bool isOpen() const = 0;

    // Queues `byteCount` bytes of samples (machine byte order) to play after everything written
    // before. The bytes are copied: the caller may reuse its memory at once. True when the buffer
    // was queued, and then exactly one completion notice for `bufferId` follows; false (no notice)
    // when the device is not open or `byteCount` is odd. An empty buffer is queued and completes
    // in its turn.
    virtual bool write(BufferId bufferId, const void* samples, size_t byteCount) = 0;

    // Stops at once: what has not been heard yet is dropped, and every buffer written and not yet
    // answered gets its notice with `wasReset` true, in order. Returns when all those notices have
    // been delivered, so no notice for a buffer written before reset() follows it. The device
    // stays open; later writes play as usual.
    virtual void reset() = 0;

    // Resets (as above), then closes the device. Closing a closed device does nothing.
    virtual void close() = 0;

    // Samples that have been heard since open(): the device's playing position. It never goes
    // back; reset() drops what was not yet heard, so those samples are never counted.
    virtual uint64_t playedSampleCount() const = 0;
    // Seconds between a sample being written and its being heard when the device runs steadily
    // (the device's output latency; 0 for devices that complete at once).
    virtual double outputLatencySeconds() const = 0;

    // Human-readable name of the device, e.g. "null" or the sound card's name.
    virtual std::string name() const = 0;
    // Why the last open() failed, in plain words; empty when it did not fail.
    virtual std::string errorText() const = 0;

protected:
    AudioOutputDevice() = default;
};
