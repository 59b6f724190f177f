#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>
#include <vector>

#include "AvDebugLogger.h"
#include "TemporaryDirectory.h"

namespace {

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The logger is process-wide: each test gets its own directory and leaves the logger closed.
class AvDebugLoggerTest : public ::testing::Test {
protected:
    void SetUp() override { AvDebugLogger::instance().setMinimumLevel(0); }
    void TearDown() override {
        AvDebugLogger::instance().disableLoggingToFile();
        AvDebugLogger::instance().setWallClockForTesting(nullptr);
        AvDebugLogger::instance().setMinimumLevel(0);
    }

    TemporaryDirectory scratch_{"logger-"};
    const std::string base_{scratch_.file("Galewick_DEBUG")};
};

const std::regex kLinePattern(
    R"(\[([0-9]+\.[0-9]{5}), ([0-9]+\.[0-9]{5}), PO=([0-9]+\.[0-9]{5})\](.{13}) (.*))");

TEST_F(AvDebugLoggerTest, WritesTheLineFormat) {
    AvDebugLogger& logger = AvDebugLogger::instance();
    ASSERT_TRUE(logger.enableLoggingToFile(base_, 0));
    logger.log(AvDebugLogger::kInfo, "hello %d %s", 42, "world");
    logger.log(AvDebugLogger::kSevere, "second");
    logger.disableLoggingToFile();

    auto lines = readLines(base_ + ".txt");
    ASSERT_EQ(lines.size(), 2u);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, kLinePattern)) << lines[0];
    EXPECT_EQ(match[4].str(), "Info         ");
    EXPECT_EQ(match[5].str(), "hello 42 world");
    ASSERT_TRUE(std::regex_match(lines[1], match, kLinePattern)) << lines[1];
    EXPECT_EQ(match[4].str(), "Severe       ");
    EXPECT_EQ(lines[1].substr(lines[1].find(']') + 1), "Severe        second");
}

TEST_F(AvDebugLoggerTest, LevelNamesArePaddedAndClamped) {
    const char* expected[] = {"Lowest       ", "DetailedTrace", "MedTrace     ", "CoarseTrace  ",
                              "Info         ", "Warning      ", "Severe       ", "Highest      "};
    for (int level = 0; level < 8; ++level) {
        EXPECT_STREQ(AvDebugLogger::levelName(level), expected[level]);
    }
    EXPECT_STREQ(AvDebugLogger::levelName(-3), expected[0]);
    EXPECT_STREQ(AvDebugLogger::levelName(99), expected[7]);
}

TEST_F(AvDebugLoggerTest, MinimumLevelDropsLowerMessages) {
    AvDebugLogger& logger = AvDebugLogger::instance();
    ASSERT_TRUE(logger.enableLoggingToFile(base_, 0));
    logger.setMinimumLevel(AvDebugLogger::kWarning);
    logger.log(AvDebugLogger::kInfo, "dropped");
    logger.log(AvDebugLogger::kWarning, "kept");
    logger.disableLoggingToFile();
    auto lines = readLines(base_ + ".txt");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("kept"), std::string::npos);
}

TEST_F(AvDebugLoggerTest, RotatesAfterTheMaximum) {
    AvDebugLogger& logger = AvDebugLogger::instance();
    ASSERT_TRUE(logger.enableLoggingToFile(base_, 3));
    for (int i = 1; i <= 4; ++i) {
        logger.log(AvDebugLogger::kInfo, "line %d", i);
    }
    auto prior = readLines(base_ + "-prior.txt");
    ASSERT_EQ(prior.size(), 4u);
    EXPECT_NE(prior[3].find("line 4"), std::string::npos);
    EXPECT_TRUE(readLines(base_ + "-accumulating.txt").empty());

    // A second rotation replaces the prior file.
    for (int i = 5; i <= 8; ++i) {
        logger.log(AvDebugLogger::kInfo, "line %d", i);
    }
    prior = readLines(base_ + "-prior.txt");
    ASSERT_EQ(prior.size(), 4u);
    EXPECT_NE(prior[0].find("line 5"), std::string::npos);
}

TEST_F(AvDebugLoggerTest, WallClockStepBackWritesTheTimeJumpLine) {
    AvDebugLogger& logger = AvDebugLogger::instance();
    double wall = 2000000000.0;
    logger.setWallClockForTesting([&wall] { return wall; });
    ASSERT_TRUE(logger.enableLoggingToFile(base_, 0));
    logger.log(AvDebugLogger::kInfo, "first");
    wall -= 10.0;
    logger.log(AvDebugLogger::kInfo, "second");
    wall += 5.0;
    logger.log(AvDebugLogger::kInfo, "third");
    logger.disableLoggingToFile();
    auto lines = readLines(base_ + ".txt");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "**************************** TIME JUMP ERROR!!!!!!!!!!!");
    EXPECT_NE(lines[2].find("second"), std::string::npos);
    EXPECT_NE(lines[2].find(", 1999999990.00000, "), std::string::npos);
    EXPECT_NE(lines[3].find("third"), std::string::npos);
}

TEST_F(AvDebugLoggerTest, LongMessagesAreCut) {
    AvDebugLogger& logger = AvDebugLogger::instance();
    ASSERT_TRUE(logger.enableLoggingToFile(base_, 0));
    logger.log(AvDebugLogger::kInfo, "%s", std::string(5000, 'x').c_str());
    logger.disableLoggingToFile();
    auto lines = readLines(base_ + ".txt");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].find(']') + 15), std::string(999, 'x'));
}

TEST_F(AvDebugLoggerTest, ConcurrentWritersProduceWholeLinesInLockOrder) {
    AvDebugLogger& logger = AvDebugLogger::instance();
    ASSERT_TRUE(logger.enableLoggingToFile(base_, 0));
    constexpr int kThreads = 6;
    constexpr int kMessages = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&logger, t] {
            for (int i = 0; i < kMessages; ++i) {
                logger.log(AvDebugLogger::kInfo, "thread %d message %d", t, i);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    logger.disableLoggingToFile();

    auto lines = readLines(base_ + ".txt");
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kMessages));
    std::vector<int> next(kThreads, 0);
    double previousRelative = 0.0;
    const std::regex message(R"(thread ([0-9]+) message ([0-9]+))");
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kLinePattern)) << line;
        const double relative = std::stod(match[1].str());
        EXPECT_GE(relative, previousRelative);
        previousRelative = relative;
        const std::string text = match[5].str();
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(text, parts, message)) << text;
        const int thread = std::stoi(parts[1].str());
        EXPECT_EQ(std::stoi(parts[2].str()), next[thread]++);
    }
}

}  // namespace
