#include "AnnotationRecordEditor.h"

#include "JexSession.h"

namespace {

bool sameStamp(const WallClockTime* a, const WallClockTime* b) {
    if (a == nullptr || b == nullptr) {
        return a == b;
    }
    return a->epochTimeSecondsInUtc() == b->epochTimeSecondsInUtc() &&
           a->microseconds() == b->microseconds();
}

}  // namespace

bool AnnotationRecordEditor::sameAnnotation(const JexAnnotation& a, const JexAnnotation& b) {
    return a.user() == b.user() && a.labelTitle() == b.labelTitle() &&
           a.labelData() == b.labelData() && a.event() == b.event() &&
           a.displayTime() == b.displayTime() &&
           a.displayTimeMilitary() == b.displayTimeMilitary() &&
           a.displayDate() == b.displayDate() && a.location() == b.location() &&
           a.index() == b.index() && sameStamp(a.timeStamp(), b.timeStamp()) &&
           a.hasCustomData() == b.hasCustomData() && a.custom() == b.custom() &&
           a.originalFileName() == b.originalFileName() && a.storedFilePath() == b.storedFilePath();
}

bool AnnotationRecordEditor::isEditable(const JexAnnotation& annotation) {
    return annotation.user() != kRecorderUser && annotation.user() != kSessionCopyUser;
}

AnnotationRecordEditor::Result AnnotationRecordEditor::apply(JexSession& record, size_t index,
                                                             const JexAnnotation& original,
                                                             const JexAnnotation& edited,
                                                             std::string& error,
                                                             size_t* savedIndex) {
    // Where the annotation is now: at its old place, else the first equal one (the record may
    // have been read again with annotations added or removed before it).
    JexAnnotation current;
    size_t at = index;
    if (!record.annotationAt(index, current) || !sameAnnotation(current, original)) {
        const std::vector<JexAnnotation> annotations = record.annotations();
        at = annotations.size();
        for (size_t i = 0; i < annotations.size(); ++i) {
            if (sameAnnotation(annotations[i], original)) {
                at = i;
                break;
            }
        }
        if (at == annotations.size()) {
            error =
                "The annotation was changed or removed by another program since it was opened, "
                "so the edit was not saved.";
            return Result::kAnnotationGone;
        }
        record.annotationAt(at, current);
    }
    record.replaceAnnotation(at, edited);
    if (!record.save(&error)) {
        // The list stays what the file holds.
        record.replaceAnnotation(at, current);
        return Result::kSaveRefused;
    }
    // A refresh on another thread may read the record again between the replacement and the
    // save; then the save wrote the file as read, without the edit.
    JexAnnotation saved;
    if (!record.annotationAt(at, saved) || !sameAnnotation(saved, edited)) {
        error = "The session record was read again while the edit was being saved; save again.";
        return Result::kSaveRefused;
    }
    if (savedIndex != nullptr) {
        *savedIndex = at;
    }
    return Result::kSaved;
}
