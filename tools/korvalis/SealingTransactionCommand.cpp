// The shared part of korvalis seal and korvalis unseal.
#include "SealingTransactionCommand.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "CommandLine.h"
#include "CompressedAudioFile.h"
#include "CompressedVideoFile.h"
#include "KorvalisCommand.h"
#include "KorvalisSealingSession.h"
#include "KorvalisSession.h"
#include "RealFileSystem.h"
#include "SealingKeyLoader.h"
#include "SessionLookup.h"
#include "TerminalText.h"
#include "TransactionScope.h"
#include "VideoDecoder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBarWidth = 30;

// Whether any file of the session shares an instant with [from, to].
bool rangeTouchesSession(AudioDecoderGroup& group, VideoDecoder& video, double from, double to) {
    for (unsigned channel = 0; channel < group.numberOfDecodersIs(); ++channel) {
        std::vector<CompressedAudioFile*> files;
        if (AudioDecoder* decoder = group.decoderForChannel(channel)) {
            decoder->getAllFilesInTimeRange(from, to, files, false);
        }
        if (!files.empty()) {
            return true;
        }
    }
    std::vector<CompressedVideoFile*> files;
    return video.getAllFilesInTimeRange(from, to, files, false);
}

// The first directory a transaction on the session may change that cannot be written: every
// directory holding media files of the session, and its counterpart in the second archive when
// that exists. Checked up front, since a failure after the commit leaves the work to recovery.
std::string firstUnwritableDirectory(const KorvalisSession& session,
                                     const std::string& archiveLocation) {
    std::set<std::string> directories;
    std::vector<std::string> files = session.videoFiles();
    for (uint32_t channel = 0; channel < session.numberOfChannelsIs(); ++channel) {
        const std::vector<std::string> channelFiles = session.audioFilesForChannel(channel);
        files.insert(files.end(), channelFiles.begin(), channelFiles.end());
    }
    for (const std::string& file : files) {
        directories.insert(KorvalisSession::directoryOfPath(file));
        if (!archiveLocation.empty()) {
            const std::string copy = TransactionScope::archivedCopyPath(archiveLocation, file);
            const std::string copyDirectory = KorvalisSession::directoryOfPath(copy);
            std::error_code code;
            if (fs::is_directory(copyDirectory, code)) {
                directories.insert(copyDirectory);
            }
        }
    }
    for (const std::string& directory : directories) {
        if (access(directory.c_str(), W_OK) != 0) {
            return directory;
        }
    }
    return std::string();
}

// Draws "[####      ] 3/10 text" over the line on a terminal; nothing elsewhere.
class ProgressBar {
public:
    ProgressBar() : terminal_(isatty(STDERR_FILENO) == 1) {}
    ~ProgressBar() { finish(); }

    void update(const std::string* text, int current, int total) {
        if (!terminal_) {
            return;
        }
        if (text != nullptr) {
            text_ = TerminalText::escaped(*text);
        }
        std::string bar;
        if (current >= 0 && total > 0) {
            const int filled = current * kBarWidth / total;
            bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                  std::string(static_cast<size_t>(kBarWidth - filled), ' ') + "] " +
                  std::to_string(current) + "/" + std::to_string(total) + " ";
        }
        std::fprintf(stderr, "\r\033[K%s%s", bar.c_str(), text_.c_str());
        std::fflush(stderr);
        drawn_ = true;
    }

    void finish() {
        if (drawn_) {
            std::fprintf(stderr, "\r\033[K");
            std::fflush(stderr);
            drawn_ = false;
        }
    }

private:
    bool terminal_;
    bool drawn_ = false;
    std::string text_;
};

}  // namespace

int SealingTransactionCommand::run(const std::vector<std::string>& arguments, bool sealing,
                                   const char* usage) {
    const std::string name = sealing ? "seal" : "unseal";
    SealingKeyLoader loader(name);
    const auto usageError = [&](const std::string& text) {
        std::fprintf(stderr, "korvalis %s: %s\n%s", name.c_str(), text.c_str(), usage);
        return kExitUsage;
    };
    CommandLine line(arguments, {"from", "to", "key", "passphrase-file", "archive-location"}, {});
    if (!line.isValid()) {
        return usageError(line.error());
    }
    std::string roots;
    std::string location;
    int year = 0;
    int month = 0;
    int day = 0;
    const std::string positional =
        SessionLookup::readSessionArguments(line, roots, location, year, month, day);
    if (!positional.empty()) {
        return usageError(positional);
    }
    double from = 0.0;
    double to = 0.0;
    if (!line.hasOption("from") || !line.hasOption("to") || !line.hasOption("key")) {
        return usageError("--from, --to and --key are required");
    }
    if (!CommandLine::parseEpochSeconds(*line.value("from"), from)) {
        return usageError("--from '" + *line.value("from") + "' is not a time");
    }
    if (!CommandLine::parseEpochSeconds(*line.value("to"), to)) {
        return usageError("--to '" + *line.value("to") + "' is not a time");
    }
    if (to <= from) {
        return usageError("--to must be later than --from");
    }
    const std::string archiveLocation = line.value("archive-location").value_or("");
    std::error_code code;
    if (!archiveLocation.empty() &&
        !fs::is_directory(fs::path(archiveLocation) / "Recordings", code)) {
        loader.report("the archive location " + TerminalText::escaped(archiveLocation) +
                      " is not an archive (it has no Recordings directory)");
        return kExitFailure;
    }

    std::string recordingsPath;
    const std::string asked = location;
    if (!SessionLookup::findSession(roots, location, year, month, day, recordingsPath)) {
        loader.report(SessionLookup::noSessionText(asked, year, month, day, roots));
        return kExitFailure;
    }
    recordingsPath = fs::absolute(recordingsPath, code).lexically_normal().string();
    while (recordingsPath.size() > 1 && recordingsPath.back() == '/') {
        recordingsPath.pop_back();
    }
    if (access(recordingsPath.c_str(), W_OK) != 0) {
        loader.report("the archive " + TerminalText::escaped(recordingsPath) +
                      " cannot be written; nothing was changed");
        return kExitFailure;
    }
    KorvalisSession session(recordingsPath, location, static_cast<uint32_t>(year),
                            static_cast<uint32_t>(month), static_cast<uint32_t>(day));
    std::unique_ptr<AudioDecoderGroup> group;
    std::unique_ptr<VideoDecoder> video;
    SessionLookup::buildMediaSet(session, group, video, name);
    const std::string unwritable = firstUnwritableDirectory(session, archiveLocation);
    if (!unwritable.empty()) {
        loader.report("the directory " + TerminalText::escaped(unwritable) +
                      " cannot be written; nothing was changed");
        return kExitFailure;
    }
    if (!rangeTouchesSession(*group, *video, from, to)) {
        loader.report("the range lies outside the session; nothing was changed");
        return kExitFailure;
    }
    // The key last: a mistyped command line costs no passphrase.
    auto userKey = loader.uncover(*line.value("key"), line.value("passphrase-file"));
    if (!userKey) {
        return kExitFailure;
    }

    RealFileSystem fileSystem;
    KorvalisSealingSession sealer(group.get(), video.get(), &session, fileSystem);
    ProgressBar bar;
    sealer.setProgressCallback([&bar](const std::string* text, int current, int total) {
        bar.update(text, current, total);
    });
    sealer.setMessageCallback([&bar](const std::string& text) {
        bar.finish();
        std::printf("%s\n", TerminalText::escaped(text).c_str());
        std::fflush(stdout);
    });
    const std::string archive =
        archiveLocation.empty() ? ""
                                : fs::absolute(archiveLocation, code).lexically_normal().string();
    const bool ok = sealing ? sealer.seal(from, to, *userKey, archive)
                            : sealer.unseal(from, to, *userKey, archive);
    bar.finish();
    if (!ok) {
        loader.report(std::string(sealing ? "sealing" : "unsealing") +
                      " failed; if a working directory is left, run korvalis recover " +
                      TerminalText::escaped(recordingsPath));
        return kExitFailure;
    }
    return kExitSuccess;
}
