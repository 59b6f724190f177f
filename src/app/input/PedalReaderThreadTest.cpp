#include <QTest>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "PedalReader.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pedal that can be plugged in, pressed and pulled out from the test's thread.
struct FakePedalHardware {
    std::mutex mutex;
    bool plugged = false;
    bool numbered = false;
    int generation = 0;  // bumped by each unplug; an open device of an older one is gone
    std::deque<std::vector<uint8_t>> pending;
    int opens = 0;

    void press(std::vector<uint8_t> report) {
        std::lock_guard<std::mutex> lock(mutex);
        pending.push_back(std::move(report));
    }
    void unplug() {
        std::lock_guard<std::mutex> lock(mutex);
        plugged = false;
        ++generation;
        pending.clear();
    }
    void plugIn() {
        std::lock_guard<std::mutex> lock(mutex);
        plugged = true;
    }
};

class FakePedalDevice final : public PedalDevice {
public:
    FakePedalDevice(FakePedalHardware& hardware, int generation)
        : hardware_(hardware), generation_(generation) {}
    int read(uint8_t* buffer, std::size_t size, int timeoutMs) override {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(hardware_.mutex);
                if (hardware_.generation != generation_) {
                    return -1;
                }
                if (!hardware_.pending.empty()) {
                    std::vector<uint8_t> report = hardware_.pending.front();
                    hardware_.pending.pop_front();
                    const std::size_t n = std::min(size, report.size());
                    std::copy(report.begin(), report.begin() + static_cast<long>(n), buffer);
                    return static_cast<int>(n);
                }
            }
            if (Clock::now() > deadline) {
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    bool numberedReports() const override {
        std::lock_guard<std::mutex> lock(hardware_.mutex);
        return hardware_.numbered;
    }
    std::string name() const override { return "fake pedal"; }

private:
    FakePedalHardware& hardware_;
    int generation_;
};

class FakePedalSource final : public PedalDeviceSource {
public:
    FakePedalSource(FakePedalHardware& hardware, bool initialises)
        : hardware_(hardware), initialises_(initialises) {}
    bool initialise() override { return initialises_; }
    std::unique_ptr<PedalDevice> open() override {
        std::lock_guard<std::mutex> lock(hardware_.mutex);
        if (!hardware_.plugged) {
            return nullptr;
        }
        ++hardware_.opens;
        return std::make_unique<FakePedalDevice>(hardware_, hardware_.generation);
    }

private:
    FakePedalHardware& hardware_;
    bool initialises_;
};

// The reports the reader delivered, filled on the reader's thread.
struct Delivered {
    std::mutex mutex;
    std::vector<PedalReader::Report> reports;
    std::size_t size() {
        std::lock_guard<std::mutex> lock(mutex);
        return reports.size();
    }
    PedalReader::Report at(std::size_t i) {
        std::lock_guard<std::mutex> lock(mutex);
        return reports.at(i);
    }
};

template <typename Done>
bool waitUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

class PedalReaderThreadTest final : public QObject {
    Q_OBJECT
private slots:
    void reportsAreNormalisedToTheThreeByteForm();
    void reportIdsAreFoundInTheReportDescriptor();
    void reportsReachTheSinkAndAPedalPluggedInAgainIsFound();
    void aPedalPluggedInAfterStartIsFound();
    void aHidLibraryThatCannotStartStartsNoThread();
};

void PedalReaderThreadTest::reportsAreNormalisedToTheThreeByteForm() {
    PedalReader::Report report{};
    const uint8_t plain[] = {0x05, 0x00};
    QVERIFY(PedalReader::normalise(plain, sizeof plain, false, report));
    QCOMPARE(report, (PedalReader::Report{0, 0x05, 0}));
    const uint8_t numbered[] = {0x02, 0x04, 0x00, 0x00};
    QVERIFY(PedalReader::normalise(numbered, sizeof numbered, true, report));
    QCOMPARE(report, (PedalReader::Report{0x02, 0x04, 0}));
    QVERIFY(!PedalReader::normalise(numbered, 1, true, report));  // an id without data
    QVERIFY(!PedalReader::normalise(plain, 0, false, report));
    QVERIFY(!PedalReader::normalise(nullptr, 3, false, report));
}

void PedalReaderThreadTest::reportIdsAreFoundInTheReportDescriptor() {
    // Usage page (consumer), usage (consumer control), collection, report size 1, count 3,
    // input, report size 5, count 1, input (constant), end collection.
    const uint8_t withoutIds[] = {0x05, 0x0C, 0x09, 0x03, 0xA1, 0x01, 0x75, 0x01, 0x95, 0x03,
                                  0x81, 0x02, 0x75, 0x05, 0x95, 0x01, 0x81, 0x01, 0xC0};
    QVERIFY(!PedalReader::descriptorDeclaresReportIds(withoutIds, sizeof withoutIds));
    // The same with a Report ID (0x85 0x01) after the collection.
    const uint8_t withIds[] = {0x05, 0x0C, 0x09, 0x03, 0xA1, 0x01, 0x85, 0x01,
                               0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0xC0};
    QVERIFY(PedalReader::descriptorDeclaresReportIds(withIds, sizeof withIds));
    // A 0x85 byte that is the data of another item is not a Report ID.
    const uint8_t dataByte[] = {0x06, 0x85, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    QVERIFY(!PedalReader::descriptorDeclaresReportIds(dataByte, sizeof dataByte));
    // A long item is stepped over whole, and a cut-off descriptor ends the walk.
    const uint8_t longItem[] = {0xFE, 0x02, 0x10, 0x85, 0x01, 0x85, 0x03};
    QVERIFY(PedalReader::descriptorDeclaresReportIds(longItem, sizeof longItem));
    const uint8_t cutOff[] = {0x05, 0x0C, 0x27};
    QVERIFY(!PedalReader::descriptorDeclaresReportIds(cutOff, sizeof cutOff));
}

void PedalReaderThreadTest::reportsReachTheSinkAndAPedalPluggedInAgainIsFound() {
    FakePedalHardware hardware;
    hardware.plugIn();
    Delivered delivered;
    PedalReader reader(std::make_unique<FakePedalSource>(hardware, true),
                       [&delivered](const PedalReader::Report& report) {
                           std::lock_guard<std::mutex> lock(delivered.mutex);
                           delivered.reports.push_back(report);
                       });
    QVERIFY(reader.start());
    QVERIFY(waitUntil([&] { return reader.connected(); }));
    hardware.press({0x02});
    hardware.press({0x00});
    QVERIFY(waitUntil([&] { return delivered.size() == 2; }));
    QCOMPARE(delivered.at(0), (PedalReader::Report{0, 0x02, 0}));
    QCOMPARE(delivered.at(1), (PedalReader::Report{0, 0x00, 0}));

    hardware.unplug();
    QVERIFY(waitUntil([&] { return !reader.connected(); }));
    {
        std::lock_guard<std::mutex> lock(hardware.mutex);
        hardware.numbered = true;
    }
    hardware.plugIn();
    // Found again on the next scan, about a second later.
    QVERIFY(waitUntil([&] { return reader.connected(); }));
    QCOMPARE(reader.connectionCount(), 2);
    hardware.press({0x01, 0x04});
    QVERIFY(waitUntil([&] { return delivered.size() == 3; }));
    QCOMPARE(delivered.at(2), (PedalReader::Report{0x01, 0x04, 0}));

    const auto before = Clock::now();
    reader.stop();
    QVERIFY(Clock::now() - before < std::chrono::milliseconds(PedalReader::kRescanIntervalMs));
    QVERIFY(!reader.connected());
}

void PedalReaderThreadTest::aPedalPluggedInAfterStartIsFound() {
    FakePedalHardware hardware;
    Delivered delivered;
    PedalReader reader(std::make_unique<FakePedalSource>(hardware, true),
                       [&delivered](const PedalReader::Report& report) {
                           std::lock_guard<std::mutex> lock(delivered.mutex);
                           delivered.reports.push_back(report);
                       });
    QVERIFY(reader.start());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QVERIFY(!reader.connected());
    hardware.plugIn();
    QVERIFY(waitUntil([&] { return reader.connected(); }));
    QCOMPARE(reader.connectionCount(), 1);
    // Empty reads and a stopped reader during the scan pause end promptly.
    hardware.unplug();
    QVERIFY(waitUntil([&] { return !reader.connected(); }));
    const auto before = Clock::now();
    reader.stop();
    QVERIFY(Clock::now() - before < std::chrono::milliseconds(PedalReader::kRescanIntervalMs));
    QCOMPARE(delivered.size(), std::size_t(0));
}

void PedalReaderThreadTest::aHidLibraryThatCannotStartStartsNoThread() {
    FakePedalHardware hardware;
    hardware.plugIn();
    PedalReader reader(std::make_unique<FakePedalSource>(hardware, false),
                       [](const PedalReader::Report&) {});
    QVERIFY(!reader.start());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    QCOMPARE(reader.connectionCount(), 0);
    std::lock_guard<std::mutex> lock(hardware.mutex);
    QCOMPARE(hardware.opens, 0);
}

QTEST_MAIN(PedalReaderThreadTest)
#include "PedalReaderThreadTest.moc"
