#pragma once

#include <memory>
#include <string>
#include <vector>

#include "SealerHost.h"
#include "TimeRange.h"

class AudioDecoderGroup;
class JexSession;
class KorvalisSession;
class VideoDecoder;

// The media set a sealer run works on: the open session built afresh from its recordings path,
// location and date (files enumerated, an audio decoder group of 0.144 s chunks, a video
// decoder), as playback builds it, and on demand its record. Made on the worker thread and used
// by that thread only.
class SealerSessionMedia {
public:
    static constexpr float kChunkDurationSeconds = 0.144f;

    // `recordingsPath` is made absolute and clean (transactions take such paths only).
    SealerSessionMedia(const std::string& recordingsPath, const std::string& locationName,
                       const SealerHost::Date& date);
    ~SealerSessionMedia();
    SealerSessionMedia(const SealerSessionMedia&) = delete;
    SealerSessionMedia& operator=(const SealerSessionMedia&) = delete;

    // ROOT/Recordings as an absolute path without "." or ".." components or a trailing "/".
    static std::string cleanRecordingsPath(const std::string& recordingsPath);

    KorvalisSession& session() { return *session_; }
    AudioDecoderGroup* audio() { return audio_.get(); }
    VideoDecoder* video() { return video_.get(); }
    const std::string& recordingsPath() const { return recordingsPath_; }

    // Reads the session's record from ROOT/Databases. False, with `error`, when it exists but
    // cannot be read; a session without a record has an empty one.
    bool loadRecord(std::string& error);
    JexSession* record() { return record_.get(); }

    // The sealed stretches of the session's time line (channel 0, gaps up to 5 s joined).
    std::vector<TimeRange> sealedRanges();

private:
    std::string recordingsPath_;
    std::string locationName_;
    SealerHost::Date date_;
    std::unique_ptr<KorvalisSession> session_;
    std::unique_ptr<AudioDecoderGroup> audio_;
    std::unique_ptr<VideoDecoder> video_;
    std::unique_ptr<JexSession> record_;
};
