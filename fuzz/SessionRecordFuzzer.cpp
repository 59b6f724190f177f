// Feeds arbitrary bytes to the session record reader, then exports, searches and saves what it
// read. What this system writes must read back, and writing it again must give the same text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "JexSession.h"
#include "Utf8Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    JexSession session("COURT1", 2010, 3, 15);
    if (session.readRecordText(text) != JexSession::RecordState::kLoaded) {
        return 0;
    }
    std::ostringstream html;
    std::ostringstream plain;
    if (!session.exportAsHtml(html) || !session.exportAsText(plain)) {
        std::abort();
    }
    session.findAnnotations("Objection");
    size_t found = 0;
    session.findNextAnnotation("", 0, found);

    // What is saved is UTF-8 and reads back as the same record. (Characters XML cannot carry
    // were replaced in the first save, so the annotations themselves may differ.)
    const std::string printed = session.recordText();
    if (!Utf8Text::isWellFormed(printed)) {
        std::abort();
    }
    JexSession second("COURT1", 2010, 3, 15);
    if (second.readRecordText(printed) != JexSession::RecordState::kLoaded ||
        second.annotationCount() != session.annotationCount() || second.recordText() != printed) {
        std::abort();
    }
    return 0;
}
