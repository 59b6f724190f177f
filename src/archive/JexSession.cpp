#include "JexSession.h"

#include <sys/stat.h>
#include <time.h>
#include <tinyxml.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <string_view>

#include "AvDebugLogger.h"
#include "FileIo.h"
#include "KorvalisAnnotationsPacker.h"
#include "WallClockTime.h"
#include "XmlPacker.h"
#include "XmlTextParser.h"

namespace {

size_t contentHash(std::string_view bytes) {
    return std::hash<std::string_view>{}(bytes);
}

// The texts of the HTML export are data, never markup.
std::string htmlEscaped(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace

JexSession::JexSession(std::string locationName, int year, int month, int day)
    : label_(std::move(locationName), year, month, day) {}

JexSession::JexSession(const JexSessionLabel& label) : label_(label) {}

JexSession::FileIdentity JexSession::identify(const std::string& path) {
    FileIdentity identity;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        // Anything but "not there" counts as present, so that the read reports it.
        identity.exists = errno != ENOENT && errno != ENOTDIR;
        return identity;
    }
    identity.exists = true;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.size = status.st_size;
    identity.modifiedNanoseconds =
        static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    identity.changedNanoseconds =
        static_cast<int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
    return identity;
}

bool JexSession::isSameSettledVersion(const FileIdentity& identity) const {
    if (!(identity == lastIdentity_)) {
        return false;
    }
    // File times advance in coarse steps: a file rewritten with the same size within the step
    // of the version read looks the same. Only versions older than that are trusted unread.
    constexpr int64_t kTimeStepNanoseconds = 2'000'000'000;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t nowNanoseconds = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    return !identity.exists ||
           nowNanoseconds - std::max(identity.modifiedNanoseconds, identity.changedNanoseconds) >
               kTimeStepNanoseconds;
}

JexSession::RecordState JexSession::fail(RecordState state, const std::string& error) {
    state_ = state;
    lastError_ = error;
    AvDebugLogger::instance().log(AvDebugLogger::kWarning, "JexSession: %s", error.c_str());
    return state;
}

JexSession::RecordState JexSession::load(const std::string& databasesDirectory) {
    std::lock_guard lock(mutex_);
    recordPath_ = label_.recordPath(databasesDirectory);
    state_ = RecordState::kNotRead;
    bool changed = false;
    return readFromDisk(changed);
}

JexSession::RecordState JexSession::reload(bool& changed) {
    std::lock_guard lock(mutex_);
    changed = false;
    if (recordPath_.empty()) {
        return fail(state_, "The session " + label_.labelText() + " has no record to reload.");
    }
    if (state_ != RecordState::kNotRead && isSameSettledVersion(identify(recordPath_))) {
        return state_;
    }
    return readFromDisk(changed);
}

JexSession::RecordState JexSession::readFromDisk(bool& changed) {
    changed = false;
    const FileIdentity identity = identify(recordPath_);
    lastIdentity_ = identity;
    if (!identity.exists) {
        changed = !annotations_.empty();
        annotations_.clear();
        recordedLocation_.clear();
        recordedDate_.clear();
        lastContentHash_ = 0;
        lastError_.clear();
        return state_ = RecordState::kMissing;
    }
    std::string bytes;
    std::string error;
    if (!FileIo::readWholeFile(recordPath_, bytes, kMaximumRecordBytes, &error)) {
        return fail(RecordState::kUnreadable,
                    "The session record " + recordPath_ + " could not be read: " + error + ".");
    }
    const size_t hash = contentHash(bytes);
    if (state_ == RecordState::kLoaded && hash == lastContentHash_) {
        return state_;
    }
    lastContentHash_ = hash;
    std::vector<JexAnnotation> annotations;
    if (!parseRecord(bytes, nullptr, annotations, recordedLocation_, recordedDate_, error)) {
        return fail(RecordState::kMalformed, "The session record " + recordPath_ +
                                                 " is not a readable session record: " + error +
                                                 ".");
    }
    annotations_ = std::move(annotations);
    changed = true;
    lastError_.clear();
    return state_ = RecordState::kLoaded;
}

JexSession::RecordState JexSession::readRecordText(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::vector<JexAnnotation> annotations;
    std::string error;
    if (!parseRecord(text, nullptr, annotations, recordedLocation_, recordedDate_, error)) {
        return fail(RecordState::kMalformed, "The session record is not readable: " + error + ".");
    }
    annotations_ = std::move(annotations);
    lastError_.clear();
    return state_ = RecordState::kLoaded;
}

bool JexSession::parseRecord(const std::string& bytes, const std::string* eventFilter,
                             std::vector<JexAnnotation>& annotations, std::string& location,
                             std::string& date, std::string& error) {
    // Texts are UTF-8 in memory, whatever the record was written in.
    std::string text;
    TiXmlDocument document;
    if (!XmlTextParser::toUtf8(bytes, text, &error) ||
        !XmlTextParser::parse(text, document, &error)) {
        return false;
    }
    const TiXmlElement* database = document.FirstChildElement();
    if (database == nullptr) {
        error = "it holds no element";
        return false;
    }
    const std::string* locationAttribute = database->Attribute(std::string("location"));
    const std::string* dateAttribute = database->Attribute(std::string("date"));
    location = locationAttribute != nullptr ? *locationAttribute : "";
    date = dateAttribute != nullptr ? *dateAttribute : "";
    const TiXmlElement* list = database->FirstChildElement();
    if (list == nullptr) {
        return true;
    }
    KorvalisAnnotationsPacker reader;
    for (const TiXmlElement* element = list->FirstChildElement(); element != nullptr;
         element = element->NextSiblingElement()) {
        if (eventFilter != nullptr) {
            // The event is the element's text (see KorvalisAnnotationsPacker).
            const char* event = element->GetText();
            if (std::string_view(event != nullptr ? event : "").find(*eventFilter) ==
                std::string_view::npos) {
                continue;
            }
        }
        reader.unpackFrom(element);
        JexAnnotation annotation;
        annotation.unpack(reader);
        annotations.push_back(std::move(annotation));
    }
    return true;
}

bool JexSession::recordMayHoldEvent(std::string_view recordBytes, std::string_view text) {
    // Character references may spell anything.
    if (recordBytes.find("&#") != std::string_view::npos) {
        return true;
    }
    // Blanks may be collapsed and markup characters escaped in the file, but every run of other
    // characters of the text stands there literally.
    static constexpr std::string_view kSpelledOtherwise = "&<>\"' \t\n\r\v\f";
    size_t start = 0;
    while ((start = text.find_first_not_of(kSpelledOtherwise, start)) != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(kSpelledOtherwise, start), text.size());
        if (recordBytes.find(text.substr(start, end - start)) == std::string_view::npos) {
            return false;
        }
        start = end;
    }
    return true;
}

JexSession::RecordState JexSession::findInRecord(const std::string& recordPath,
                                                 const std::string& text,
                                                 std::vector<JexAnnotation>& found,
                                                 std::string& error) {
    if (!identify(recordPath).exists) {
        return RecordState::kMissing;
    }
    std::string raw;
    std::string reason;
    if (!FileIo::readWholeFile(recordPath, raw, kMaximumRecordBytes, &reason)) {
        error = "The session record " + recordPath + " could not be read: " + reason + ".";
        return RecordState::kUnreadable;
    }
    // The text is searched for as the reader will decode it.
    std::string bytes;
    if (!XmlTextParser::toUtf8(raw, bytes, &reason)) {
        error = "The session record " + recordPath +
                " is not a readable session record: " + reason + ".";
        return RecordState::kMalformed;
    }
    if (!recordMayHoldEvent(bytes, text)) {
        return RecordState::kLoaded;
    }
    std::string location;
    std::string date;
    if (!parseRecord(bytes, &text, found, location, date, reason)) {
        error = "The session record " + recordPath +
                " is not a readable session record: " + reason + ".";
        return RecordState::kMalformed;
    }
    return RecordState::kLoaded;
}

std::string JexSession::recordText() const {
    std::lock_guard lock(mutex_);
    TiXmlElement database("database");
    database.SetAttribute("date", label_.dateText());
    database.SetAttribute("location", label_.locationName());
    auto* list = new TiXmlElement("annotations");
    database.LinkEndChild(list);
    KorvalisAnnotationsPacker packer;
    for (const JexAnnotation& annotation : annotations_) {
        packer.beginPacking();
        annotation.packAsRecordElement(packer);
        list->InsertEndChild(*packer.annotationElement());
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n" + XmlPacker::printXml(database);
}

void JexSession::setDatabasesDirectory(const std::string& databasesDirectory) {
    std::lock_guard lock(mutex_);
    recordPath_ = label_.recordPath(databasesDirectory);
    state_ = RecordState::kNotRead;
    lastError_.clear();
}

bool JexSession::refuseSave(const std::string& error, std::string* out) {
    lastError_ = error;
    AvDebugLogger::instance().log(AvDebugLogger::kWarning, "JexSession: %s", error.c_str());
    if (out != nullptr) {
        *out = error;
    }
    return false;
}

bool JexSession::diskMatchesLastRead() {
    const FileIdentity identity = identify(recordPath_);
    if (isSameSettledVersion(identity)) {
        return true;
    }
    if (identity.exists != lastIdentity_.exists) {
        return false;
    }
    // Touched but perhaps not changed: compare the bytes.
    std::string bytes;
    return FileIo::readWholeFile(recordPath_, bytes, kMaximumRecordBytes) &&
           contentHash(bytes) == lastContentHash_;
}

bool JexSession::save(std::string* error) {
    std::lock_guard lock(mutex_);
    if (recordPath_.empty()) {
        return refuseSave("The session " + label_.labelText() + " has no record file to save to.",
                          error);
    }
    if (state_ == RecordState::kUnreadable || state_ == RecordState::kMalformed) {
        return refuseSave("The session record " + recordPath_ +
                              " could not be read, so it is left as it is. " + lastError_,
                          error);
    }
    if (state_ != RecordState::kNotRead && !diskMatchesLastRead()) {
        return refuseSave("The session record " + recordPath_ +
                              " was changed by another program since it was read; reload it "
                              "before saving.",
                          error);
    }
    const std::string directory = std::filesystem::path(recordPath_).parent_path().string();
    std::error_code code;
    if (!directory.empty()) {
        std::filesystem::create_directories(directory, code);
    }
    // The record is at least as long as the texts it holds: a cheap refusal before printing.
    uint64_t textBytes = 0;
    for (const JexAnnotation& annotation : annotations_) {
        textBytes += annotation.event().size() + annotation.labelData().size() +
                     annotation.user().size() + annotation.labelTitle().size();
    }
    const std::string text = textBytes > kMaximumSavedRecordBytes ? std::string() : recordText();
    if (textBytes > kMaximumSavedRecordBytes || text.size() > kMaximumSavedRecordBytes) {
        return refuseSave("The session record " + recordPath_ + " would be larger than " +
                              std::to_string(kMaximumSavedRecordBytes >> 20) +
                              " MB, more than a record may hold; it is left as it is.",
                          error);
    }
    std::string writeError;
    if (!FileIo::writeFileAtomically(recordPath_, text, &writeError)) {
        return refuseSave(
            "The session record " + recordPath_ + " could not be written: " + writeError + ".",
            error);
    }
    lastIdentity_ = identify(recordPath_);
    lastContentHash_ = contentHash(text);
    recordedLocation_ = label_.locationName();
    recordedDate_ = label_.dateText();
    lastError_.clear();
    state_ = RecordState::kLoaded;
    return true;
}

size_t JexSession::annotationCount() const {
    std::lock_guard lock(mutex_);
    return annotations_.size();
}

std::vector<JexAnnotation> JexSession::annotations() const {
    std::lock_guard lock(mutex_);
    return annotations_;
}

bool JexSession::annotationAt(size_t index, JexAnnotation& annotation) const {
    std::lock_guard lock(mutex_);
    if (index >= annotations_.size()) {
        return false;
    }
    annotation = annotations_[index];
    return true;
}

void JexSession::addAnnotation(const JexAnnotation& annotation) {
    std::lock_guard lock(mutex_);
    annotations_.push_back(annotation);
}

bool JexSession::removeAnnotation(size_t index) {
    std::lock_guard lock(mutex_);
    if (index >= annotations_.size()) {
        return false;
    }
    annotations_.erase(annotations_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool JexSession::replaceAnnotation(size_t index, const JexAnnotation& annotation) {
    std::lock_guard lock(mutex_);
    if (index >= annotations_.size()) {
        return false;
    }
    annotations_[index] = annotation;
    return true;
}

void JexSession::addCopyMarkers(const WallClockTime& start, const WallClockTime& end) {
    std::lock_guard lock(mutex_);
    annotations_.push_back(
        JexAnnotation::copyMarker(JexAnnotation::kCopyStarted, start, label_.locationName()));
    annotations_.push_back(
        JexAnnotation::copyMarker(JexAnnotation::kCopyStopped, end, label_.locationName()));
}

std::vector<size_t> JexSession::findAnnotations(const std::string& text) const {
    std::lock_guard lock(mutex_);
    std::vector<size_t> found;
    for (size_t i = 0; i < annotations_.size(); ++i) {
        if (annotations_[i].eventContains(text)) {
            found.push_back(i);
        }
    }
    return found;
}

std::vector<JexAnnotation> JexSession::annotationsContaining(const std::string& text) const {
    std::lock_guard lock(mutex_);
    std::vector<JexAnnotation> found;
    for (const size_t index : findAnnotations(text)) {
        found.push_back(annotations_[index]);
    }
    return found;
}

bool JexSession::findNextAnnotation(const std::string& text, size_t startIndex,
                                    size_t& foundIndex) const {
    std::lock_guard lock(mutex_);
    for (size_t i = startIndex; i < annotations_.size(); ++i) {
        if (annotations_[i].eventContains(text)) {
            foundIndex = i;
            return true;
        }
    }
    return false;
}

bool JexSession::exportAsHtml(std::ostream& out) const {
    std::lock_guard lock(mutex_);
    out << "<html><table border=\"1\"><th>Location</th><th>Date</th>"
        << "<tr><td>" << htmlEscaped(label_.locationName()) << "</td><td>" << label_.month() << "/"
        << label_.day() << "/" << label_.year() << "</td></tr></table><br>"
        << "<body><table border=\"1\"><th>Time</th><th>Speaker</th><th>Event</th>";
    for (const JexAnnotation& annotation : annotations_) {
        out << "<tr><td>" << htmlEscaped(annotation.displayDate()) << "  "
            << htmlEscaped(annotation.displayTime()) << "&nbsp;</td><td>&nbsp;"
            << htmlEscaped(annotation.labelData()) << " </td><td>&nbsp;"
            << htmlEscaped(annotation.event()) << " </td></tr>\n";
        if (!out) {
            return false;
        }
    }
    out << "</table></body></html>";
    out.flush();
    return static_cast<bool>(out);
}

bool JexSession::exportAsText(std::ostream& out) const {
    std::lock_guard lock(mutex_);
    out << "Session : " << label_.locationName() << ", " << label_.month() << "/" << label_.day()
        << "/" << label_.year() << "\n\n";
    for (const JexAnnotation& annotation : annotations_) {
        out << annotation.displayDate() << "  " << annotation.displayTime() << "\t\t"
            << annotation.labelData() << "\t\t" << annotation.event() << "\n\n";
        if (!out) {
            return false;
        }
    }
    out.flush();
    return static_cast<bool>(out);
}

std::string JexSession::recordPath() const {
    std::lock_guard lock(mutex_);
    return recordPath_;
}

JexSession::RecordState JexSession::recordState() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::string JexSession::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

std::string JexSession::recordedLocation() const {
    std::lock_guard lock(mutex_);
    return recordedLocation_;
}

std::string JexSession::recordedDate() const {
    std::lock_guard lock(mutex_);
    return recordedDate_;
}
