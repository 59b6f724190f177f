#include "SealerSessionMedia.h"

#include <filesystem>

#include "AudioDecoderGroup.h"
#include "JexSession.h"
#include "KorvalisSession.h"
#include "VideoDecoder.h"

SealerSessionMedia::SealerSessionMedia(const std::string& recordingsPath,
                                       const std::string& locationName,
                                       const SealerHost::Date& date)
    : recordingsPath_(cleanRecordingsPath(recordingsPath)),
      locationName_(locationName),
      date_(date),
      session_(std::make_unique<KorvalisSession>(
          recordingsPath_, locationName, static_cast<uint32_t>(date.year),
          static_cast<uint32_t>(date.month), static_cast<uint32_t>(date.day))) {
    session_->enumerateMediaFiles();
    session_->createAudioDecoderGroupForSession(audio_, kChunkDurationSeconds);
    session_->createVideDecoderForSession(video_);
}

SealerSessionMedia::~SealerSessionMedia() = default;

std::string SealerSessionMedia::cleanRecordingsPath(const std::string& recordingsPath) {
    std::error_code code;
    std::string path = std::filesystem::absolute(recordingsPath, code).lexically_normal().string();
    if (code) {
        path = recordingsPath;
    }
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

bool SealerSessionMedia::loadRecord(std::string& error) {
    record_ = std::make_unique<JexSession>(locationName_, date_.year, date_.month, date_.day);
    const std::string databases = KorvalisSession::directoryOfPath(recordingsPath_) + "/Databases";
    const JexSession::RecordState state = record_->load(databases);
    if (state == JexSession::RecordState::kUnreadable ||
        state == JexSession::RecordState::kMalformed) {
        error = record_->lastError();
        return false;
    }
    return true;
}

std::vector<TimeRange> SealerSessionMedia::sealedRanges() {
    std::vector<TimeRange> ranges;
    if (audio_ == nullptr) {
        return ranges;
    }
    std::vector<TimeRange> all;
    audio_->listTimeRangesForChannel(0, all);
    for (const TimeRange& range : all) {
        if (range.sealed) {
            ranges.push_back(range);
        }
    }
    return ranges;
}
