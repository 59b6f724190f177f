#include "PlaybackTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "JexAnnotation.h"
#include "JexSession.h"
#include "SyntheticKovWriter.h"
#include "TimedMp3Writer.h"
#include "WallClockTime.h"

PlaybackTestSupport::PlaybackTestSupport() : scratch_("korvalis-playback-") {
    EXPECT_TRUE(scratch_.isValid()) << scratch_.error();
    std::filesystem::create_directories(databasesPath());
    std::filesystem::create_directories(recordingsPath());
}

std::string PlaybackTestSupport::channelDirectory(int channel) const {
    char relative[64];
    std::snprintf(relative, sizeof relative, "/%03d/%04d%02d%02d", channel, kYear, kMonth, kDay);
    const std::string directory = recordingsPath() + relative;
    std::filesystem::create_directories(directory);
    return directory;
}

std::string PlaybackTestSupport::fileNameFor(double startTime, int channel,
                                             const std::string& extension) const {
    const auto seconds = static_cast<uint32_t>(std::floor(startTime));
    const auto milliseconds =
        static_cast<uint32_t>(std::lround((startTime - std::floor(startTime)) * 1000.0));
    char name[128];
    std::snprintf(name, sizeof name, "%s~%08x~%u~%d~0~0.%s", kLocation, seconds, milliseconds,
                  channel, extension.c_str());
    return name;
}

std::string PlaybackTestSupport::writeChannelMp3(int channel, double startTime, double seconds,
                                                 double toneHz) {
    const std::string path =
        channelDirectory(channel) + "/" + fileNameFor(startTime, channel, "mp3");
    TimedMp3Writer writer(startTime, seconds);
    writer.setSignal(TimedMp3Writer::tone(toneHz, 0.3));
    if (!writer.writeFile(path)) {
        ADD_FAILURE() << writer.errorText();
        return "";
    }
    return path;
}

std::string PlaybackTestSupport::writeKov(double startTime, double seconds, uint32_t frameRate) {
    const std::string path = channelDirectory(0) + "/" + fileNameFor(startTime, 0, "kov");
    SyntheticKovWriter::Settings settings;
    settings.width = 64;
    settings.height = 48;
    settings.frameRate = frameRate;
    settings.startTime = startTime;
    settings.durationSeconds = seconds;
    SyntheticKovWriter writer(settings);
    std::string errorText;
    if (!writer.write(path, errorText)) {
        ADD_FAILURE() << errorText;
        return "";
    }
    return path;
}

bool PlaybackTestSupport::writeRecord(int annotations) {
    JexSession record(kLocation, kYear, kMonth, kDay);
    record.setDatabasesDirectory(databasesPath());
    for (int index = 0; index < annotations; ++index) {
        JexAnnotation annotation;
        annotation.setTimeStamp(WallClockTime(static_cast<uint32_t>(kSessionStart) + index, 0, 0));
        annotation.setUser("Clerk");
        annotation.setEvent("Event " + std::to_string(index));
        annotation.setIndex(index);
        record.addAnnotation(annotation);
    }
    std::string error;
    if (!record.save(&error)) {
        ADD_FAILURE() << error;
        return false;
    }
    return true;
}
