#pragma once

#include <cstdint>
#include <string>

// The name scheme of the recorder's media files: PREFIX~SECONDS~MILLISECONDS~N1~N2~N3.EXT, with
// SECONDS the start time's whole epoch seconds as eight lower-case hex digits. Only the file-name
// component of a path is parsed, so archives may live under directories holding "~" or ".".
class MediaFileName {
public:
    MediaFileName() = default;
    // A name for a file that starts at `startTime` (epoch seconds); milliseconds are truncated.
    MediaFileName(std::string prefix, double startTime, int n1, int n2, int n3);

    // Reads the name of `path`. A name needs at least four "~" followed by a ".", and all five
    // numbers must convert; N3 is 0 when the name has only four "~". False (and `name`
    // untouched) otherwise.
    static bool parse(const std::string& path, MediaFileName& name);

    // SECONDS + MILLISECONDS x 0.001 (the single-precision factor, summed in extended precision).
    double startTime() const;
    // "PREFIX~SECONDS~MILLISECONDS~N1~N2~N3." + extension.
    std::string fileName(const std::string& extension) const;
    // directory + "/" + fileName(extension).
    std::string pathIn(const std::string& directory, const std::string& extension) const;
    // The same prefix and numbers with another start time.
    MediaFileName withStartTime(double startTime) const;
    // The same, with the start time rounded to the nearest millisecond: the name of a part that
    // begins at a frame whose time is known more finely than the name can say.
    MediaFileName withNearestStartTime(double startTime) const;

    const std::string& prefix() const { return prefix_; }
    uint32_t seconds() const { return seconds_; }
    uint32_t milliseconds() const { return milliseconds_; }
    int n1() const { return n1_; }
    int n2() const { return n2_; }
    int n3() const { return n3_; }
    // Everything after the "." that ends the numbers ("mp3", "sealedAudio"); empty when built.
    const std::string& extension() const { return extension_; }

    // The file-name component of a path (after the last "/").
    static std::string fileNameOf(const std::string& path);
    // The directory part of a path (before the last "/"; "." when there is none).
    static std::string directoryOf(const std::string& path);

private:
    std::string prefix_;
    uint32_t seconds_ = 0;
    uint32_t milliseconds_ = 0;
    int n1_ = 0;
    int n2_ = 0;
    int n3_ = 0;
    std::string extension_;
};
