#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class AtomicFileWriter;

// A sealed media file: one media file encrypted with AES-CFB (full-block feedback, a fresh random
// IV per file) under the archive's sealing key, followed by a 0x00 separator and an XML trailer
// that records the original location, the wall-clock span, the cipher and two SHA-256 digests.
//
// Layout: ciphertext (N bytes, N = "OriginalFileLength"; CFB adds no padding), separator 0x00
// (1 byte), trailer (H bytes of XML without declaration, indentation or line breaks, ending
// with '>'). The trailer length T = H + 1; the ciphertext is the first (file size - T) bytes.
//
// The object holds no open file between calls. Every public operation holds the object's mutex,
// so one object may be shared between threads. encrypt and decrypt stream the data once in
// fixed-size blocks, with a worker thread computing digests and writing while the calling thread
// reads and runs the cipher; memory stays flat whatever the file's size.
class KorvalisEncryptedMediaFile {
public:
    static constexpr const char* kSealedAudioExtension = "sealedAudio";
    static constexpr const char* kSealedVideoExtension = "sealedVideo";
    // Readers look for the trailer in the last 10240 bytes; a trailer text is at most one byte
    // shorter (the separator precedes it).
    static constexpr size_t kTrailerSearchBytes = 10240;
    static constexpr size_t kMaximumTrailerTextBytes = kTrailerSearchBytes - 1;
    static constexpr size_t kIvBytes = 16;

    // An empty object, to be set up for encrypt: strings empty, times -1.0, lengths 0.
    KorvalisEncryptedMediaFile();
    // Opens the sealed file directory + "/" + name and reads its trailer. `success` is true only
    // when the trailer was found and parsed; otherwise the object keeps the location and
    // whatever was parsed before the failure.
    KorvalisEncryptedMediaFile(const std::string& encryptedDirectory,
                               const std::string& encryptedFileName, bool& success);
    ~KorvalisEncryptedMediaFile();

    KorvalisEncryptedMediaFile(const KorvalisEncryptedMediaFile&) = delete;
    KorvalisEncryptedMediaFile& operator=(const KorvalisEncryptedMediaFile&) = delete;

    // Where the sealed file is (written by encrypt, read by decrypt).
    void setEncryptedLocation(const std::string& directory, const std::string& name);
    // The location recorded in the trailer: where decrypt restores to by default.
    void setOriginalLocation(const std::string& path, const std::string& name);
    // Where encrypt reads the clear file from.
    void setSourceLocation(const std::string& directory, const std::string& name);
    // The covered wall-clock span, epoch seconds (UTC); kept to the millisecond in the trailer.
    void setStartTime(double seconds);
    void setEndTime(double seconds);

    std::string getEncryptedDirectory() const;
    std::string getEncryptedFileName() const;
    std::string getOriginalFilePath() const;
    std::string getOriginalFileName() const;
    std::string getSourceDirectory() const;
    std::string getSourceFileName() const;
    double getStartTime() const;
    double getEndTime() const;
    // End time minus start time, seconds.
    double getDuration() const;

    // The trailer's remaining fields, as last read or written.
    int64_t getOriginalFileLength() const;
    std::string getOriginalFileHash() const;
    std::string getEncryptedDataHash() const;
    std::string getOriginalHashType() const;
    std::string getEncryptedHashType() const;
    std::string getCipher() const;
    std::string getMode() const;
    std::string getIv() const;
    int getKeyLength() const;
    // Separator plus trailer text, bytes; 0 until a trailer was read or written.
    int getTrailerLength() const;

    // Seals the source file into outputDirectory + "/" + outputName (empty: the encrypted
    // directory or name) with the AES key `keyBytes` of `keyLength` bytes (16, 24 or 32).
    // False, and nothing written, when the locations or span are not set, the span is not one a
    // recording can have, a name holds control characters, the source cannot be read, the key
    // length is wrong or the trailer would not read back as written. The sealed file appears
    // under its name only when complete (see AtomicFileWriter), with the permissions the umask
    // leaves and the source file has (never execute bits). Afterwards the getters report the
    // written trailer.
    bool encrypt(const uint8_t* keyBytes, int keyLength, const std::string& outputDirectory,
                 const std::string& outputName);

    // Restores the clear file into outputDirectory + "/" + outputName (empty: the recorded
    // original file path or name). True only when both recomputed digests equal the recorded
    // ones. The clear file is written beside its final name and renamed only then, so a false
    // result leaves nothing behind; an existing file of that name is replaced only on success.
    // Refuses (false, nothing written) a trailer that is incomplete, names another cipher, a
    // key length other than `keyLength`, or an original file name that is not a plain file name
    // (empty, ".", "..", or holding "/" or control characters), and a file whose ciphertext
    // length differs from the recorded length. The restored file gets the permissions the umask
    // leaves and the sealed file has (never execute bits).
    bool decrypt(const uint8_t* keyBytes, int keyLength, const std::string& outputDirectory,
                 const std::string& outputName);

    // Decrypts without writing anything and checks both digests; the same refusals as decrypt.
    bool verify(const uint8_t* keyBytes, int keyLength);

    // Why the last encrypt, decrypt, verify or trailer read failed, in words ("" after success).
    std::string getErrorText() const;

    // With true (the default), encrypt and decrypt flush the written file and its directory to
    // disk before they return, so a completed call survives a power loss.
    void setSyncToDisk(bool sync);
    // With false, encrypt and decrypt never replace a file (nor anything else, such as a
    // symbolic link) that has the output name when they are ready to publish theirs: they fail
    // and outputExists() is true. True by default.
    void setReplaceExisting(bool replace);
    // True when the last encrypt or decrypt failed because its output name was taken.
    bool outputExists() const;
    // Temporary files of the output that an interrupted run had left and the last encrypt or
    // decrypt removed, by path.
    std::vector<std::string> getRemovedTemporaries() const;

    // Reads the trailer text of the file at `path`; sets the trailer length. False when the file
    // cannot be read or holds no trailer.
    bool readTrailer(const std::string& path, std::string& xmlText);
    // Parses trailer text into the object's fields. False when an element or attribute is
    // missing, a number does not read, the original name or path holds control characters or a
    // time is not one a recording can have (SealedFormatText::isRecordingTime).
    bool parseHeader(const std::string& xmlText);

    // Finds the trailer in the last bytes of a file (`tail`, at most kTrailerSearchBytes): the
    // last byte must be '>', and the text runs from after the last 0x00 byte to the end.
    static bool findTrailer(const uint8_t* tail, size_t size, std::string& xmlText);

    // The sealed file name for a media file name: ".mp3" becomes ".sealedAudio", ".kov"
    // ".sealedVideo" (either case); "" for any other extension.
    static std::string sealedFileNameFor(const std::string& mediaFileName);

private:
    std::string buildTrailer(int64_t originalLength, const std::string& ivHex, int keyLength,
                             const std::string& originalHash,
                             const std::string& encryptedHash) const;
    bool trailerReadsBack(const std::string& trailerText);
    bool runDecryption(const uint8_t* keyBytes, int keyLength, const std::string* outputDirectory,
                       const std::string* outputName);
    bool checkBeforeDecryption(int keyLength);
    // Sets up the writer of an output file made from the file of mode `sourceMode`, and opens it.
    bool openOutput(AtomicFileWriter& output, mode_t sourceMode);
    bool publishOutput(AtomicFileWriter& output);
    bool fail(const std::string& text);

    mutable std::recursive_mutex mutex_;
    std::string encryptedDirectory_;
    std::string encryptedFileName_;
    std::string originalFilePath_;
    std::string originalFileName_;
    std::string sourceDirectory_;
    std::string sourceFileName_;
    // 64 bits: media files over 2 GiB keep their true length.
    int64_t originalFileLength_ = 0;
    double startTime_ = -1.0;
    double endTime_ = -1.0;
    std::string originalFileHash_;
    std::string encryptedDataHash_;
    std::string originalHashType_;
    std::string encryptedHashType_;
    std::string cipher_;
    std::string mode_;
    std::string iv_;
    int keyLength_ = 0;
    int trailerLength_ = 0;
    std::string errorText_;
    bool syncToDisk_ = true;
    bool replaceExisting_ = true;
    bool outputExists_ = false;
    std::vector<std::string> removedTemporaries_;
};
