#pragma once

#include <string>

#include "KorvalisResourceArchive.h"

// The resource archive appended to the running program's own file, opened on first use and kept
// open for the rest of the run. The program's file is read through /proc/self/exe, so a program
// file replaced on disk while the program runs still gives the running program's images.
class KorvalisResourceArchiveSingleton : public KorvalisResourceArchive {
public:
    // The one archive. A program without an appended archive gets an archive whose lookups all
    // fail.
    static KorvalisResourceArchiveSingleton& getInstance();
    // Reopens the one archive on another file (tests, tools); true when it has an index.
    static bool useArchiveFile(const std::string& path);
    // The file the archive is read from.
    static std::string programFilePath();

    ~KorvalisResourceArchiveSingleton() override;

private:
    KorvalisResourceArchiveSingleton();
};
