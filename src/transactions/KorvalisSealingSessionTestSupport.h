#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TemporaryDirectory.h"

class AudioDecoderGroup;
class KorvalisSession;
class KorvalisUserSealingKey;
class VideoDecoder;

// Helpers of the sealing transaction's tests: a scratch archive holding one session of timed MP3
// channels and KOV video, the session's media set as the sealer builds it, user keys, and the
// views the tests check a session by (which file covers which second, the bytes and frames of
// the media).
class KorvalisSealingSessionTestSupport {
public:
    static constexpr const char* kLocation = "COURT1";
    // 2010-03-15 09:00:00 UTC.
    static constexpr double kSessionStart = 1268643600.0;
    static constexpr const char* kPassphrase = "correct horse";

    KorvalisSealingSessionTestSupport();
    KorvalisSealingSessionTestSupport(const KorvalisSealingSessionTestSupport&) = delete;
    KorvalisSealingSessionTestSupport& operator=(const KorvalisSealingSessionTestSupport&) = delete;

    const std::string& root() const { return scratch_.path(); }
    std::string recordingsPath() const { return root() + "/Recordings"; }
    // ROOT/Recordings/NNN/20100315 (made when needed).
    std::string channelDirectory(int channel) const;

    // `files` consecutive files of `fileSeconds` per channel from kSessionStart, each channel
    // with its own tone, and KOV files with the same boundaries when `video`. False on failure.
    bool writeSession(int channels, int files, double fileSeconds, bool video);

    // Copies everything below `otherRoot` into this root (a session written once, used often).
    bool copyArchiveFrom(const std::string& otherRoot);

    // The media set of the session as the sealer's window builds it.
    struct MediaSet {
        std::unique_ptr<KorvalisSession> session;
        std::unique_ptr<AudioDecoderGroup> audio;
        std::unique_ptr<VideoDecoder> video;
        MediaSet();
        ~MediaSet();
        MediaSet(MediaSet&&) noexcept;
    };
    MediaSet openSession() const;

    // A user key of a new random master key, uncovered with kPassphrase.
    static std::unique_ptr<KorvalisUserSealingKey> makeUserKey();
    // Writes `key`'s key file at `path`.
    static bool writeUserKeyFile(const KorvalisUserSealingKey& key, const std::string& path);

    // One media file of the session as the decoders place it.
    struct Span {
        double start = 0.0;
        double end = 0.0;
        bool sealed = false;
        std::string path;
    };
    // The files of channel `channel` (-1: the video files), sorted by start time.
    std::vector<Span> spans(int channel) const;
    // Why the spans of `channel` do not cover every second of [from, to) exactly once, with the
    // seconds of [sealedFrom, sealedTo) sealed and the others clear ("" when they do).
    std::string checkCoverage(int channel, double from, double to, double sealedFrom,
                              double sealedTo) const;

    // The bytes of the clear files of `channel`, concatenated in time order.
    std::string concatenatedAudio(int channel) const;
    // Every frame of the clear video files in time order: its time and compressed bytes.
    std::vector<std::pair<double, std::string>> videoFrames() const;

    // Every file below `directory` with its bytes.
    static std::map<std::string, std::string> snapshot(const std::string& directory);
    static std::string readFile(const std::string& path);

private:
    TemporaryDirectory scratch_;
};
