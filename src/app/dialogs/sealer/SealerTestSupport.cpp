#include "SealerTestSupport.h"

#include <QtTest>
#include <filesystem>

#include "KorvalisMasterSealingKey.h"
#include "KorvalisUserSealingKey.h"
#include "SampleArchiveWriter.h"
#include "SealerPrompts.h"
#include "SealerSessionMedia.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFewIterations = 1000;

int countFiles(const std::string& directory, bool sealed) {
    int count = 0;
    std::error_code code;
    for (const auto& entry : fs::recursive_directory_iterator(directory, code)) {
        const std::string extension = entry.path().extension().string();
        const bool isSealed = extension == ".sealedAudio" || extension == ".sealedVideo";
        const bool isClear = extension == ".mp3" || extension == ".kov";
        count += sealed ? isSealed : isClear;
    }
    return count;
}

}  // namespace

FakeSealerHost::FakeSealerHost()
    : root_(scratch_.file("archive")),
      keyFile_(scratch_.file("key.xml")),
      secondArchive_(scratch_.file("second")) {
    browseLocation_ = root_;
    programDirectory_ = scratch_.file("program");
    SampleArchiveWriter::Settings settings;
    settings.locations = {kLocation};
    settings.channels = 3;
    settings.hours = kSessionSeconds / 3600.0;
    settings.fileMinutes = 2.0;
    settings.videoWidth = 64;
    settings.videoHeight = 48;
    settings.videoFrameRate = 5;
    settings.annotationsPerHour = 120;
    SampleArchiveWriter writer(settings);
    if (!writer.write(root_)) {
        qWarning("sample archive: %s", writer.errorText().c_str());
        return;
    }
    auto master = KorvalisMasterSealingKey::create("Clerk", 32, 1268652608);
    KorvalisUserSealingKey user;
    const std::string passphrase = kPassphrase;
    const auto* bytes = reinterpret_cast<const uint8_t*>(passphrase.data());
    if (master == nullptr ||
        !user.wrapMasterKey(*master, "Judge Example", bytes, passphrase.size(), kFewIterations,
                            1268652700) ||
        !user.saveToFile(keyFile_)) {
        qWarning("could not write the user key file");
        return;
    }
    std::error_code code;
    fs::create_directories(secondArchive_ + "/Databases", code);
    fs::create_directories(secondArchive_ + "/Recordings", code);
    fs::create_directories(programDirectory_, code);
    ready_ = !code;
}

int FakeSealerHost::sealedFileCount() const {
    return countFiles(recordingsPath(), true);
}

int FakeSealerHost::clearFileCount() const {
    return countFiles(recordingsPath(), false);
}

int32_t FakeSealerHost::locationOffsetSecondsAt(double) const {
    return offsetSeconds_;
}

bool FakeSealerHost::selectedRange(double& start, double& end) const {
    start = selectionStart_;
    end = selectionEnd_;
    return hasSelection_;
}

void FakeSealerHost::setSelectedRange(double start, double end) {
    hasSelection_ = true;
    selectionStart_ = start;
    selectionEnd_ = end;
}

std::vector<TimeRange> FakeSealerHost::sealedRanges() const {
    if (!open_) {
        return {};
    }
    SealerSessionMedia media(recordingsPath(), kLocation, sessionDate());
    return media.sealedRanges();
}

bool FakeSealerHost::reloadSession() {
    ++reloads;
    return true;
}

bool FakeSealerHost::openSession(const std::string& archiveRoot, const std::string&, const Date&) {
    openedRoots.push_back(archiveRoot);
    return true;
}

RecordedPrompts::RecordedPrompts() {
    SealerPrompts::setMessageHandler([this](const QString& caption, const QString& text) {
        messages.push_back(Message{caption, text});
    });
    SealerPrompts::setFolderHandler([this](const QString&) { return chosenPath; });
}

RecordedPrompts::~RecordedPrompts() {
    SealerPrompts::setMessageHandler(nullptr);
    SealerPrompts::setFolderHandler(nullptr);
}
