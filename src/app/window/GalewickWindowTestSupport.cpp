#include "GalewickWindowTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "ArchiveSessionSet.h"
#include "MediaFileName.h"
#include "TemporaryDirectory.h"

namespace GalewickWindowTestSupport {
namespace {

SampleArchive write(const std::string& name) {
    static std::vector<std::unique_ptr<TemporaryDirectory>> directories;
    directories.push_back(std::make_unique<TemporaryDirectory>("galewick-window-"));
    SampleArchive archive;
    archive.root = directories.back()->path() + "/" + name;
    SampleArchiveWriter::Settings settings;
    settings.hours = 3.0 / 60.0;
    settings.fileMinutes = 1.0;
    settings.annotationsPerHour = 1200;
    settings.videoWidth = 160;
    settings.videoHeight = 120;
    settings.videoFrameRate = 5;
    SampleArchiveWriter writer(settings);
    if (!writer.write(archive.root)) {
        std::fprintf(stderr, "sample archive: %s\n", writer.errorText().c_str());
        std::abort();
    }
    archive.start = writer.sessionStart(archive.date);
    archive.end = writer.sessionEnd(archive.date);
    return archive;
}

}  // namespace

const SampleArchive& sampleArchive() {
    static const SampleArchive archive = write("archive");
    return archive;
}

const SampleArchive& archiveWithCorruptFile(std::string& corruptFile) {
    static std::string path;
    static const SampleArchive archive = [] {
        SampleArchive written = write("damaged");
        const ArchiveSessionSet sessions(written.root);
        const std::string day = ArchiveSessionSet::dayDirectory(
            sessions.recordingsPath(written.root), 1, written.date.year, written.date.month,
            written.date.day);
        // Named as a recorder names its files, a minute into the session, but holding no audio.
        path = MediaFileName(written.location, written.start + 61.5, 0, 1, 99).pathIn(day, "mp3");
        std::ofstream(path, std::ios::binary) << std::string(700, 'x');
        return written;
    }();
    corruptFile = path;
    return archive;
}

}  // namespace GalewickWindowTestSupport
