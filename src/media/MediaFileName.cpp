#include "MediaFileName.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "DirectoryLister.h"
#include "WallClockTime.h"

namespace {

// A field converts as scanf would read it: blanks, an optional sign, at least one digit;
// whatever follows the digits is ignored.
template <typename T>
bool convertField(const std::string& text, int base, T& value) {
    const char* begin = text.c_str();
    while (std::isspace(static_cast<unsigned char>(*begin))) {
        ++begin;
    }
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(begin, &end, base);
    if (end == begin || errno == ERANGE) {
        return false;
    }
    value = static_cast<T>(parsed);
    return true;
}

}  // namespace

MediaFileName::MediaFileName(std::string prefix, double startTime, int n1, int n2, int n3)
    : prefix_(std::move(prefix)), n1_(n1), n2_(n2), n3_(n3) {
    uint32_t microseconds = 0;
    WallClockTime::splitSeconds(startTime, seconds_, microseconds);
    milliseconds_ = microseconds / 1000;
}

bool MediaFileName::parse(const std::string& path, MediaFileName& name) {
    const std::string file = fileNameOf(path);
    std::vector<size_t> tildes;
    for (size_t i = 0; i < file.size() && tildes.size() < 5; ++i) {
        if (file[i] == '~') {
            tildes.push_back(i);
        }
    }
    if (tildes.size() < 4) {
        return false;
    }
    const size_t dot = file.find('.', tildes[3]);
    if (dot == std::string::npos) {
        return false;
    }
    if (tildes.size() == 5 && tildes[4] > dot) {
        tildes.pop_back();
    }
    auto field = [&](size_t index) {
        const size_t begin = tildes[index] + 1;
        const size_t end = index + 1 < tildes.size() ? tildes[index + 1] : dot;
        return file.substr(begin, end - begin);
    };
    MediaFileName parsed;
    parsed.prefix_ = file.substr(0, tildes[0]);
    int64_t seconds = 0;
    int64_t milliseconds = 0;
    if (!convertField(field(0), 16, seconds) || !convertField(field(1), 10, milliseconds) ||
        !convertField(field(2), 10, parsed.n1_) || !convertField(field(3), 10, parsed.n2_)) {
        return false;
    }
    if (tildes.size() == 5 && !convertField(field(4), 10, parsed.n3_)) {
        return false;
    }
    parsed.seconds_ = static_cast<uint32_t>(seconds);
    parsed.milliseconds_ = static_cast<uint32_t>(milliseconds);
    parsed.extension_ = file.substr(dot + 1);
    name = std::move(parsed);
    return true;
}

double MediaFileName::startTime() const {
    // The sum is formed in extended precision and rounded once, as the stored names were read.
    const long double sum =
        static_cast<long double>(seconds_) +
        static_cast<long double>(milliseconds_) * static_cast<long double>(0.001f);
    return static_cast<double>(sum);
}

std::string MediaFileName::fileName(const std::string& extension) const {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "~%08x~%d~%d~%d~%d.", seconds_,
                  static_cast<int>(milliseconds_), n1_, n2_, n3_);
    return prefix_ + numbers + extension;
}

std::string MediaFileName::pathIn(const std::string& directory,
                                  const std::string& extension) const {
    return DirectoryLister::join(directory, fileName(extension));
}

MediaFileName MediaFileName::withStartTime(double startTime) const {
    MediaFileName result(prefix_, startTime, n1_, n2_, n3_);
    result.extension_ = extension_;
    return result;
}

MediaFileName MediaFileName::withNearestStartTime(double startTime) const {
    MediaFileName result = withStartTime(startTime);
    const double whole = std::floor(startTime);
    const auto milliseconds = static_cast<uint64_t>(static_cast<int64_t>(whole)) * 1000 +
                              static_cast<uint64_t>(std::llround((startTime - whole) * 1000.0));
    result.seconds_ = static_cast<uint32_t>(milliseconds / 1000);
    result.milliseconds_ = static_cast<uint32_t>(milliseconds % 1000);
    return result;
}

std::string MediaFileName::fileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string MediaFileName::directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}
