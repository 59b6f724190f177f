// Sealing and unsealing whole media files, measured against the same work done by the openssl
// tool in the same run: `openssl enc -aes-256-cfb` plus `openssl dgst -sha256` of its input and
// of its output. Each seal or unseal runs in a child process so that its peak resident memory
// (ru_maxrss) can be reported; it should not grow with the file's size.
//
// Counters: ours_s and openssl_s are wall seconds per run, ratio = ours_s / openssl_s;
// ours_cpu_s and openssl_cpu_s are the processor seconds (user + system) each spent, cpu_ratio
// their quotient (the part of the comparison that other load on the machine does not blur);
// peak_rss_MiB is the child's peak resident memory.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "KorvalisEncryptedMediaFile.h"
#include "SealedFormatText.h"
#include "TemporaryDirectory.h"

namespace fs = std::filesystem;

namespace {

const uint8_t kKey[32] = {0x60, 0x3d, 0xeb, 0x10, 0x15, 0xca, 0x71, 0xbe, 0x2b, 0x73, 0xae,
                          0xf0, 0x85, 0x7d, 0x77, 0x81, 0x1f, 0x35, 0x2c, 0x07, 0x3b, 0x61,
                          0x08, 0xd7, 0x2d, 0x98, 0x10, 0xa3, 0x09, 0x14, 0xdf, 0xf4};
const char* kIvHex = "000102030405060708090A0B0C0D0E0F";

// The benchmark's files, in one temporary directory removed at exit. It lies in /dev/shm when
// that has room for them, so that the figures measure the work on the data, not how fast a disk
// shared with other work writes back; both sides read and write in the same directory.
class Scratch {
public:
    std::string path(const std::string& name) const { return directory_.file(name); }
    std::string directory() const { return directory_.path(); }

    // A media-like file of `mebibytes` MiB (pseudo-random bytes), made once.
    std::string mediaFile(int64_t mebibytes) {
        const std::string name = "media-" + std::to_string(mebibytes) + ".kov";
        if (!made_[name]) {
            std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
            std::vector<uint64_t> block((1 << 20) / sizeof(uint64_t));
            uint64_t state = 0x9e3779b97f4a7c15ull;
            for (int64_t m = 0; m < mebibytes; ++m) {
                for (uint64_t& word : block) {
                    state ^= state << 13;
                    state ^= state >> 7;
                    state ^= state << 17;
                    word = state;
                }
                out.write(reinterpret_cast<const char*>(block.data()), 1 << 20);
            }
            made_[name] = true;
        }
        return name;
    }

private:
    static std::string parentDirectory() {
        std::error_code code;
        const fs::space_info memory = fs::space("/dev/shm", code);
        return !code && memory.available > (uint64_t{4} << 30) ? "/dev/shm" : "";
    }
    TemporaryDirectory directory_{"bench-sealed-", parentDirectory()};
    std::map<std::string, bool> made_;
};

Scratch& scratch() {
    static Scratch instance;
    return instance;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double processorSeconds(const struct rusage& usage) {
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Wall and processor seconds of one run.
struct Cost {
    double wallSeconds = 0.0;
    double processorSeconds = 0.0;
};

// Runs `work` in a child process; returns its cost and peak resident memory (KiB).
template <typename Work>
bool timeInChild(Work work, Cost& cost, long& peakKibibytes) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
        return false;
    }
    cost.wallSeconds = secondsSince(start);
    cost.processorSeconds = processorSeconds(usage);
    peakKibibytes = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The openssl reference: encrypt or decrypt `input` into `output`, then digest both.
bool timeOpenssl(bool decrypt, const std::string& input, const std::string& output, Cost& cost) {
    const std::string key = SealedFormatText::toHex(kKey, sizeof kKey);
    const std::string command =
        "openssl enc " + std::string(decrypt ? "-d " : "") + "-aes-256-cfb -nopad -K " + key +
        " -iv " + kIvHex + " -in '" + input + "' -out '" + output + "' && openssl dgst -sha256 '" +
        input + "' >/dev/null && openssl dgst -sha256 '" + output + "' >/dev/null";
    struct rusage before {};
    struct rusage after {};
    ::getrusage(RUSAGE_CHILDREN, &before);
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    cost.wallSeconds = secondsSince(start);
    ::getrusage(RUSAGE_CHILDREN, &after);
    cost.processorSeconds = processorSeconds(after) - processorSeconds(before);
    fs::remove(output);
    return status == 0;
}

// Each iteration runs `ours` in a child process, removes `ourOutput`, then runs the openssl
// reference on `referenceInput`; only our time counts as the iteration's time.
template <typename Work>
void measure(benchmark::State& state, Work ours, const std::string& ourOutput, bool decrypt,
             const std::string& referenceInput) {
    Cost oursTotal;
    Cost opensslTotal;
    long peakKibibytes = 0;
    for (auto _ : state) {
        Cost oursCost;
        Cost opensslCost;
        long childPeak = 0;
        const bool ok = timeInChild(ours, oursCost, childPeak);
        fs::remove(ourOutput);
        if (!ok ||
            !timeOpenssl(decrypt, referenceInput, scratch().path("openssl.out"), opensslCost)) {
            state.SkipWithError("our run or the openssl reference failed");
            return;
        }
        state.SetIterationTime(oursCost.wallSeconds);
        oursTotal.wallSeconds += oursCost.wallSeconds;
        oursTotal.processorSeconds += oursCost.processorSeconds;
        opensslTotal.wallSeconds += opensslCost.wallSeconds;
        opensslTotal.processorSeconds += opensslCost.processorSeconds;
        peakKibibytes = std::max(peakKibibytes, childPeak);
    }
    using benchmark::Counter;
    state.counters["ours_s"] = Counter(oursTotal.wallSeconds, Counter::kAvgIterations);
    state.counters["openssl_s"] = Counter(opensslTotal.wallSeconds, Counter::kAvgIterations);
    state.counters["ratio"] = oursTotal.wallSeconds / opensslTotal.wallSeconds;
    state.counters["ours_cpu_s"] = Counter(oursTotal.processorSeconds, Counter::kAvgIterations);
    state.counters["openssl_cpu_s"] =
        Counter(opensslTotal.processorSeconds, Counter::kAvgIterations);
    state.counters["cpu_ratio"] = oursTotal.processorSeconds / opensslTotal.processorSeconds;
    state.counters["peak_rss_MiB"] = static_cast<double>(peakKibibytes) / 1024.0;
    state.SetBytesProcessed(state.iterations() * state.range(0) * (int64_t{1} << 20));
}

// Seals `media` into `sealedName` in the scratch directory.
bool seal(const std::string& media, const std::string& sealedName) {
    KorvalisEncryptedMediaFile file;
    file.setSourceLocation(scratch().directory(), media);
    file.setOriginalLocation(scratch().directory(), media);
    file.setEncryptedLocation(scratch().directory(), sealedName);
    file.setStartTime(1268652608.0);
    file.setEndTime(1268656208.0);
    // The openssl anchor does not flush either: compare the work, not the disk.
    file.setSyncToDisk(false);
    return file.encrypt(kKey, sizeof kKey, "", "");
}

void BM_Seal(benchmark::State& state) {
    const std::string media = scratch().mediaFile(state.range(0));
    measure(
        state, [&] { return seal(media, "out.sealedVideo"); }, scratch().path("out.sealedVideo"),
        false, scratch().path(media));
}

void BM_Unseal(benchmark::State& state) {
    const std::string media = scratch().mediaFile(state.range(0));
    const std::string sealedName = "in-" + std::to_string(state.range(0)) + ".sealedVideo";
    if (!seal(media, sealedName)) {
        state.SkipWithError("cannot seal the input");
        return;
    }
    measure(
        state,
        [&] {
            bool opened = false;
            KorvalisEncryptedMediaFile file(scratch().directory(), sealedName, opened);
            file.setSyncToDisk(false);
            return opened && file.decrypt(kKey, sizeof kKey, scratch().directory(), "restored");
        },
        scratch().path("restored"), true, scratch().path(sealedName));
    fs::remove(scratch().path(sealedName));
}

// 64 MiB and 1 GiB: the same peak memory shows that memory does not grow with the file.
BENCHMARK(BM_Seal)->Arg(64)->Arg(1024)->Iterations(3)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Unseal)->Arg(64)->Arg(1024)->Iterations(3)->UseManualTime()->Unit(
    benchmark::kMillisecond);

}  // namespace
