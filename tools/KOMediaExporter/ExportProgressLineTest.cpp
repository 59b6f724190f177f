// The progress line: its words, and how often it is written where nobody watches it redraw.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ExportProgressLine.h"

namespace {

// What a line written to a memory stream holds.
class CapturedStream {
public:
    CapturedStream() : stream_(open_memstream(&buffer_, &size_)) {}
    ~CapturedStream() {
        std::fclose(stream_);
        std::free(buffer_);
    }
    std::FILE* stream() { return stream_; }
    std::string text() {
        std::fflush(stream_);
        return std::string(buffer_, size_);
    }

private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE* stream_;
};

int count(const std::string& text, const std::string& what) {
    int found = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++found;
    }
    return found;
}

TEST(ExportProgressLineTest, SaysHowFarInMinutesHoursAndWholePercent) {
    EXPECT_EQ(ExportProgressLine::text(750.0, 2700.0), "exported 12:30 of 45:00 (27 %)");
    EXPECT_EQ(ExportProgressLine::text(3723.9, 43200.0), "exported 1:02:03 of 12:00:00 (8 %)");
    EXPECT_EQ(ExportProgressLine::text(0.0, 59.0), "exported 0:00 of 0:59 (0 %)");
    // Never more than all of it, nor a division by nothing.
    EXPECT_EQ(ExportProgressLine::text(61.0, 60.0), "exported 1:01 of 1:00 (100 %)");
    EXPECT_EQ(ExportProgressLine::text(0.0, 0.0), "exported 0:00 of 0:00 (100 %)");
}

TEST(ExportProgressLineTest, ALogGetsALineEachTenthAndATerminalOneRedrawnLine) {
    CapturedStream log;
    ExportProgressLine logLine(log.stream(), false);
    for (int second = 1; second <= 43200; ++second) {
        logLine.update(second, 43200.0);
    }
    logLine.finish(43200.0, 43200.0);
    const std::string logged = log.text();
    EXPECT_EQ(count(logged, "\n"), 11) << logged;  // 0 %, 10 %, ... 100 %
    EXPECT_EQ(count(logged, "\r"), 0);
    EXPECT_NE(logged.find("exported 12:00:00 of 12:00:00 (100 %)\n"), std::string::npos);

    CapturedStream terminal;
    ExportProgressLine terminalLine(terminal.stream(), true);
    terminalLine.update(5.0, 100.0);
    terminalLine.update(6.0, 100.0);  // within a quarter second: not drawn
    terminalLine.finish(100.0, 100.0);
    const std::string drawn = terminal.text();
    EXPECT_EQ(drawn, "\rexported 0:05 of 1:40 (5 %)\rexported 1:40 of 1:40 (100 %)\n");
}

}  // namespace
