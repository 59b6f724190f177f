#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "CompressedAudioFile.h"
#include "MediaFileCheckpoint.h"
#include "TimeRange.h"

class AudioCompressor;
class DecodedAudioChunk;
class EncodedAudioChunk;
class TransactionId;

// One audio channel of a session as one continuous stream: the channel's audio files (timed MP3
// files or sealed placeholders) kept in order of start time, read one after the other as encoded
// chunks of a fixed duration and decoded to 16-bit PCM by the codec. Positioned by wall-clock
// time, tied to another channel's decoder, checkpointed, and refreshed while a recording grows.
//
// Threads: every public operation holds the decoder's lock for its whole body, so the feeder
// thread may read and position the decoder while the refresh thread adds and refreshes files.
// Only the current file holds an open descriptor: the decoder closes a file when it moves away
// from it, and refreshAllFileInformation closes all others.
class AudioDecoder {
public:
    // `codec` is not owned and must outlive the decoder (fatal check when null). `chunkDuration`
    // is the seconds of audio read from a file per step (the session media set uses 0.144).
    AudioDecoder(AudioCompressor* codec, float chunkDuration);
    // The same with a codec the decoder owns.
    AudioDecoder(std::unique_ptr<AudioCompressor> codec, float chunkDuration);
    virtual ~AudioDecoder();

    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Takes the file into the list in order of start time (after files that start at the same
    // time); until the decoder is first read or positioned, the earliest file is current. A file
    // whose name is already listed is destroyed and false returned. The file is not opened. Fatal
    // check when `file` is null.
    bool addFileToDecodeList(std::unique_ptr<CompressedAudioFile> file);
    // True when a listed file has exactly this name.
    bool fileNameIsInDecodeList(const std::string& fileName);
    unsigned numberOfFilesIs();
    // The listed files in order; the decoder keeps ownership.
    std::vector<CompressedAudioFile*> filesInDecodeListIs();

    // The next chunk of encoded audio (owned by the caller), from the current file or, when it has
    // no more, from the following files. `endOfData` (required) tells that the last file has
    // ended. A non-null `id` is copied into the chunk.
    std::unique_ptr<EncodedAudioChunk> getNextEncodedChunk(bool* endOfData, TransactionId* id);
    // The next decoded chunk (owned by the caller), or null when nothing could be decoded. At the
    // end of the last file the audio the codec still holds is handed out too, in chunks no longer
    // than the usual ones. `endOfData` (required) is set only once nothing follows: with the last
    // of that audio, or with null; never while the codec still holds audio.
    std::unique_ptr<DecodedAudioChunk> getNextDecodedChunk(bool* endOfData);

    // Positions the file that holds epoch time `t` at `t`. With tolerance exactly -1.0 a time
    // before a file (in a gap, or before the first file) moves to that file's start. False when no
    // file accepts the time.
    bool setPositionByWallClockTime(double t, float tolerance);
    // Makes current the own file that starts less than 1 s from the start of `master`'s current
    // file and reads it in step with that file. False for this decoder itself, or when no file
    // starts close enough. Fatal check when the master has no current file.
    bool slaveToAnotherDecoder(AudioDecoder* master);
    // Sum of the listed files' durations (seconds).
    double totalPlayTimeIs();
    // Re-reads files that started less than `maximumAgeSeconds` ago (a growing recording) and
    // closes every file other than the current one. True when nothing failed.
    bool refreshAllFileInformation(double maximumAgeSeconds);
    // Appends the time ranges the files cover: one per file, or with `merge` one per run of files
    // of the same kind (plain or sealed) whose gaps are at most `maximumGap` seconds. Returns the
    // number of ranges appended.
    unsigned listTimeRanges(std::vector<TimeRange>& out, bool merge, float maximumGap);
    // Appends, in list order, every file for which overlapsTimeRange(t1, t2, wholeFile) holds; the
    // decoder keeps ownership.
    void getAllFilesInTimeRange(double t1, double t2, std::vector<CompressedAudioFile*>& out,
                                bool wholeFile);

    // The current file's name and read position (owned by the caller); null with an empty list or
    // when the current file keeps no position (a sealed placeholder).
    virtual std::unique_ptr<MediaFileCheckpoint> generateCheckpoint();
    // Restores a checkpoint of generateCheckpoint (fatal check for any other kind): the file of
    // that name takes the stored position and becomes current. False when no file took it.
    virtual bool restoreCheckpoint(const MediaFileCheckpoint* checkpoint);

private:
    struct Entry {
        std::unique_ptr<CompressedAudioFile> file;
        double startTime;
    };

    void resetCodecLocked();
    void makeCurrentLocked(size_t index);
    std::unique_ptr<EncodedAudioChunk> nextEncodedChunkLocked(bool* endOfData, TransactionId* id);
    std::unique_ptr<DecodedAudioChunk> nextDrainedChunkLocked(bool* endOfData);
    CompressedAudioFile* currentFileLocked() const;

    std::vector<Entry> files_;
    size_t current_ = 0;
    std::unordered_set<std::string> fileNames_;
    mutable std::mutex lock_;
    std::unique_ptr<AudioCompressor> ownedCodec_;
    AudioCompressor* codec_;
    float chunkDuration_;
    unsigned primedChunks_ = 0;
    uint32_t lastChunkSamples_ = 0;
    // Audio drained from the codec at the end of the data, handed out in chunks.
    std::unique_ptr<DecodedAudioChunk> drained_;
    uint32_t drainedSamplesHandedOut_ = 0;
    bool drainAttempted_ = false;
    // Until the decoder is first read or positioned, the earliest file is the current one.
    bool started_ = false;
};
