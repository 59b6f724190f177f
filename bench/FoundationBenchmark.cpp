// Costs paid on every media operation: a log call (dropped and written), packing and reading a
// record, and calendar conversion of a time stamp.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "AvDebugLogger.h"
#include "TemporaryDirectory.h"
#include "WallClockTime.h"
#include "XmlPacker.h"

namespace {

void BM_LogLineWritten(benchmark::State& state) {
    TemporaryDirectory directory("bench-log-");
    AvDebugLogger& logger = AvDebugLogger::instance();
    logger.enableLoggingToFile(directory.file("Galewick_DEBUG"), 409600);
    int i = 0;
    for (auto _ : state) {
        logger.log(AvDebugLogger::kInfo, "decoded chunk %d of channel %d at %.6f", i++, 3,
                   1268652608.25);
    }
    logger.disableLoggingToFile();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogLineWritten);

void BM_LogLineBelowMinimumLevel(benchmark::State& state) {
    AvDebugLogger& logger = AvDebugLogger::instance();
    logger.setMinimumLevel(AvDebugLogger::kWarning);
    for (auto _ : state) {
        logger.log(AvDebugLogger::kDetailedTrace, "dropped %d", 1);
    }
    logger.setMinimumLevel(0);
}
BENCHMARK(BM_LogLineBelowMinimumLevel);

void BM_PackAndUnpackWallClockTime(benchmark::State& state) {
    const WallClockTime stamp(1268652608u, 250000u, 0);
    for (auto _ : state) {
        XmlPacker packer("WallClockTime");
        stamp.pack(packer);
        auto message = packer.getPackedMessage();
        XmlPacker reader("WallClockTime");
        reader.beginUnpacking(*message);
        WallClockTime back(0u, 0u, 0);
        benchmark::DoNotOptimize(back.unpack(reader));
    }
}
BENCHMARK(BM_PackAndUnpackWallClockTime);

void BM_CalendarFields(benchmark::State& state) {
    uint32_t seconds = 1268652608u;
    for (auto _ : state) {
        WallClockTime stamp(seconds++, 0u, 0);
        int day, month, year, hour, minute, second, micro;
        stamp.getLocalDate(day, month, year);
        stamp.getLocalTime(hour, minute, second, micro);
        benchmark::DoNotOptimize(day + month + year + hour + minute + second);
    }
}
BENCHMARK(BM_CalendarFields);

}  // namespace
