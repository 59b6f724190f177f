// make_test_archive DIRECTORY: writes a small test archive of two roots for the demo and manual
// checks. Session records are real; media files are placeholders that carry the recorder's
// names (enough for discovery and channel counts, not for playback).

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "TestArchiveBuilder.h"

namespace {

constexpr double kMarch15At9 = 1268661600.0;  // 2010-03-15 14:00:00 UTC, 09:00 at UTC-5
constexpr int kOffsetHours = -5;

std::vector<JexAnnotation> proceedings(double start, const std::string& judge) {
    const struct {
        double offsetSeconds;
        const char* speaker;
        const char* event;
    } kEvents[] = {
        {0, judge.c_str(), "Court in session"},
        {95, "Counsel for the claimant", "Opening statement"},
        {610, "Counsel for the defence", "Objection: hearsay"},
        {640, judge.c_str(), "Objection sustained"},
        {1800, "Clerk", "Witness sworn in <exhibit 4 & 5>"},
        {3300, judge.c_str(), "Recess"},
    };
    std::vector<JexAnnotation> annotations;
    int index = 0;
    for (const auto& event : kEvents) {
        annotations.push_back(TestArchiveBuilder::annotation(
            start + event.offsetSeconds, event.speaker, event.event, index++, kOffsetHours));
    }
    return annotations;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: make_test_archive DIRECTORY\n");
        return 2;
    }
    try {
        const std::string directory = argv[1];
        TestArchiveBuilder north(directory + "/north");
        north.addSessionRecord("COURT1", 2010, 3, 15, proceedings(kMarch15At9, "Judge Amsel"));
        north.addSessionMedia("COURT1", 2010, 3, 15, 3, kMarch15At9, 2);
        north.addSessionRecord("COURT1", 2010, 3, 16,
                               proceedings(kMarch15At9 + 86400, "Judge Amsel"));
        north.addSessionMedia("COURT1", 2010, 3, 16, 2, kMarch15At9 + 86400, 1, false);
        north.addSessionRecord("COURT2", 2010, 3, 15,
                               proceedings(kMarch15At9 + 1800, "Judge Brandt"));
        north.addSessionMedia("COURT2", 2010, 3, 15, 1, kMarch15At9 + 1800, 1);

        TestArchiveBuilder south(directory + "/south");
        south.addSessionRecord("Hearing Room 3", 2011, 1, 4,
                               proceedings(kMarch15At9 + 25833600, "Magistrate Weil"));
        south.addSessionMedia("Hearing Room 3", 2011, 1, 4, 2, kMarch15At9 + 25833600, 1);
        std::printf("%s\n", directory.c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_test_archive: %s\n", error.what());
        return 1;
    }
}
