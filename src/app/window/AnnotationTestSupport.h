#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JexAnnotation.h"
#include "JexSession.h"

// Helpers of the annotation tests: annotations and session records written into archive roots.
namespace AnnotationTestSupport {

// An annotation at `utcSeconds` (no time stamp when 0) with display texts in `offsetHours`.
JexAnnotation annotation(uint32_t utcSeconds, const std::string& speaker, const std::string& event,
                         const std::string& user = "Clerk", int offsetHours = 0);

// Makes ROOT/Databases and ROOT/Recordings, saves a record of the annotations for the session
// and returns it loaded from the file (null when it could not be written).
std::unique_ptr<JexSession> writeRecord(const std::string& root, const std::string& location,
                                        int year, int month, int day,
                                        const std::vector<JexAnnotation>& annotations);

// The record as a fresh reader of the file sees it.
std::unique_ptr<JexSession> readRecord(const std::string& databasesDirectory,
                                       const std::string& location, int year, int month, int day);

// The whole file, or "" when it cannot be read.
std::string fileText(const QString& path);

}  // namespace AnnotationTestSupport
