#include "ExportTestSupport.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "FileIo.h"

int ExportTestSupport::Probe::countOf(const std::string& type) const {
    return static_cast<int>(std::count_if(streams.begin(), streams.end(),
                                          [&](const Stream& s) { return s.type == type; }));
}

const ExportTestSupport::Stream* ExportTestSupport::Probe::first(const std::string& type) const {
    for (const Stream& stream : streams) {
        if (stream.type == type) {
            return &stream;
        }
    }
    return nullptr;
}

std::string ExportTestSupport::shellQuoted(const std::string& argument) {
    std::string text = "'";
    for (const char c : argument) {
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return text + "'";
}

ExportTestSupport::ProgramRun ExportTestSupport::run(const std::vector<std::string>& arguments,
                                                     const std::string& scratchDirectory,
                                                     const std::string& workingDirectory) {
    std::string command;
    if (!workingDirectory.empty()) {
        command = "cd " + shellQuoted(workingDirectory) + " && ";
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        command += (i == 0 ? "" : " ") + shellQuoted(arguments[i]);
    }
    const std::string out = scratchDirectory + "/run.stdout";
    const std::string err = scratchDirectory + "/run.stderr";
    command += " </dev/null >" + shellQuoted(out) + " 2>" + shellQuoted(err);
    ProgramRun result;
    const int status = std::system(command.c_str());
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    FileIo::readWholeFile(out, result.out);
    FileIo::readWholeFile(err, result.err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

namespace {

double parseRate(const std::string& text) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) {
        return std::atof(text.c_str());
    }
    const double denominator = std::atof(text.c_str() + slash + 1);
    return denominator == 0.0 ? 0.0 : std::atof(text.substr(0, slash).c_str()) / denominator;
}

double parseDuration(const std::string& text) {
    return text.empty() || text == "N/A" ? -1.0 : std::atof(text.c_str());
}

}  // namespace

ExportTestSupport::Probe ExportTestSupport::probe(const std::string& path,
                                                  const std::string& scratchDirectory) {
    // One "key=value" per line; "[STREAM]" and "[FORMAT]" open the sections.
    const ProgramRun run = ExportTestSupport::run(
        {"ffprobe", "-v", "error", "-show_entries",
         "stream=codec_type,codec_name,r_frame_rate,sample_rate,width,height,duration:format="
         "format_name,duration",
         "-of", "default=noprint_wrappers=0", path},
        scratchDirectory);
    Probe probe;
    if (run.status != 0) {
        return probe;
    }
    probe.readable = true;
    std::istringstream lines(run.out);
    std::string line;
    Stream* stream = nullptr;
    bool inFormat = false;
    while (std::getline(lines, line)) {
        if (line == "[STREAM]") {
            probe.streams.emplace_back();
            stream = &probe.streams.back();
            inFormat = false;
            continue;
        }
        if (line == "[FORMAT]") {
            stream = nullptr;
            inFormat = true;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (inFormat) {
            if (key == "format_name") {
                probe.formatName = value;
            } else if (key == "duration") {
                probe.duration = parseDuration(value);
            }
        } else if (stream != nullptr) {
            if (key == "codec_type") {
                stream->type = value;
            } else if (key == "codec_name") {
                stream->codec = value;
            } else if (key == "r_frame_rate") {
                stream->framesPerSecond = parseRate(value);
            } else if (key == "sample_rate") {
                stream->sampleRate = std::atoi(value.c_str());
            } else if (key == "width") {
                stream->width = std::atoi(value.c_str());
            } else if (key == "height") {
                stream->height = std::atoi(value.c_str());
            } else if (key == "duration") {
                stream->duration = parseDuration(value);
            }
        }
    }
    return probe;
}

std::vector<int16_t> ExportTestSupport::decodeAudio(const std::string& path, int rate,
                                                    const std::string& scratchDirectory) {
    const std::string pcm = scratchDirectory + "/decoded.pcm";
    const ProgramRun run =
        ExportTestSupport::run({"ffmpeg", "-v", "error", "-y", "-i", path, "-vn", "-ac", "1", "-ar",
                                std::to_string(rate), "-f", "s16le", pcm},
                               scratchDirectory);
    std::vector<int16_t> samples;
    std::string bytes;
    if (run.status == 0 && FileIo::readWholeFile(pcm, bytes)) {
        samples.resize(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    }
    std::filesystem::remove(pcm);
    return samples;
}

double ExportTestSupport::meanLumaAt(const std::string& path, double seconds,
                                     const std::string& scratchDirectory) {
    const std::string gray = scratchDirectory + "/picture.gray";
    const ProgramRun run = ExportTestSupport::run(
        {"ffmpeg", "-v", "error", "-y", "-i", path, "-ss", std::to_string(seconds), "-frames:v",
         "1", "-pix_fmt", "gray", "-f", "rawvideo", gray},
        scratchDirectory);
    std::string bytes;
    if (run.status != 0 || !FileIo::readWholeFile(gray, bytes) || bytes.empty()) {
        return -1.0;
    }
    std::filesystem::remove(gray);
    double sum = 0.0;
    for (const char c : bytes) {
        sum += static_cast<unsigned char>(c);
    }
    return sum / static_cast<double>(bytes.size());
}

double ExportTestSupport::toneAmplitude(const std::vector<int16_t>& samples, size_t from,
                                        size_t count, double hz, int rate) {
    const double coefficient = 2.0 * std::cos(2.0 * M_PI * hz / rate);
    double previous = 0.0;
    double beforePrevious = 0.0;
    size_t used = 0;
    for (size_t i = from; i < from + count && i < samples.size(); ++i, ++used) {
        const double current = samples[i] / 32768.0 + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    if (used == 0) {
        return 0.0;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(used);
}

double ExportTestSupport::rms(const std::vector<int16_t>& samples, size_t from, size_t count) {
    double sum = 0.0;
    size_t used = 0;
    for (size_t i = from; i < from + count && i < samples.size(); ++i, ++used) {
        const double value = samples[i] / 32768.0;
        sum += value * value;
    }
    return used == 0 ? 0.0 : std::sqrt(sum / static_cast<double>(used));
}

std::vector<std::string> ExportTestSupport::filesBelow(const std::string& directory) {
    std::vector<std::string> files;
    std::error_code code;
    for (auto it = std::filesystem::recursive_directory_iterator(directory, code);
         !code && it != std::filesystem::recursive_directory_iterator(); it.increment(code)) {
        if (!it->is_directory()) {
            files.push_back(it->path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}
