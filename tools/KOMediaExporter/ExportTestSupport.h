#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Helpers of the exporter's tests: programs run as a user runs them, exported files examined
// with ffprobe and decoded with ffmpeg (the players' own libraries, independent of the writer).
class ExportTestSupport {
public:
    struct ProgramRun {
        int status = -1;  // exit status; -1 when killed by a signal
        std::string out;
        std::string err;
    };
    // One stream of a file as ffprobe sees it.
    struct Stream {
        std::string type;  // "audio", "video"
        std::string codec;
        double framesPerSecond = 0.0;  // r_frame_rate, video only
        int sampleRate = 0;            // audio only
        int width = 0;
        int height = 0;
        double duration = 0.0;  // -1 when ffprobe gives none
    };
    struct Probe {
        bool readable = false;
        std::string formatName;
        double duration = 0.0;
        std::vector<Stream> streams;
        int countOf(const std::string& type) const;
        const Stream* first(const std::string& type) const;
    };

    // Runs `arguments` (the program first) with stdout and stderr caught in files of
    // `scratchDirectory`, in the working directory `workingDirectory` when not empty.
    static ProgramRun run(const std::vector<std::string>& arguments,
                          const std::string& scratchDirectory,
                          const std::string& workingDirectory = "");
    static Probe probe(const std::string& path, const std::string& scratchDirectory);
    // The file's audio decoded to 16-bit mono at `rate` (empty when it cannot be).
    static std::vector<int16_t> decodeAudio(const std::string& path, int rate,
                                            const std::string& scratchDirectory);
    // The mean luma (0-255) of the video picture shown at `seconds` into the file; -1 on failure.
    static double meanLumaAt(const std::string& path, double seconds,
                             const std::string& scratchDirectory);
    // Amplitude (fraction of full scale) of the `hz` component of samples [from, from+count).
    static double toneAmplitude(const std::vector<int16_t>& samples, size_t from, size_t count,
                                double hz, int rate);
    // Root mean square (fraction of full scale) of samples [from, from+count).
    static double rms(const std::vector<int16_t>& samples, size_t from, size_t count);
    // Every regular file and link below `directory` (recursively), as paths.
    static std::vector<std::string> filesBelow(const std::string& directory);
    static std::string shellQuoted(const std::string& argument);
};
