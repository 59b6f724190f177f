// korvalis sessions, annotations and search: the archive's sessions and their annotations.

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ArchiveSessionSet.h"
#include "CommandLine.h"
#include "JexSession.h"
#include "KorvalisCommand.h"
#include "TerminalText.h"

namespace {

constexpr const char* kSessionsUsage =
    "Usage: korvalis sessions ROOTS\n\n"
    "Lists the archive roots found in or directly below the paths of ROOTS (separated by ';'),\n"
    "one 'root: PATH' line each, then every session: 'LOCATION YYYY-MM-DD channels=N'.\n"
    "Session records whose names carry no valid day are reported on stderr and skipped;\n"
    "a Databases directory that cannot be read is reported and makes the exit status 1.\n"
    "Control characters of names and texts are shown escaped (\\xHH).\n";

constexpr const char* kAnnotationsUsage =
    "Usage: korvalis annotations ROOTS LOCATION YYYYMMDD [--html | --text]\n\n"
    "Prints the annotations of one session as text (the default) or as an HTML page, exactly\n"
    "as the player exports them. ROOTS are archive paths separated by ';'. Control characters\n"
    "of the texts, other than tabs and line breaks, are shown escaped (\\xHH).\n";

constexpr const char* kSearchUsage =
    "Usage: korvalis search ROOTS TEXT\n\n"
    "Searches the annotations of every session for events containing TEXT (case-sensitive)\n"
    "and prints one line per match: 'LOCATION YYYY-MM-DD DISPLAYTIME<TAB>SPEAKER<TAB>EVENT'.\n"
    "Records that cannot be read are reported on stderr and make the exit status 1. Control\n"
    "characters of the texts are shown escaped (\\xHH).\n";

int usageError(const char* command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "korvalis %s: %s\n%s", command, message.c_str(), usage);
    return kExitUsage;
}

// The archive set of ROOTS, or false (reported) when it holds no archive root.
bool openArchives(const char* command, const std::string& roots,
                  std::unique_ptr<ArchiveSessionSet>& set) {
    set = std::make_unique<ArchiveSessionSet>(roots);
    if (set->archiveRoots().empty()) {
        std::fprintf(stderr,
                     "korvalis %s: no archive (a directory holding Databases and Recordings) in "
                     "or directly below '%s'\n",
                     command, roots.c_str());
        return false;
    }
    return true;
}

void reportProblems(const char* command, const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) {
        std::fprintf(stderr, "korvalis %s: skipped %s\n", command,
                     TerminalText::escaped(problem).c_str());
    }
}

// One line per match: tabs and line breaks inside the texts become blanks, other control
// characters are escaped.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return TerminalText::escaped(text);
}

// Names and paths from the disk, safe to print.
std::string shown(const std::string& text) {
    return TerminalText::escaped(text);
}

// YYYYMMDD of a real calendar month and day.
bool parseDay(const std::string& text, int& year, int& month, int& day) {
    if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    year = std::stoi(text.substr(0, 4));
    month = std::stoi(text.substr(4, 2));
    day = std::stoi(text.substr(6, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

int runSessions(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {});
    if (!line.isValid() || line.positional().size() != 1) {
        return usageError("sessions", line.isValid() ? "expected ROOTS" : line.error(),
                          kSessionsUsage);
    }
    std::unique_ptr<ArchiveSessionSet> set;
    if (!openArchives("sessions", line.positional()[0], set)) {
        return kExitFailure;
    }
    for (const std::string& root : set->archiveRoots()) {
        std::printf("root: %s\n", shown(root).c_str());
    }
    std::vector<SessionListEntry> sessions;
    std::vector<std::string> problems;
    const bool everyDirectoryRead = set->listAllSessions(sessions, &problems);
    for (const SessionListEntry& session : sessions) {
        std::printf("%s %04d-%02d-%02d channels=%d\n", shown(session.locationName).c_str(),
                    session.date.year, session.date.month, session.date.day, session.channels);
    }
    reportProblems("sessions", problems);
    return everyDirectoryRead ? kExitSuccess : kExitFailure;
}

int runAnnotations(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {}, {"html", "text"});
    if (!line.isValid() || line.positional().size() != 3) {
        return usageError("annotations",
                          line.isValid() ? "expected ROOTS LOCATION YYYYMMDD" : line.error(),
                          kAnnotationsUsage);
    }
    if (line.hasFlag("html") && line.hasFlag("text")) {
        return usageError("annotations", "--html and --text exclude each other", kAnnotationsUsage);
    }
    const std::string& location = line.positional()[1];
    int year = 0, month = 0, day = 0;
    if (!parseDay(line.positional()[2], year, month, day)) {
        return usageError("annotations",
                          "'" + line.positional()[2] + "' is not a day written YYYYMMDD",
                          kAnnotationsUsage);
    }
    std::unique_ptr<ArchiveSessionSet> set;
    if (!openArchives("annotations", line.positional()[0], set)) {
        return kExitFailure;
    }
    std::string root;
    if (!set->findRootForLocation(location, root)) {
        std::fprintf(stderr, "korvalis annotations: no archive holds the location '%s'\n",
                     shown(location).c_str());
        return kExitFailure;
    }
    JexSession session(location, year, month, day);
    switch (session.load(set->databasesPath(root))) {
        case JexSession::RecordState::kLoaded:
            break;
        case JexSession::RecordState::kMissing:
            std::fprintf(stderr, "korvalis annotations: there is no session record %s\n",
                         shown(session.recordPath()).c_str());
            return kExitFailure;
        default:
            std::fprintf(stderr, "korvalis annotations: %s\n", shown(session.lastError()).c_str());
            return kExitFailure;
    }
    std::ostringstream exported;
    const bool made =
        line.hasFlag("html") ? session.exportAsHtml(exported) : session.exportAsText(exported);
    std::cout << TerminalText::escaped(exported.str(), TerminalText::LineBreaks::kKeep);
    std::cout.flush();
    if (!made || !std::cout) {
        std::fprintf(stderr, "korvalis annotations: the annotations could not be written\n");
        return kExitFailure;
    }
    return kExitSuccess;
}

int runSearch(const std::vector<std::string>& arguments) {
    CommandLine line(arguments, {});
    if (!line.isValid() || line.positional().size() != 2) {
        return usageError("search", line.isValid() ? "expected ROOTS TEXT" : line.error(),
                          kSearchUsage);
    }
    std::unique_ptr<ArchiveSessionSet> set;
    if (!openArchives("search", line.positional()[0], set)) {
        return kExitFailure;
    }
    std::vector<SessionSearchHit> hits;
    std::vector<std::string> problems;
    const bool everyRecordRead = set->searchAllSessions(line.positional()[1], hits, &problems);
    for (const SessionSearchHit& hit : hits) {
        for (const JexAnnotation& annotation : hit.annotations) {
            std::printf(
                "%s %04d-%02d-%02d %s\t%s\t%s\n", shown(hit.locationName).c_str(), hit.date.year,
                hit.date.month, hit.date.day, oneLine(annotation.displayTime()).c_str(),
                oneLine(annotation.labelData()).c_str(), oneLine(annotation.event()).c_str());
        }
    }
    reportProblems("search", problems);
    return everyRecordRead ? kExitSuccess : kExitFailure;
}

const KorvalisCommandRegistration sessionsRegistration({
    "sessions",
    "list the archive roots and sessions under archive paths",
    kSessionsUsage,
    runSessions,
});

const KorvalisCommandRegistration annotationsRegistration({
    "annotations",
    "print a session's annotations as text or HTML",
    kAnnotationsUsage,
    runAnnotations,
});

const KorvalisCommandRegistration searchRegistration({
    "search",
    "find annotations containing a text in every session",
    kSearchUsage,
    runSearch,
});

}  // namespace
