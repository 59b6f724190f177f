#include "SessionRangeCopier.h"

#include <cstdio>

#include "AudioDecoder.h"
#include "AudioDecoderGroup.h"
#include "CompressedAudioFile.h"
#include "CompressedVideoFile.h"
#include "FileSystem.h"
#include "KorvalisSession.h"
#include "VideoDecoder.h"

namespace {

// The four outcomes of the split decision.
enum SplitCase { kWholeFile, kFirstPortion, kFinalPortion, kMiddlePortion };

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

SessionRangeCopier::SessionRangeCopier(FileSystem& fileSystem, AudioDecoderGroup* audioDecoderGroup,
                                       VideoDecoder* videoDecoder, Date sessionDate,
                                       std::mutex* sessionMutex)
    : fileSystem_(fileSystem),
      audioDecoderGroup_(audioDecoderGroup),
      videoDecoder_(videoDecoder),
      date_(sessionDate),
      sessionMutex_(sessionMutex != nullptr ? sessionMutex : &ownMutex_) {}

SessionRangeCopier::~SessionRangeCopier() = default;

std::string SessionRangeCopier::dayDirectory(const std::string& targetRoot, unsigned channel,
                                             Date date) {
    char text[64];
    std::snprintf(text, sizeof text, "/Recordings/%03u/%04d%02d%02d", channel, date.year,
                  date.month, date.day);
    return targetRoot + text;
}

bool SessionRangeCopier::dateOfSession(const KorvalisSession& session, Date& date) {
    std::string file;
    if (!session.videoFiles().empty()) {
        file = session.videoFiles().front();
    }
    for (uint32_t channel = 0; file.empty() && channel < session.numberOfChannelsIs(); ++channel) {
        const std::vector<std::string> files = session.audioFilesForChannel(channel);
        if (!files.empty()) {
            file = files.front();
        }
    }
    const std::string day = KorvalisSession::fileNameOfPath(KorvalisSession::directoryOfPath(file));
    if (day.size() != 8 || day.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const Date found{std::stoi(day.substr(0, 4)), std::stoi(day.substr(4, 2)),
                     std::stoi(day.substr(6, 2))};
    if (found.month < 1 || found.month > 12 || found.day < 1 || found.day > 31) {
        return false;
    }
    date = found;
    return true;
}

void SessionRangeCopier::message(const std::string& text) {
    if (message_) {
        message_(text);
    }
}

void SessionRangeCopier::progress(const char* text, int current, int total) {
    if (progress_) {
        progress_(text, current, total);
    }
}

void SessionRangeCopier::makeDirectory(const std::string& path, bool reportFailure) {
    // An existing directory is no obstacle.
    if (!fileSystem_.createDirectory(path) && reportFailure) {
        message("Error!  Could not create directory.");
    }
}

bool SessionRangeCopier::copyFile(const std::string& source, const std::string& destination,
                                  KovWriteCallback writer, void* writerContext) {
    if (source == destination) {
        return true;
    }
    if (writer == nullptr) {
        return fileSystem_.copyFile(source, destination);
    }
    bool result = true;
    const bool read =
        fileSystem_.readFileInPieces(source, kWriterChunkBytes, [&](std::string_view piece) {
            result = writer(writerContext, 0.0, reinterpret_cast<const uint8_t*>(piece.data()),
                            static_cast<uint32_t>(piece.size()), &destination, false) &&
                     result;
            return true;
        });
    if (!read) {
        return false;
    }
    return writer(writerContext, 0.0, nullptr, 0, &destination, true) && result;
}

bool SessionRangeCopier::copy(double rangeStart, double rangeEnd, const std::string& targetRoot,
                              KovWriteCallback writer, void* writerContext) {
    message("Starting copy process ...");
    std::lock_guard<std::mutex> lock(*sessionMutex_);
    message("Creating target directory structure ...");
    char day[16];
    std::snprintf(day, sizeof day, "%04d%02d%02d", date_.year, date_.month, date_.day);
    for (const std::string& path :
         {targetRoot, targetRoot + "/Recordings", targetRoot + "/Recordings/000",
          targetRoot + "/Recordings/000/" + day, targetRoot + "/Databases"}) {
        message(path);
        makeDirectory(path, true);
    }

    message("Processing video files ...");
    bool result = copyVideoFiles(rangeStart, rangeEnd, targetRoot, writer, writerContext);
    if (!result) {
        message("Video copy FAILED!");
        return false;
    }
    message("Processing audio files ...");
    const unsigned channels =
        audioDecoderGroup_ != nullptr ? audioDecoderGroup_->numberOfDecodersIs() : 0;
    for (unsigned channel = 0; channel < channels && result; ++channel) {
        message("Processing audio channel " + std::to_string(channel) + " ...");
        result = copyAudioFiles(rangeStart, rangeEnd, targetRoot, channel, writer, writerContext);
    }
    if (!result) {
        message("Audio copy FAILED!");
    }
    return result;
}

int SessionRangeCopier::splitCase(double fileStart, double fileEnd, double rangeStart,
                                  double rangeEnd) {
    const bool startsInside = fileStart >= rangeStart - kSplitToleranceSeconds;
    const bool endsInside = fileEnd <= rangeEnd + kSplitToleranceSeconds;
    if (startsInside && endsInside) {
        message("     - Entire file is in range, no split required.");
        return kWholeFile;
    }
    if (startsInside) {
        message("     - First portion of file is in range, single split required.");
        return kFirstPortion;
    }
    if (endsInside) {
        message("     - Final portion of file is in range, single split required.");
        return kFinalPortion;
    }
    message("     - Range is entirely within file, double split required.");
    return kMiddlePortion;
}

bool SessionRangeCopier::splitVideoFile(CompressedVideoFile& file, double rangeStart,
                                        double rangeEnd, const std::string& destination,
                                        KovWriteCallback writer, void* writerContext,
                                        std::vector<Part>& inRange,
                                        std::vector<std::string>& outside) {
    const std::string& path = file.getFileName();
    message("   Processing any splits for file : " + quoted(path) + " ...");
    std::unique_ptr<CompressedVideoFile> parts[3];
    bool split = true;
    CompressedVideoFile* kept = nullptr;
    switch (splitCase(file.getStartTime(), file.getEndTime(), rangeStart, rangeEnd)) {
        case kWholeFile:
            inRange.push_back(
                {KorvalisSession::directoryOfPath(path), KorvalisSession::fileNameOfPath(path)});
            return true;
        case kFirstPortion:
            split = file.copyAndSplitAtEpochTime(rangeEnd, destination, parts[0], parts[1],
                                                 kCutToleranceSeconds, writer, writerContext,
                                                 CompressedVideoFile::kSplitFirstPartOnly);
            kept = parts[0].get();
            break;
        case kFinalPortion:
            split = file.copyAndSplitAtEpochTime(rangeStart, destination, parts[0], parts[1],
                                                 kCutToleranceSeconds, writer, writerContext,
                                                 CompressedVideoFile::kSplitLastPartOnly);
            kept = parts[1].get();
            break;
        default:
            split =
                file.copyAndSplitAtEpochTime(rangeStart, rangeEnd, destination, parts[0], parts[1],
                                             parts[2], kCutToleranceSeconds, writer, writerContext,
                                             CompressedVideoFile::kSplitMiddlePartOnly);
            kept = parts[1].get();
            break;
    }
    if (!split) {
        message("   Splitting for file FAILED! " + quoted(path));
        return false;
    }
    for (std::unique_ptr<CompressedVideoFile>& part : parts) {
        if (!part) {
            continue;
        }
        part->close();
        const std::string& partPath = part->getFileName();
        if (part.get() == kept) {
            inRange.push_back({KorvalisSession::directoryOfPath(partPath),
                               KorvalisSession::fileNameOfPath(partPath)});
        } else {
            outside.push_back(partPath);
        }
    }
    return true;
}

bool SessionRangeCopier::splitAudioFile(CompressedAudioFile& file, double rangeStart,
                                        double rangeEnd, const std::string& destination,
                                        KovWriteCallback writer, void* writerContext,
                                        std::vector<Part>& inRange,
                                        std::vector<std::string>& outside) {
    const std::string& path = file.fileName();
    message("   Processing splits for file : " + quoted(path) + " ...");
    std::unique_ptr<CompressedAudioFile> parts[3];
    bool split = true;
    CompressedAudioFile* kept = nullptr;
    switch (splitCase(file.getStartTime(), file.getEndTime(), rangeStart, rangeEnd)) {
        case kWholeFile:
            inRange.push_back(
                {KorvalisSession::directoryOfPath(path), KorvalisSession::fileNameOfPath(path)});
            return true;
        case kFirstPortion:
            split = file.copyAndSplitAtEpochTime(rangeEnd, destination, parts[0], parts[1],
                                                 kCutToleranceSeconds, writer, writerContext,
                                                 CompressedVideoFile::kSplitFirstPartOnly);
            kept = parts[0].get();
            break;
        case kFinalPortion:
            split = file.copyAndSplitAtEpochTime(rangeStart, destination, parts[0], parts[1],
                                                 kCutToleranceSeconds, writer, writerContext,
                                                 CompressedVideoFile::kSplitLastPartOnly);
            kept = parts[1].get();
            break;
        default:
            split =
                file.copyAndSplitAtEpochTime(rangeStart, rangeEnd, destination, parts[0], parts[1],
                                             parts[2], kCutToleranceSeconds, writer, writerContext,
                                             CompressedVideoFile::kSplitMiddlePartOnly);
            kept = parts[1].get();
            break;
    }
    if (!split) {
        message("FAILED! " + file.getErrorText());
        return false;
    }
    for (std::unique_ptr<CompressedAudioFile>& part : parts) {
        if (!part) {
            continue;
        }
        part->close();
        const std::string& partPath = part->fileName();
        if (part.get() == kept) {
            inRange.push_back({KorvalisSession::directoryOfPath(partPath),
                               KorvalisSession::fileNameOfPath(partPath)});
        } else {
            outside.push_back(partPath);
        }
    }
    return true;
}

bool SessionRangeCopier::finishCopies(const std::vector<Part>& inRange,
                                      const std::vector<std::string>& outside,
                                      const std::string& destination, const char* copyingText,
                                      KovWriteCallback writer, void* writerContext) {
    if (writer == nullptr) {
        progress("Deleting portion of split files outside selected range...", -1, -1);
        for (const std::string& path : outside) {
            fileSystem_.removeFile(path);
        }
    }
    progress(copyingText, -1, -1);
    bool result = true;
    const int total = static_cast<int>(inRange.size());
    int done = 0;
    for (const Part& part : inRange) {
        message("   Copying file : " + quoted(part.fileName));
        const std::string source = part.directory + "/" + part.fileName;
        const std::string target = destination + "/" + part.fileName;
        if (!copyFile(source, target, writer, writerContext) && source != target) {
            result = false;
            message("   FAILED!");
        }
        progress(nullptr, ++done, total);
    }
    return result;
}

bool SessionRangeCopier::copyVideoFiles(double rangeStart, double rangeEnd,
                                        const std::string& targetRoot, KovWriteCallback writer,
                                        void* writerContext) {
    const std::string destination = dayDirectory(targetRoot, 0, date_);
    std::vector<CompressedVideoFile*> files;
    if (videoDecoder_ != nullptr) {
        videoDecoder_->getAllFilesInTimeRange(rangeStart, rangeEnd, files, false);
    }
    std::erase_if(files, [](CompressedVideoFile* file) { return !file->isAvailable(); });
    progress("Splitting video files ...", -1, -1);
    std::vector<Part> inRange;
    std::vector<std::string> outside;
    for (CompressedVideoFile* file : files) {
        if (!splitVideoFile(*file, rangeStart, rangeEnd, destination, writer, writerContext,
                            inRange, outside)) {
            return false;
        }
    }
    return finishCopies(inRange, outside, destination, "Copying video files ...", writer,
                        writerContext);
}

bool SessionRangeCopier::copyAudioFiles(double rangeStart, double rangeEnd,
                                        const std::string& targetRoot, unsigned channel,
                                        KovWriteCallback writer, void* writerContext) {
    AudioDecoder* decoder =
        audioDecoderGroup_ != nullptr ? audioDecoderGroup_->decoderForChannel(channel) : nullptr;
    if (decoder == nullptr) {
        return false;
    }
    char channelDirectory[32];
    std::snprintf(channelDirectory, sizeof channelDirectory, "/Recordings/%03u", channel);
    const std::string destination = dayDirectory(targetRoot, channel, date_);
    makeDirectory(targetRoot + channelDirectory, false);
    makeDirectory(destination, false);

    std::vector<CompressedAudioFile*> files;
    decoder->getAllFilesInTimeRange(rangeStart, rangeEnd, files, false);
    std::erase_if(files, [](CompressedAudioFile* file) { return !file->isAvailable(); });
    progress("Splitting audio files ...", -1, -1);
    std::vector<Part> inRange;
    std::vector<std::string> outside;
    for (CompressedAudioFile* file : files) {
        if (!splitAudioFile(*file, rangeStart, rangeEnd, destination, writer, writerContext,
                            inRange, outside)) {
            return false;
        }
    }
    return finishCopies(inRange, outside, destination, "Copying audio files ...", writer,
                        writerContext);
}
