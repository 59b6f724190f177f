#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One open pedal device: reads reports until it fails (unplugged).
class PedalDevice {
public:
    virtual ~PedalDevice() = default;
    // Reads one report into `buffer` (report id first when the device numbers its reports):
    // the byte count, 0 when none came within timeoutMs, -1 when the device is gone.
    virtual int read(uint8_t* buffer, std::size_t size, int timeoutMs) = 0;
    // Whether the device's reports begin with a report id.
    virtual bool numberedReports() const = 0;
    // Its name for the log.
    virtual std::string name() const = 0;
};

// Finds and opens the pedal: the first HID device whose top-level usage is consumer control
// (usage page 0x0C, usage 0x03).
class PedalDeviceSource {
public:
    virtual ~PedalDeviceSource() = default;
    // False when the HID library cannot start (then no pedal will ever be found).
    virtual bool initialise() = 0;
    // The pedal, or null when none is plugged in or it cannot be opened.
    virtual std::unique_ptr<PedalDevice> open() = 0;
};

// The pedal source on hidraw through hidapi.
std::unique_ptr<PedalDeviceSource> makeHidrawPedalDeviceSource();

// Reads the foot pedal on a thread of its own, so the pedal works while another program has the
// keyboard focus. Each report is normalised to [report id, state byte, 0] and handed to the
// sink on the reader's thread; the sink must only queue it for the user-interface thread.
// While no pedal is open the reader looks for one about once a second, so a pedal that is
// unplugged and plugged in again is picked up.
class PedalReader {
public:
    using Report = std::array<uint8_t, 3>;
    using Sink = std::function<void(const Report&)>;

    static constexpr int kReadTimeoutMs = 100;
    static constexpr int kRescanIntervalMs = 1000;

    PedalReader(std::unique_ptr<PedalDeviceSource> source, Sink sink);
    ~PedalReader();
    PedalReader(const PedalReader&) = delete;
    PedalReader& operator=(const PedalReader&) = delete;

    // Starts the thread; false (logged) when the HID library could not start. Once only.
    bool start();
    void stop();

    // Whether a pedal is open now (any thread).
    bool connected() const;
    // How many times a pedal was opened since start (any thread).
    int connectionCount() const;

    // Normalises one raw report: numbered reports keep their id, others get id 0; the state is
    // the first data byte. False for a report without a data byte.
    static bool normalise(const uint8_t* data, std::size_t size, bool numbered, Report& report);
    // Whether a HID report descriptor declares report ids (any Report ID item).
    static bool descriptorDeclaresReportIds(const uint8_t* descriptor, std::size_t size);

private:
    void run();
    bool waitFor(int milliseconds);

    std::unique_ptr<PedalDeviceSource> source_;
    Sink sink_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wakeUp_;
    bool stopRequested_ = false;  // guarded by mutex_
    bool connected_ = false;      // guarded by mutex_
    int connectionCount_ = 0;     // guarded by mutex_
};
