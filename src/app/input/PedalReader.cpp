#include "PedalReader.h"

#include <hidapi/hidapi.h>

#include <fstream>
#include <iterator>

#include "AvDebugLogger.h"

namespace {

constexpr unsigned short kConsumerUsagePage = 0x0C;
constexpr unsigned short kConsumerControlUsage = 0x03;

// The report descriptor of /dev/hidrawN, read from sysfs.
std::vector<uint8_t> readReportDescriptor(const std::string& devicePath) {
    const std::string::size_type slash = devicePath.rfind('/');
    const std::string node = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
    std::ifstream in("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

class HidrawPedalDevice final : public PedalDevice {
public:
    HidrawPedalDevice(hid_device* device, std::string path, bool numbered)
        : device_(device), path_(std::move(path)), numbered_(numbered) {}
    ~HidrawPedalDevice() override { hid_close(device_); }
    int read(uint8_t* buffer, std::size_t size, int timeoutMs) override {
        return hid_read_timeout(device_, buffer, size, timeoutMs);
    }
    bool numberedReports() const override { return numbered_; }
    std::string name() const override { return path_; }

private:
    hid_device* device_;
    std::string path_;
    bool numbered_;
};

class HidrawPedalDeviceSource final : public PedalDeviceSource {
public:
    ~HidrawPedalDeviceSource() override {
        if (initialised_) {
            hid_exit();
        }
    }
    bool initialise() override {
        initialised_ = hid_init() == 0;
        return initialised_;
    }
    std::unique_ptr<PedalDevice> open() override {
        if (!initialised_) {
            return nullptr;
        }
        hid_device_info* devices = hid_enumerate(0, 0);
        std::string path;
        for (hid_device_info* info = devices; info != nullptr; info = info->next) {
            if (info->usage_page == kConsumerUsagePage && info->usage == kConsumerControlUsage &&
                info->path != nullptr) {
                path = info->path;
                break;
            }
        }
        hid_free_enumeration(devices);
        if (path.empty()) {
            return nullptr;
        }
        hid_device* device = hid_open_path(path.c_str());
        if (device == nullptr) {
            // Most often missing permissions: the udev rule is not installed.
            if (path != lastRefusedPath_) {
                AvDebugLogger::instance().log(
                    AvDebugLogger::kWarning,
                    "PedalReader: the pedal %s could not be opened; is the udev rule installed?",
                    path.c_str());
                lastRefusedPath_ = path;
            }
            return nullptr;
        }
        lastRefusedPath_.clear();
        const std::vector<uint8_t> descriptor = readReportDescriptor(path);
        return std::make_unique<HidrawPedalDevice>(
            device, path,
            PedalReader::descriptorDeclaresReportIds(descriptor.data(), descriptor.size()));
    }

private:
    bool initialised_ = false;
    std::string lastRefusedPath_;
};

}  // namespace

std::unique_ptr<PedalDeviceSource> makeHidrawPedalDeviceSource() {
    return std::make_unique<HidrawPedalDeviceSource>();
}

PedalReader::PedalReader(std::unique_ptr<PedalDeviceSource> source, Sink sink)
    : source_(std::move(source)), sink_(std::move(sink)) {}

PedalReader::~PedalReader() {
    stop();
}

bool PedalReader::start() {
    if (thread_.joinable() || !source_) {
        return false;
    }
    if (!source_->initialise()) {
        AvDebugLogger::instance().log(
            AvDebugLogger::kWarning,
            "Galewick::main(): hid_init() call to enable pedal events failed.  This should not "
            "happen even if the pedal is not connected.");
        return false;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                  "Galewick::main(): hid_init() call to enable pedal events OK.");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void PedalReader::stop() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    wakeUp_.notify_all();
    thread_.join();
}

bool PedalReader::connected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_;
}

int PedalReader::connectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connectionCount_;
}

bool PedalReader::waitFor(int milliseconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wakeUp_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [this] { return stopRequested_; });
}

void PedalReader::run() {
    std::unique_ptr<PedalDevice> device;
    uint8_t buffer[64];
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopRequested_) {
                break;
            }
        }
        if (!device) {
            device = source_->open();
            if (!device) {
                if (!waitFor(kRescanIntervalMs)) {
                    break;
                }
                continue;
            }
            AvDebugLogger::instance().log(AvDebugLogger::kInfo, "PedalReader: pedal %s opened.",
                                          device->name().c_str());
            std::lock_guard<std::mutex> lock(mutex_);
            connected_ = true;
            ++connectionCount_;
        }
        const int count = device->read(buffer, sizeof buffer, kReadTimeoutMs);
        if (count < 0) {
            AvDebugLogger::instance().log(AvDebugLogger::kInfo,
                                          "PedalReader: pedal %s is gone; looking for it again.",
                                          device->name().c_str());
            device.reset();
            std::lock_guard<std::mutex> lock(mutex_);
            connected_ = false;
            continue;
        }
        Report report;
        if (count > 0 &&
            normalise(buffer, static_cast<std::size_t>(count), device->numberedReports(), report)) {
            sink_(report);
        }
    }
    device.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
}

bool PedalReader::normalise(const uint8_t* data, std::size_t size, bool numbered, Report& report) {
    const std::size_t first = numbered ? 1 : 0;
    if (data == nullptr || size <= first) {
        return false;
    }
    report = {numbered ? data[0] : uint8_t{0}, data[first], 0};
    return true;
}

bool PedalReader::descriptorDeclaresReportIds(const uint8_t* descriptor, std::size_t size) {
    // Short items: a prefix byte (tag 4 bits, type 2 bits, size 2 bits: 0, 1, 2 or 4 bytes)
    // followed by the data. Long items (prefix 0xFE) carry their data size in the next byte.
    constexpr uint8_t kReportIdItem = 0x84;  // global item, tag 8, size bits masked off
    std::size_t i = 0;
    while (i < size) {
        const uint8_t prefix = descriptor[i];
        if (prefix == 0xFE) {
            if (i + 1 >= size) {
                break;
            }
            i += 3 + descriptor[i + 1];
            continue;
        }
        const std::size_t dataSize = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
        if ((prefix & 0xFC) == kReportIdItem) {
            return true;
        }
        i += 1 + dataSize;
    }
    return false;
}
