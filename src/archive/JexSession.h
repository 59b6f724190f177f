#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "JexAnnotation.h"
#include "JexSessionLabel.h"

class WallClockTime;

// The session record of one location and day: its annotations, loaded from and saved to
// Databases/LOCATION~YYYYMMDD.xml, searched, edited and exported.
//
// A record that cannot be read is reported (recordState() and lastError(), and the debug log)
// and never overwritten: save refuses until a later load or reload reads it. Save also refuses
// when another program changed the record since this session read it, so that annotations the
// recorder added are not lost; reload first. Saving replaces the file atomically. The check and
// the replacement are two steps and the recorder takes no lock, so a write it makes between them
// is still replaced; the window is the time of one rename.
//
// Any thread may call any operation; one re-entrant mutex guards the whole object.
class JexSession {
public:
    // How the last read of the record file went.
    enum class RecordState {
        kNotRead,     // nothing read: a new record (see setDatabasesDirectory)
        kLoaded,      // the record was read
        kMissing,     // there is no record file yet: the session has no annotations
        kUnreadable,  // the file could not be read (permissions, input/output, too large)
        kMalformed,   // the file holds no readable session record
    };

    // Larger records are refused rather than read.
    static constexpr uint64_t kMaximumRecordBytes = 256ull << 20;
    // Larger records are refused rather than saved (more than 200000 annotations with long
    // events), so that every record this system writes reads back, by this system and by
    // others that read twice as much.
    static constexpr uint64_t kMaximumSavedRecordBytes = kMaximumRecordBytes / 2;

    JexSession(std::string locationName, int year, int month, int day);
    explicit JexSession(const JexSessionLabel& label);

    JexSession(const JexSession&) = delete;
    JexSession& operator=(const JexSession&) = delete;

    // Reads the record LABEL.xml of `databasesDirectory`, which becomes this session's record.
    // On kLoaded the annotation list is the record's and on kMissing it is empty; on
    // kUnreadable and kMalformed the list is left as it was and lastError() says why.
    RecordState load(const std::string& databasesDirectory);

    // Reads the record again. `changed` is true when the annotation list was replaced (or
    // emptied because the record went away). The file is read only when its size, times or
    // identity changed (or it changed within the last two seconds, closer than file times can
    // tell apart), and parsed only when its bytes did, so calling this twice a second is cheap.
    // A record that has become unreadable leaves the list as it was.
    RecordState reload(bool& changed);

    // Makes LABEL.xml of `databasesDirectory` this session's record without reading it: the
    // next save writes it whether or not it exists (a copied session's new record).
    void setDatabasesDirectory(const std::string& databasesDirectory);

    // Writes the record anew from the list: crash-safe (a temporary file beside it, flushed,
    // renamed over it) and creating the Databases directory when missing. False, with the
    // reason in `error` and lastError(), when there is no record path, the record could not be
    // read, it changed on disk since it was read, it would be larger than
    // kMaximumSavedRecordBytes, or the write failed; the file is then as it was.
    bool save(std::string* error = nullptr);

    // Reads a record from its text instead of a file (kLoaded or kMalformed only).
    RecordState readRecordText(const std::string& text);
    // The record as save writes it: a UTF-8 XML declaration, then "database" (date, location)
    // holding "annotations" holding one "annotation" element per annotation, in TinyXML's layout
    // (XmlPacker::printXml). Records are read as UTF-8 unless they declare another encoding.
    std::string recordText() const;

    // Appends to `found` the annotations of the record at `recordPath` whose event contains
    // `text`, as a session loading it would find them, without keeping a session. A record whose
    // bytes cannot hold such an event is not parsed, so damage is reported (kUnreadable or
    // kMalformed, with `error`) only for records that might hold a match; kMissing when there is
    // no such file.
    static RecordState findInRecord(const std::string& recordPath, const std::string& text,
                                    std::vector<JexAnnotation>& found, std::string& error);
    // False when the record's bytes show that no event in it can contain `text`: the text is
    // not there literally, and nothing the reader decodes (entities, collapsed blanks) could
    // produce it.
    static bool recordMayHoldEvent(std::string_view recordBytes, std::string_view text);

    size_t annotationCount() const;
    // A copy of the list, in record order.
    std::vector<JexAnnotation> annotations() const;
    // False when `index` is out of range.
    bool annotationAt(size_t index, JexAnnotation& annotation) const;
    // Appends; records keep the order in which annotations were added.
    void addAnnotation(const JexAnnotation& annotation);
    bool removeAnnotation(size_t index);
    bool replaceAnnotation(size_t index, const JexAnnotation& annotation);
    // Appends the "Copy Started" annotation at `start` and the "Copy Stopped" one at `end`.
    void addCopyMarkers(const WallClockTime& start, const WallClockTime& end);

    // Indices of the annotations whose event contains `text` (case-sensitive), in order.
    std::vector<size_t> findAnnotations(const std::string& text) const;
    // Copies of those annotations.
    std::vector<JexAnnotation> annotationsContaining(const std::string& text) const;
    // The first index from `startIndex` on whose event contains `text`; false when none.
    bool findNextAnnotation(const std::string& text, size_t startIndex, size_t& foundIndex) const;

    // The annotations as an HTML page of two tables (session, then time, speaker and event);
    // markup characters of the texts are escaped. True when everything was written.
    bool exportAsHtml(std::ostream& out) const;
    // The annotations as text: a "Session : " line, then one paragraph per annotation.
    bool exportAsText(std::ostream& out) const;

    const JexSessionLabel& label() const { return label_; }
    std::string recordPath() const;
    RecordState recordState() const;
    // Why the last load, reload or save failed, in words ("" after a success).
    std::string lastError() const;
    // The "location" and "date" attributes of the record as last read.
    std::string recordedLocation() const;
    std::string recordedDate() const;

private:
    // What identifies one version of the record file without reading it.
    struct FileIdentity {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modifiedNanoseconds = 0;
        int64_t changedNanoseconds = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    static FileIdentity identify(const std::string& path);
    // True when `identity` is the version last read or written and old enough to be sure of.
    bool isSameSettledVersion(const FileIdentity& identity) const;

    RecordState readFromDisk(bool& changed);
    // Reads the annotations of a record's text; with `eventFilter`, only those whose event
    // contains it. `location` and `date` receive the root's attributes.
    static bool parseRecord(const std::string& bytes, const std::string* eventFilter,
                            std::vector<JexAnnotation>& annotations, std::string& location,
                            std::string& date, std::string& error);
    RecordState fail(RecordState state, const std::string& error);
    bool refuseSave(const std::string& error, std::string* out);
    // True when the file on disk is the version this session last read or wrote.
    bool diskMatchesLastRead();

    const JexSessionLabel label_;
    mutable std::recursive_mutex mutex_;
    std::vector<JexAnnotation> annotations_;
    std::string recordPath_;
    RecordState state_ = RecordState::kNotRead;
    std::string lastError_;
    std::string recordedLocation_;
    std::string recordedDate_;
    FileIdentity lastIdentity_;
    size_t lastContentHash_ = 0;
};
