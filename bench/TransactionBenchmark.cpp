// Sealing and then unsealing a one-hour range of a session of 8 channels with video, through
// KorvalisSealingSession on the real file system, measured next to an anchor in the same run:
// `cp` of the files the range overlaps plus `openssl enc -aes-256-cfb` of each copy.
//
// The session (sample-archive writer): 8 channels of timed MP3 and 320x240 KOV video at 10
// frames a second, 1 h 10 min in 5-minute files. The range starts 150 s into the first file and
// ends 150 s into the thirteenth, so both ends cut a file. Every iteration starts from a fresh
// copy of the written archive (not timed).
//
// The transactions flush what they write (files and directories) before they commit, so the
// anchor is reported twice: anchor_s is cp + openssl enc alone, anchor_sync_s adds `sync` of
// the copied and encrypted files (counted in full, the flush the transactions also pay).
//
// Counters (wall seconds): seal_s, unseal_s, anchor_s, anchor_sync_s; seal_ratio and
// unseal_ratio are each transaction against anchor_sync_s, seal_ratio_nosync and
// unseal_ratio_nosync against anchor_s; anchor_files and anchor_MiB are the files the anchor
// covers, sealed_files how many sealed files the seal left in the archive (checked non-zero, and
// checked that the unseal leaves none).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AudioDecoderGroup.h"
#include "KorvalisMasterSealingKey.h"
#include "KorvalisSealingSession.h"
#include "KorvalisSession.h"
#include "KorvalisUserSealingKey.h"
#include "RealFileSystem.h"
#include "SampleArchiveWriter.h"
#include "TemporaryDirectory.h"
#include "VideoDecoder.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLocation = "COURT1";
constexpr int kChannels = 8;
constexpr double kFileSeconds = 300.0;
constexpr double kRangeOffsetSeconds = 150.0;
constexpr double kRangeSeconds = 3600.0;
constexpr const char* kPassphrase = "correct horse";
const std::string kKeyHex = "603DEB1015CA71BE2B73AEF0857D77811F352C073B6108D72D9810A30914DFF4";
const std::string kIvHex = "000102030405060708090A0B0C0D0E0F";

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The written session, made once, in a temporary directory on the disk (not in memory: the
// transactions' flushes are part of what is measured).
class WrittenSession {
public:
    static const WrittenSession& instance() {
        static const WrittenSession session;
        return session;
    }
    bool isValid() const { return valid_; }
    const std::string& pristineRoot() const { return pristine_; }
    std::string scratch(const std::string& name) const { return directory_.file(name); }
    double rangeStart() const { return rangeStart_; }
    double rangeEnd() const { return rangeEnd_; }

private:
    WrittenSession() {
        pristine_ = directory_.file("pristine");
        SampleArchiveWriter::Settings settings;
        settings.locations = {kLocation};
        settings.channels = kChannels;
        settings.startSecondOfDay = 9 * 3600.0;
        settings.hours = 70.0 / 60.0;
        settings.fileMinutes = kFileSeconds / 60.0;
        settings.videoWidth = 320;
        settings.videoHeight = 240;
        settings.videoFrameRate = 10;
        SampleArchiveWriter writer(settings);
        valid_ = writer.write(pristine_);
        if (!valid_) {
            std::fprintf(stderr, "bench_transactions: %s\n", writer.errorText().c_str());
            return;
        }
        rangeStart_ = writer.sessionStart(SampleArchiveWriter::Date{}) + kRangeOffsetSeconds;
        rangeEnd_ = rangeStart_ + kRangeSeconds;
    }
    TemporaryDirectory directory_{"bench-transactions-"};
    std::string pristine_;
    double rangeStart_ = 0.0;
    double rangeEnd_ = 0.0;
    bool valid_ = false;
};

// The media files below `recordings` that share an instant with [from, to]: every file of the
// session is kFileSeconds long and its start time is the hexadecimal seconds in its name.
std::vector<std::string> filesOverlapping(const std::string& recordings, double from, double to,
                                          uint64_t& bytes) {
    std::vector<std::string> files;
    bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(recordings)) {
        const std::string name = entry.path().filename().string();
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".mp3" && extension != ".kov")) {
            continue;
        }
        const size_t first = name.find('~');
        const size_t second = first == std::string::npos ? first : name.find('~', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        const double start = static_cast<double>(
            std::strtoul(name.substr(first + 1, second - first - 1).c_str(), nullptr, 16));
        if (start < to && start + kFileSeconds > from) {
            files.push_back(entry.path().string());
            bytes += entry.file_size();
        }
    }
    return files;
}

// How many sealed files lie below `recordings`.
int sealedFileCount(const std::string& recordings) {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(recordings)) {
        const std::string extension = entry.path().extension().string();
        count += extension == ".sealedAudio" || extension == ".sealedVideo" ? 1 : 0;
    }
    return count;
}

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

// The anchor: cp of `files` into `directory`, openssl enc of each copy beside it (timed into
// `anchorSeconds`), then sync of the copies and the encrypted files (added for `syncSeconds`).
bool runAnchor(const std::vector<std::string>& files, const std::string& directory,
               double& anchorSeconds, double& syncSeconds) {
    fs::remove_all(directory);
    fs::create_directories(directory);
    // One cp and one openssl enc per file, in one shell; its own cost is negligible beside the
    // bytes.
    std::string work = "true";
    std::string sync = "sync";
    for (size_t index = 0; index < files.size(); ++index) {
        const std::string target = directory + "/" + std::to_string(index);
        work += " && cp " + quoted(files[index]) + " " + quoted(target) +
                " && openssl enc -aes-256-cfb -nopad -K " + kKeyHex + " -iv " + kIvHex + " -in " +
                quoted(target) + " -out " + quoted(target + ".enc");
        sync += " " + quoted(target) + " " + quoted(target + ".enc");
    }
    auto start = std::chrono::steady_clock::now();
    if (std::system(work.c_str()) != 0) {
        return false;
    }
    anchorSeconds = secondsSince(start);
    start = std::chrono::steady_clock::now();
    if (std::system(sync.c_str()) != 0) {
        return false;
    }
    syncSeconds = anchorSeconds + secondsSince(start);
    fs::remove_all(directory);
    return true;
}

std::unique_ptr<KorvalisUserSealingKey> makeUserKey() {
    auto master = KorvalisMasterSealingKey::create("Clerk", 32, 1268652608);
    auto user = std::make_unique<KorvalisUserSealingKey>();
    const std::string passphrase = kPassphrase;
    const auto* bytes = reinterpret_cast<const uint8_t*>(passphrase.data());
    if (!master ||
        !user->wrapMasterKey(*master, "Judge Example", bytes, passphrase.size(), 1000,
                             1268652700) ||
        !user->uncoverMasterKey(bytes, passphrase.size())) {
        return nullptr;
    }
    return user;
}

// Opens the session below `recordings` as the sealer does and runs seal or unseal on it; the
// wall time covers opening the session too.
bool runTransaction(bool sealing, const std::string& recordings, double from, double to,
                    const KorvalisUserSealingKey& key, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    KorvalisSession session(recordings, kLocation, 2010, 3, 15);
    session.enumerateMediaFiles();
    std::unique_ptr<AudioDecoderGroup> audio;
    std::unique_ptr<VideoDecoder> video;
    session.createAudioDecoderGroupForSession(audio, 0.144f);
    session.createVideDecoderForSession(video);
    RealFileSystem fileSystem;
    KorvalisSealingSession sealer(audio.get(), video.get(), &session, fileSystem);
    const bool ok = sealing ? sealer.seal(from, to, key, "") : sealer.unseal(from, to, key, "");
    seconds = secondsSince(start);
    if (!ok) {
        std::fprintf(stderr, "bench_transactions: %s failed: %s\n", sealing ? "seal" : "unseal",
                     fileSystem.error().c_str());
    }
    return ok;
}

void BM_SealUnsealOneHour(benchmark::State& state) {
    const WrittenSession& written = WrittenSession::instance();
    const std::unique_ptr<KorvalisUserSealingKey> key = makeUserKey();
    if (!written.isValid() || !key) {
        state.SkipWithError("the session or the key could not be made");
        return;
    }
    double sealTotal = 0.0, unsealTotal = 0.0, anchorTotal = 0.0, anchorSyncTotal = 0.0;
    uint64_t anchorBytes = 0;
    size_t anchorFiles = 0;
    int sealedFiles = 0;
    int sealedLeft = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string root = written.scratch("archive");
        fs::remove_all(root);
        fs::copy(written.pristineRoot(), root, fs::copy_options::recursive);
        // The copy's write-back is not the transactions' cost.
        if (std::system("sync") != 0) {
            state.SkipWithError("sync failed");
            return;
        }
        const std::string recordings = root + "/Recordings";
        const std::vector<std::string> files =
            filesOverlapping(recordings, written.rangeStart(), written.rangeEnd(), anchorBytes);
        anchorFiles = files.size();
        state.ResumeTiming();

        // Seal, check that the range is sealed (not timed), unseal, check that nothing sealed is
        // left: a transaction that did nothing would otherwise look fast.
        double sealSeconds = 0.0, unsealSeconds = 0.0;
        if (!runTransaction(true, recordings, written.rangeStart(), written.rangeEnd(), *key,
                            sealSeconds)) {
            state.SkipWithError("seal failed");
            return;
        }
        state.PauseTiming();
        sealedFiles = sealedFileCount(recordings);
        state.ResumeTiming();
        // Unsealing takes only sealed files lying wholly inside its range, and an MP3 cut lands
        // on a frame boundary a few milliseconds before the asked start; the range is widened
        // by the seal's own tolerance so that every file the seal made comes back.
        const double margin = KorvalisSealingSession::kRangeToleranceSeconds;
        if (!runTransaction(false, recordings, written.rangeStart() - margin,
                            written.rangeEnd() + margin, *key, unsealSeconds)) {
            state.SkipWithError("unseal failed");
            return;
        }
        state.PauseTiming();
        sealedLeft = sealedFileCount(recordings);
        state.ResumeTiming();
        if (sealedFiles == 0 || sealedLeft != 0) {
            std::fprintf(
                stderr, "bench_transactions: %d sealed files after the seal, %d after the unseal\n",
                sealedFiles, sealedLeft);
            state.SkipWithError("the seal sealed nothing or the unseal left sealed files");
            return;
        }

        state.PauseTiming();
        // The anchor reads the pristine files (the same bytes the seal read).
        std::vector<std::string> pristineFiles;
        for (const std::string& file : files) {
            pristineFiles.push_back(written.pristineRoot() + file.substr(root.size()));
        }
        double anchorSeconds = 0.0, anchorSyncSeconds = 0.0;
        if (!runAnchor(pristineFiles, written.scratch("anchor"), anchorSeconds,
                       anchorSyncSeconds)) {
            state.SkipWithError("the cp + openssl anchor failed");
            return;
        }
        fs::remove_all(root);
        state.ResumeTiming();

        sealTotal += sealSeconds;
        unsealTotal += unsealSeconds;
        anchorTotal += anchorSeconds;
        anchorSyncTotal += anchorSyncSeconds;
    }
    using benchmark::Counter;
    state.counters["seal_s"] = Counter(sealTotal, Counter::kAvgIterations);
    state.counters["unseal_s"] = Counter(unsealTotal, Counter::kAvgIterations);
    state.counters["anchor_s"] = Counter(anchorTotal, Counter::kAvgIterations);
    state.counters["anchor_sync_s"] = Counter(anchorSyncTotal, Counter::kAvgIterations);
    state.counters["seal_ratio"] = sealTotal / anchorSyncTotal;
    state.counters["unseal_ratio"] = unsealTotal / anchorSyncTotal;
    state.counters["seal_ratio_nosync"] = sealTotal / anchorTotal;
    state.counters["unseal_ratio_nosync"] = unsealTotal / anchorTotal;
    state.counters["sealed_files"] = sealedFiles;
    state.counters["anchor_files"] = static_cast<double>(anchorFiles);
    state.counters["anchor_MiB"] = static_cast<double>(anchorBytes) / (1024.0 * 1024.0);
}

BENCHMARK(BM_SealUnsealOneHour)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
