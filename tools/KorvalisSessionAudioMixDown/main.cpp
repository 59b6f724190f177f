// KorvalisSessionAudioMixDown TEMPDIR LOCATION YYYYMMDD TARGET: mixes every audio channel of the
// session LOCATION of that day in the archive TEMPDIR (a copied session) into one channel of
// timed MP3 files in the archive TARGET. Exit status 0 on success, 1 when the mix failed, 2 for a
// wrong command line.

#include <cstdio>
#include <string>

#include "SessionAudioMixDown.h"

namespace {

bool parseDay(const std::string& text, int& year, int& month, int& day) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    year = std::stoi(text.substr(0, 4));
    month = std::stoi(text.substr(4, 2));
    day = std::stoi(text.substr(6, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

}  // namespace

int main(int argc, char** argv) {
    int year = 0, month = 0, day = 0;
    if (argc != 5 || !parseDay(argv[3], year, month, day)) {
        std::fprintf(stderr,
                     "Usage: KorvalisSessionAudioMixDown TEMPDIR LOCATION YYYYMMDD TARGET\n");
        return 2;
    }
    SessionAudioMixDown mixDown(argv[1], argv[2], year, month, day);
    if (!mixDown.mixInto(argv[4])) {
        std::fprintf(stderr, "KorvalisSessionAudioMixDown: %s\n", mixDown.errorText().c_str());
        return 1;
    }
    return 0;
}
