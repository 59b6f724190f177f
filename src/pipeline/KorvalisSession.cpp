#include "KorvalisSession.h"

#include <filesystem>
#include <new>

#include "ArchiveSessionSet.h"
#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "AvDebugLogger.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "KorvalisSealedCompressedAudioFile.h"
#include "KovCompressedVideoFile.h"
#include "MediaFileName.h"
#include "MpegAudioCompressor.h"
#include "PointerChecks.h"
#include "SealedCompressedVideoFile.h"
#include "VideoDecoder.h"

namespace {

// The codec settings of every channel: 16000 Hz in and out, 32 kbit/s, quality 7.
constexpr uint32_t kCodecRate = 16000;
constexpr uint32_t kCodecBitRate = 32;
constexpr uint32_t kCodecQuality = 7;

bool sameKind(const std::string& extension, const char* kind) {
    if (extension.size() != std::char_traits<char>::length(kind)) {
        return false;
    }
    for (size_t i = 0; i < extension.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(extension[i]) != lower(kind[i])) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<AudioDecoder> makeDecoder(float chunkDuration) {
    std::unique_ptr<AudioCompressor> codec(new (std::nothrow) MpegAudioCompressor(
        kCodecRate, kCodecRate, kCodecBitRate, kCodecQuality));
    CHECK_ALLOCATION(codec.get());
    std::unique_ptr<AudioDecoder> decoder(new (std::nothrow)
                                              AudioDecoder(std::move(codec), chunkDuration));
    CHECK_ALLOCATION(decoder.get());
    return decoder;
}

}  // namespace

KorvalisSession::KorvalisSession(std::string recordingsPath, std::string locationName,
                                 uint32_t year, uint32_t month, uint32_t day)
    : recordingsPath_(std::move(recordingsPath)),
      locationName_(std::move(locationName)),
      year_(year),
      month_(month),
      day_(day) {}

KorvalisSession::~KorvalisSession() {
    clearFileLists();
}

void KorvalisSession::clearFileLists() {
    videoFiles_.clear();
    audioFilesPerChannel_.clear();
}

bool KorvalisSession::enumerateMediaFiles() {
    clearFileLists();
    // Only the listing operations are used, so the set searches no roots of its own.
    const ArchiveSessionSet archive("");
    const int year = static_cast<int>(year_);
    const int month = static_cast<int>(month_);
    const int day = static_cast<int>(day_);
    numberOfChannels_ = static_cast<uint32_t>(
        archive.countNumberedDirectories(recordingsPath_, year, month, day, locationName_));
    std::vector<std::string> found;
    for (const std::string& kind : videoFileKinds_) {
        archive.listSessionFiles(found, recordingsPath_, locationName_, year, month, day, kind, 0);
        videoFiles_.insert(videoFiles_.end(), found.begin(), found.end());
    }
    for (uint32_t channel = 0; channel < numberOfChannels_; ++channel) {
        auto files =
            std::unique_ptr<std::vector<std::string>>(new (std::nothrow) std::vector<std::string>);
        CHECK_ALLOCATION(files.get());
        for (const std::string& kind : audioFileKinds_) {
            archive.listSessionFiles(found, recordingsPath_, locationName_, year, month, day, kind,
                                     static_cast<int>(channel));
            files->insert(files->end(), found.begin(), found.end());
        }
        audioFilesPerChannel_.push_back(std::move(files));
    }
    return true;
}

void KorvalisSession::skip(const std::string& path, const std::string& reason) {
    if (!reportedFiles_.insert(path).second) {
        return;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                  "KorvalisSession: media file \"%s\" left out: %s", path.c_str(),
                                  reason.c_str());
    skippedFiles_.push_back(path + ": " + reason);
}

void KorvalisSession::noteDamage(const std::string& path, const std::string& reason) {
    if (!reportedFiles_.insert(path).second) {
        return;
    }
    AvDebugLogger::instance().log(AvDebugLogger::kWarning,
                                  "KorvalisSession: media file \"%s\" is damaged: %s", path.c_str(),
                                  reason.c_str());
    damagedFiles_.push_back(path + ": " + reason);
}

std::vector<std::string> KorvalisSession::takeDamagedFiles() {
    std::vector<std::string> damaged;
    damaged.swap(damagedFiles_);
    return damaged;
}

std::string KorvalisSession::latestKovFile() const {
    std::string latest;
    double latestStart = 0.0;
    for (const std::string& path : videoFiles_) {
        MediaFileName name;
        if (sameKind(extensionOfPath(path), kKovKind) && MediaFileName::parse(path, name) &&
            (latest.empty() || name.startTime() > latestStart)) {
            latest = path;
            latestStart = name.startTime();
        }
    }
    return latest;
}

std::vector<std::string> KorvalisSession::takeSkippedFiles() {
    std::vector<std::string> skipped;
    skipped.swap(skippedFiles_);
    return skipped;
}

std::unique_ptr<CompressedAudioFile> KorvalisSession::makeAudioFile(const std::string& path) {
    const std::string extension = extensionOfPath(path);
    if (sameKind(extension, kMp3Kind)) {
        auto file = std::unique_ptr<KorvalisMp3CompressedAudioFile>(
            new (std::nothrow) KorvalisMp3CompressedAudioFile(path, true));
        CHECK_ALLOCATION(file.get());
        if (!file->isValid()) {
            MediaFileName name;
            std::error_code error;
            if (!MediaFileName::parse(path, name)) {
                skip(path, "its name carries no start time");
            } else if (std::filesystem::file_size(path, error) == 0 && !error) {
                // A recorder may just have begun it: a later update takes it once it has frames.
                skip(path, "the file is empty");
            } else {
                skip(path, "no MPEG audio frame can be read");
            }
            return nullptr;
        }
        file->close();
        return file;
    }
    if (sameKind(extension, kSealedAudioKind)) {
        auto file = std::unique_ptr<KorvalisSealedCompressedAudioFile>(
            new (std::nothrow) KorvalisSealedCompressedAudioFile(path));
        CHECK_ALLOCATION(file.get());
        if (!(file->getStartTime() > 0.0)) {
            skip(path, "the sealed file's trailer cannot be read");
            return nullptr;
        }
        return file;
    }
    return nullptr;
}

std::unique_ptr<CompressedVideoFile> KorvalisSession::makeVideoFile(const std::string& path,
                                                                    bool testKov) {
    const std::string extension = extensionOfPath(path);
    if (sameKind(extension, kKovKind)) {
        auto file = std::unique_ptr<KovCompressedVideoFile>(new (std::nothrow)
                                                                KovCompressedVideoFile(path));
        CHECK_ALLOCATION(file.get());
        if (testKov && !file->isValid()) {
            skip(path, "not a readable KOV file");
            return nullptr;
        }
        if (testKov && path != latestKovFile_) {
            if (const uint64_t cutOff = file->bytesAfterFinalFrameIs()) {
                noteDamage(path, "it ends inside a frame (" + std::to_string(cutOff) +
                                     " bytes after its last whole frame); its whole frames play");
            }
        }
        file->close();
        return file;
    }
    if (sameKind(extension, kSealedVideoKind)) {
        auto file = std::unique_ptr<SealedCompressedVideoFile>(new (std::nothrow)
                                                                   SealedCompressedVideoFile(path));
        CHECK_ALLOCATION(file.get());
        if (!(file->getStartTime() > 0.0)) {
            skip(path, "the sealed file's trailer cannot be read");
            return nullptr;
        }
        return file;
    }
    return nullptr;
}

bool KorvalisSession::createAudioDecoderGroupForSession(std::unique_ptr<AudioDecoderGroup>& group,
                                                        float chunkDuration) {
    group.reset(new (std::nothrow) AudioDecoderGroup);
    CHECK_ALLOCATION(group.get());
    for (const std::unique_ptr<std::vector<std::string>>& files : audioFilesPerChannel_) {
        std::unique_ptr<AudioDecoder> decoder = makeDecoder(chunkDuration);
        for (const std::string& path : *files) {
            if (std::unique_ptr<CompressedAudioFile> file = makeAudioFile(path)) {
                decoder->addFileToDecodeList(std::move(file));
            }
        }
        group->addDecoder(std::move(decoder));
    }
    return true;
}

bool KorvalisSession::createVideDecoderForSession(std::unique_ptr<VideoDecoder>& decoder) {
    decoder.reset(new (std::nothrow) VideoDecoder);
    CHECK_ALLOCATION(decoder.get());
    latestKovFile_ = latestKovFile();
    for (const std::string& path : videoFiles_) {
        if (std::unique_ptr<CompressedVideoFile> file = makeVideoFile(path, true)) {
            decoder->addFileToDecodeList(std::move(file));
        }
    }
    return true;
}

bool KorvalisSession::updateAudioDecoderGroupForSession(AudioDecoderGroup& group) {
    for (size_t channel = group.numberOfDecodersIs(); channel < audioFilesPerChannel_.size();
         ++channel) {
        group.addDecoder(makeDecoder(kUpdateChunkDuration));
    }
    for (size_t channel = 0; channel < audioFilesPerChannel_.size(); ++channel) {
        const auto index = static_cast<unsigned>(channel);
        for (const std::string& path : *audioFilesPerChannel_[channel]) {
            if (group.fileNameIsInDecodeList(index, path)) {
                continue;
            }
            if (std::unique_ptr<CompressedAudioFile> file = makeAudioFile(path)) {
                group.addFileToDecodeList(index, std::move(file));
            }
        }
    }
    return true;
}

bool KorvalisSession::updateVideDecoderForSession(VideoDecoder& decoder) {
    for (const std::string& path : videoFiles_) {
        if (decoder.fileNameIsInDecodeList(path)) {
            continue;
        }
        if (std::unique_ptr<CompressedVideoFile> file = makeVideoFile(path, false)) {
            decoder.addFileToDecodeList(std::move(file));
        }
    }
    return true;
}

std::vector<std::string> KorvalisSession::audioFilesForChannel(uint32_t channel) const {
    if (channel >= audioFilesPerChannel_.size()) {
        return {};
    }
    return *audioFilesPerChannel_[channel];
}

std::string KorvalisSession::extensionOfPath(const std::string& path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? "" : name.substr(dot + 1);
}

std::string KorvalisSession::baseNameOfPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (slash == std::string::npos || dot == std::string::npos || dot < slash) {
        return "";
    }
    return path.substr(slash + 1, dot - slash - 1);
}

std::string KorvalisSession::fileNameOfPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(slash + 1);
}

std::string KorvalisSession::directoryOfPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}
