#pragma once

#include <string>

#include "SampleArchiveWriter.h"

// Sample archives for the window's tests, written once per test program into a temporary
// directory that lives until the program ends.
namespace GalewickWindowTestSupport {

// The location, day and root of the shared sample archive: COURT1 and COURT2 on 2010-03-15,
// three minutes from 09:00 local time (UTC + 0), 4 channels, video, annotations every few
// seconds. The first call writes it.
struct SampleArchive {
    std::string root;
    std::string location = "COURT1";
    SampleArchiveWriter::Date date;
    double start = 0.0;  // epoch seconds of the session's start
    double end = 0.0;
    int channels = 4;
};
const SampleArchive& sampleArchive();

// A second archive whose COURT1 session holds, besides its good files, an MP3 file of channel 1
// that holds no audio frame. Returns the path of that file in `corruptFile`.
const SampleArchive& archiveWithCorruptFile(std::string& corruptFile);

}  // namespace GalewickWindowTestSupport
