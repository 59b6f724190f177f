#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "AudioDecoderGroup.h"
#include "VideoDecoder.h"
#include "VideoSegmentFrame.h"

// A session's audio and video handed out together: per call a few sets of per-channel decoded
// chunks and every frame whose time falls within the audio just produced (plus the first later
// frame). When the video has drifted from the audio by the auto-seek tolerance or more, the video
// is sought to the audio.
//
// Threads: the feeder thread calls everything; each operation holds the lock for its whole body.
// The refresh thread reaches the owned decoders through audioDecoderGroupIs and videoDecoderIs;
// they lock themselves.
class InterleavedAudioVideoDecoder {
public:
    // Owns both; `videoDecoder` may be null (a session without video). Fatal check when
    // `audioDecoderGroup` is null. The main window passes a tolerance of 2.0 seconds.
    InterleavedAudioVideoDecoder(std::unique_ptr<AudioDecoderGroup> audioDecoderGroup,
                                 std::unique_ptr<VideoDecoder> videoDecoder,
                                 float autoSeekTolerance);
    virtual ~InterleavedAudioVideoDecoder();

    InterleavedAudioVideoDecoder(const InterleavedAudioVideoDecoder&) = delete;
    InterleavedAudioVideoDecoder& operator=(const InterleavedAudioVideoDecoder&) = delete;

    // Positions the audio channels, then (unless `audioOnly`) the video, which uses a tolerance of
    // 1.0 when `tolerance` is negative. The audio's answer.
    bool setPositionByWallClockTime(double t, float tolerance, bool audioOnly);
    // Appends up to `count` chunk sets to `audio` and, unless `audioOnly`, the frames that go with
    // them to `frames` (the caller owns everything). True when at least one set was produced.
    bool getNextDecodedChunksAndFrames(unsigned count, std::vector<DecodedChunkSet>& audio,
                                       std::vector<std::unique_ptr<VideoSegmentFrame>>& frames,
                                       bool audioOnly);

    // The owned decoders (the video decoder may be null); they stay owned here.
    AudioDecoderGroup* audioDecoderGroupIs() const { return audioDecoderGroup_.get(); }
    VideoDecoder* videoDecoderIs() const { return videoDecoder_.get(); }
    int autoSeekAttemptsIs();
    int successfulAutoSeeksIs();

private:
    std::mutex lock_;
    std::unique_ptr<VideoDecoder> videoDecoder_;
    std::unique_ptr<AudioDecoderGroup> audioDecoderGroup_;
    float autoSeekTolerance_;
    int autoSeekAttempts_ = 0;
    int successfulAutoSeeks_ = 0;
};
