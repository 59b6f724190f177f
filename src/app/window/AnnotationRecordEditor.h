#pragma once

#include <cstddef>
#include <string>

#include "JexAnnotation.h"

class JexSession;

// Applies one edited annotation to a session record and saves the record through its
// crash-safe save, so that an edit either reaches the file or leaves record and file as they
// were.
//
// The annotation is found by its content, not only by its position: `original` is the
// annotation as the editor first showed it. When the record was read again meanwhile (another
// program added or removed annotations), the edit still lands on the same annotation; when that
// annotation is gone or was itself changed, nothing is written.
class AnnotationRecordEditor {
public:
    enum class Result {
        kSaved,
        kAnnotationGone,  // no annotation of the record equals `original` any more
        kSaveRefused,     // the record refused the save (changed on disk, unreadable, I/O)
    };

    // Replaces `original` (expected at `index`) by `edited` and saves. On kSaveRefused the
    // record's list is restored and `error` holds the record's reason; `savedIndex` receives
    // the index the annotation has (on kSaved).
    static Result apply(JexSession& record, size_t index, const JexAnnotation& original,
                        const JexAnnotation& edited, std::string& error, size_t* savedIndex);

    // Every field equal (time stamps compared to the microsecond, offsets ignored).
    static bool sameAnnotation(const JexAnnotation& a, const JexAnnotation& b);

    // Whether "Edit Annotation" may open an annotation. Entries the system or the recorder made
    // itself are not edited: the recorder's own (user "Recorder") and the copy markers (user
    // "Session Copy"). Every other annotation (an operator's note) may be edited.
    static bool isEditable(const JexAnnotation& annotation);
    static constexpr const char* kRecorderUser = "Recorder";
    static constexpr const char* kSessionCopyUser = "Session Copy";
};
