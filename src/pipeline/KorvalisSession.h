#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

class AudioDecoderGroup;
class CompressedAudioFile;
class CompressedVideoFile;
class VideoDecoder;

// The media view of one recorded session (one location on one day): the session's media files
// sorted into one list per audio channel and one video list, and the decoders built from them,
// an AudioDecoderGroup with one AudioDecoder per channel and a VideoDecoder. A session still being
// recorded is enumerated again later and its decoders updated with the files that appeared;
// an update never removes a file or a decoder.
//
// Files are found through ArchiveSessionSet: the channel count, then per channel the files of the
// kinds "mp3" then "sealedAudio", and in channel 000 the files of the kinds "kov" then
// "sealedVideo". Within a list plain files precede sealed ones; the decoders order files by time.
// A file is made into a decoder's file by its extension (compared without regard to case):
// "mp3" a timed MP3 file, "sealedAudio" a sealed audio placeholder, "kov" a KOV file, "sealedVideo"
// a sealed video placeholder; files of other extensions are left out.
//
// Files that cannot take part are left out and reported once each (takeSkippedFiles): a timed MP3
// file whose name carries no start time or whose first frame cannot be read, a sealed file whose
// trailer cannot be read (it would place itself before 1970), and on creation a KOV file that
// fails its validity test. An MP3 or KOV file left out because it could not yet be read (a file
// the recorder has only just begun) is taken by a later update once it can be.
//
// Threads: the session has no lock; one thread at a time enumerates, creates and updates (the
// window's thread, later its refresh thread). The decoders guard themselves, so another thread
// may decode while an update adds files.
class KorvalisSession {
public:
    static constexpr const char* kMp3Kind = "mp3";
    static constexpr const char* kSealedAudioKind = "sealedAudio";
    static constexpr const char* kKovKind = "kov";
    static constexpr const char* kSealedVideoKind = "sealedVideo";
    // Chunk duration of decoders added for channels found after creation.
    static constexpr float kUpdateChunkDuration = 0.144f;

    // `recordingsPath` is the archive root's "Recordings" directory (no trailing "/").
    KorvalisSession(std::string recordingsPath, std::string locationName, uint32_t year,
                    uint32_t month, uint32_t day);
    ~KorvalisSession();
    KorvalisSession(const KorvalisSession&) = delete;
    KorvalisSession& operator=(const KorvalisSession&) = delete;

    // Rebuilds the channel count and the file lists from the archive. Always true.
    bool enumerateMediaFiles();
    // A new group (owned by the caller) with one decoder per channel list, decoder i for channel
    // i, each with its own MP3 codec (16000 Hz in and out, 32 kbit/s, quality 7) and reading
    // `chunkDuration` seconds per step, holding the channel's files. Always true.
    bool createAudioDecoderGroupForSession(std::unique_ptr<AudioDecoderGroup>& group,
                                           float chunkDuration);
    // A new video decoder (owned by the caller) holding the video files; KOV files that fail
    // their validity test are left out. Always true.
    bool createVideDecoderForSession(std::unique_ptr<VideoDecoder>& decoder);
    // Appends decoders (chunk duration 0.144 s) for channels found since the group was made, and
    // adds to each channel the files its decoder does not list yet. Always true.
    bool updateAudioDecoderGroupForSession(AudioDecoderGroup& group);
    // Adds the video files the decoder does not list yet; a new KOV file is taken without its
    // validity test (it may still be being written). Always true.
    bool updateVideDecoderForSession(VideoDecoder& decoder);

    // Files left out since the last call, each once in the session's life, as
    // "PATH: REASON" texts.
    std::vector<std::string> takeSkippedFiles();
    // Files that take part although damaged, each once in the session's life, as "PATH: REASON"
    // texts: on creation, a KOV file cut off inside a frame (its whole frames still play) that is
    // not the session's latest video file (which the recorder may still be writing).
    std::vector<std::string> takeDamagedFiles();

    const std::string& recordingsPath() const { return recordingsPath_; }
    const std::string& locationName() const { return locationName_; }
    uint32_t numberOfChannelsIs() const { return numberOfChannels_; }
    // Channel `channel`'s files as last enumerated (empty when out of range).
    std::vector<std::string> audioFilesForChannel(uint32_t channel) const;
    const std::vector<std::string>& videoFiles() const { return videoFiles_; }

    // Text after the last "." of the path's file name ("" when it has none).
    static std::string extensionOfPath(const std::string& path);
    // Text between the last "/" and the last "." ("" unless the path has a "/" and its file name
    // a ".").
    static std::string baseNameOfPath(const std::string& path);
    // Text after the last "/" ("" when there is none).
    static std::string fileNameOfPath(const std::string& path);
    // Text before the last "/", without it ("" when there is none).
    static std::string directoryOfPath(const std::string& path);

private:
    void clearFileLists();
    // The file object for an audio path by its extension; null (reported when it cannot take
    // part) for any other extension or an unusable file.
    std::unique_ptr<CompressedAudioFile> makeAudioFile(const std::string& path);
    // The same for a video path; `testKov` applies the KOV validity test.
    std::unique_ptr<CompressedVideoFile> makeVideoFile(const std::string& path, bool testKov);
    void skip(const std::string& path, const std::string& reason);
    void noteDamage(const std::string& path, const std::string& reason);
    // The KOV file of the list whose name carries the latest start time, or "".
    std::string latestKovFile() const;

    std::string recordingsPath_;
    std::string locationName_;
    uint32_t year_;
    uint32_t month_;
    uint32_t day_;
    uint32_t numberOfChannels_ = 0;
    const std::vector<std::string> audioFileKinds_{kMp3Kind, kSealedAudioKind};
    const std::vector<std::string> videoFileKinds_{kKovKind, kSealedVideoKind};
    std::vector<std::unique_ptr<std::vector<std::string>>> audioFilesPerChannel_;
    std::vector<std::string> videoFiles_;
    std::set<std::string> reportedFiles_;
    std::vector<std::string> skippedFiles_;
    std::vector<std::string> damagedFiles_;
    // The latest KOV file when the video decoder was created: it may still be growing.
    std::string latestKovFile_;
};
