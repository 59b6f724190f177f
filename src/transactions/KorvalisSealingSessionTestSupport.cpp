#include "KorvalisSealingSessionTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "AudioDecoderGroup.h"
#include "KorvalisMasterSealingKey.h"
#include "KorvalisMp3CompressedAudioFile.h"
#include "KorvalisSealedCompressedAudioFile.h"
#include "KorvalisSession.h"
#include "KorvalisUserSealingKey.h"
#include "KovCompressedVideoFile.h"
#include "SealedCompressedVideoFile.h"
#include "SyntheticKovWriter.h"
#include "TimedMp3Writer.h"
#include "VideoDecoder.h"
#include "VideoSegmentFrame.h"

namespace {

constexpr int kFewIterations = 1000;

std::string mediaFileName(double startTime, int channel, const char* extension) {
    const auto seconds = static_cast<uint32_t>(std::floor(startTime));
    const auto milliseconds =
        static_cast<uint32_t>(std::lround((startTime - std::floor(startTime)) * 1000.0));
    char name[128];
    std::snprintf(name, sizeof name, "%s~%08x~%u~%d~0~0.%s",
                  KorvalisSealingSessionTestSupport::kLocation, seconds, milliseconds, channel,
                  extension);
    return name;
}

bool hasExtension(const std::string& path, const std::string& extension) {
    return KorvalisSession::extensionOfPath(path) == extension;
}

}  // namespace

KorvalisSealingSessionTestSupport::MediaSet::MediaSet() = default;
KorvalisSealingSessionTestSupport::MediaSet::~MediaSet() = default;
KorvalisSealingSessionTestSupport::MediaSet::MediaSet(MediaSet&&) noexcept = default;

KorvalisSealingSessionTestSupport::KorvalisSealingSessionTestSupport()
    : scratch_("korvalis-sealing-") {
    EXPECT_TRUE(scratch_.isValid()) << scratch_.error();
}

std::string KorvalisSealingSessionTestSupport::channelDirectory(int channel) const {
    char relative[64];
    std::snprintf(relative, sizeof relative, "/%03d/20100315", channel);
    const std::string directory = recordingsPath() + relative;
    std::filesystem::create_directories(directory);
    return directory;
}

bool KorvalisSealingSessionTestSupport::writeSession(int channels, int files, double fileSeconds,
                                                     bool video) {
    std::filesystem::create_directories(root() + "/Databases");
    for (int file = 0; file < files; ++file) {
        const double start = kSessionStart + file * fileSeconds;
        for (int channel = 0; channel < channels; ++channel) {
            TimedMp3Writer writer(start, fileSeconds);
            writer.setSignal(TimedMp3Writer::tone(400.0 + 150.0 * channel));
            const std::string path =
                channelDirectory(channel) + "/" + mediaFileName(start, channel, "mp3");
            if (!writer.writeFile(path)) {
                ADD_FAILURE() << writer.errorText();
                return false;
            }
        }
        if (video) {
            SyntheticKovWriter::Settings settings;
            settings.width = 64;
            settings.height = 48;
            settings.frameRate = 5;
            settings.startTime = start;
            settings.durationSeconds = fileSeconds;
            SyntheticKovWriter writer(settings);
            std::string error;
            if (!writer.write(channelDirectory(0) + "/" + mediaFileName(start, 0, "kov"), error)) {
                ADD_FAILURE() << error;
                return false;
            }
        }
    }
    return true;
}

bool KorvalisSealingSessionTestSupport::copyArchiveFrom(const std::string& otherRoot) {
    std::error_code code;
    std::filesystem::copy(otherRoot, root(), std::filesystem::copy_options::recursive, code);
    EXPECT_FALSE(code) << code.message();
    return !code;
}

KorvalisSealingSessionTestSupport::MediaSet KorvalisSealingSessionTestSupport::openSession() const {
    MediaSet set;
    set.session = std::make_unique<KorvalisSession>(recordingsPath(), kLocation, 2010, 3, 15);
    set.session->enumerateMediaFiles();
    set.session->createAudioDecoderGroupForSession(set.audio, 0.144f);
    set.session->createVideDecoderForSession(set.video);
    return set;
}

std::unique_ptr<KorvalisUserSealingKey> KorvalisSealingSessionTestSupport::makeUserKey() {
    auto master = KorvalisMasterSealingKey::create("Clerk", 32, 1268652608);
    auto user = std::make_unique<KorvalisUserSealingKey>();
    const std::string passphrase = kPassphrase;
    const auto* bytes = reinterpret_cast<const uint8_t*>(passphrase.data());
    if (!master ||
        !user->wrapMasterKey(*master, "Judge Example", bytes, passphrase.size(), kFewIterations,
                             1268652700) ||
        !user->uncoverMasterKey(bytes, passphrase.size())) {
        ADD_FAILURE() << "could not make a user key";
    }
    return user;
}

bool KorvalisSealingSessionTestSupport::writeUserKeyFile(const KorvalisUserSealingKey& key,
                                                         const std::string& path) {
    std::string error;
    const bool saved = key.saveToFile(path, &error);
    EXPECT_TRUE(saved) << error;
    return saved;
}

std::vector<KorvalisSealingSessionTestSupport::Span> KorvalisSealingSessionTestSupport::spans(
    int channel) const {
    std::vector<Span> result;
    const std::string directory = channelDirectory(channel < 0 ? 0 : channel);
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string path = entry.path().string();
        Span span;
        span.path = path;
        if (channel >= 0 && hasExtension(path, "mp3")) {
            KorvalisMp3CompressedAudioFile file(path, true);
            span.start = file.getStartTime();
            span.end = file.getEndTime();
        } else if (channel >= 0 && hasExtension(path, "sealedAudio")) {
            KorvalisSealedCompressedAudioFile file(path);
            span.start = file.getStartTime();
            span.end = file.getEndTime();
            span.sealed = true;
        } else if (channel < 0 && hasExtension(path, "kov")) {
            KovCompressedVideoFile file(path);
            span.start = file.getStartTime();
            span.end = file.getEndTime();
        } else if (channel < 0 && hasExtension(path, "sealedVideo")) {
            SealedCompressedVideoFile file(path);
            span.start = file.getStartTime();
            span.end = file.getEndTime();
            span.sealed = true;
        } else {
            continue;
        }
        result.push_back(span);
    }
    std::sort(result.begin(), result.end(),
              [](const Span& a, const Span& b) { return a.start < b.start; });
    return result;
}

std::string KorvalisSealingSessionTestSupport::checkCoverage(int channel, double from, double to,
                                                             double sealedFrom,
                                                             double sealedTo) const {
    const std::vector<Span> files = spans(channel);
    std::ostringstream problems;
    for (double t = from + 0.5; t < to; t += 1.0) {
        int covering = 0;
        bool sealed = false;
        for (const Span& span : files) {
            if (span.start <= t && t < span.end) {
                ++covering;
                sealed = span.sealed;
            }
        }
        const double second = t - kSessionStart;
        if (covering != 1) {
            problems << "second " << second << " of channel " << channel << " is covered "
                     << covering << " times; ";
        } else if (sealed != (t >= sealedFrom && t < sealedTo)) {
            problems << "second " << second << " of channel " << channel << " is "
                     << (sealed ? "sealed" : "clear") << "; ";
        }
    }
    return problems.str();
}

std::string KorvalisSealingSessionTestSupport::concatenatedAudio(int channel) const {
    std::string bytes;
    for (const Span& span : spans(channel)) {
        if (!span.sealed) {
            bytes += readFile(span.path);
        }
    }
    return bytes;
}

std::vector<std::pair<double, std::string>> KorvalisSealingSessionTestSupport::videoFrames() const {
    std::vector<std::pair<double, std::string>> frames;
    for (const Span& span : spans(-1)) {
        if (span.sealed) {
            continue;
        }
        KovCompressedVideoFile file(span.path);
        double reached = 0.0;
        if (!file.setPositionByEpochTime(file.getStartTime(), 1.0f, reached)) {
            ADD_FAILURE() << "cannot position " << span.path;
            continue;
        }
        for (;;) {
            std::unique_ptr<VideoSegmentFrame> frame;
            bool endOfFile = false;
            if (!file.getNextFrame(frame, &endOfFile, true) || !frame) {
                break;
            }
            const Image* image = frame->getImage();
            frames.emplace_back(frame->getEpochTime(),
                                image == nullptr
                                    ? std::string()
                                    : std::string(reinterpret_cast<const char*>(image->getData()),
                                                  image->getDataLength()));
            if (endOfFile) {
                break;
            }
        }
    }
    return frames;
}

std::map<std::string, std::string> KorvalisSealingSessionTestSupport::snapshot(
    const std::string& directory) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(directory)) {
        return files;
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        if (entry.is_regular_file()) {
            files[entry.path().string()] = readFile(entry.path().string());
        }
    }
    return files;
}

std::string KorvalisSealingSessionTestSupport::readFile(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << input.rdbuf();
    return bytes.str();
}
