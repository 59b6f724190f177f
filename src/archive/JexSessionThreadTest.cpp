// The live refresh reloads a session record on its own thread while the user-interface thread
// reads, searches, exports and edits the same session, and the recorder rewrites the file.

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "JexSession.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"

namespace {

constexpr double kNine = 1268661600.0;

std::vector<JexAnnotation> annotations(int count) {
    std::vector<JexAnnotation> list;
    for (int i = 0; i < count; ++i) {
        list.push_back(
            TestArchiveBuilder::annotation(kNine + i, "Judge", "Objection " + std::to_string(i)));
    }
    return list;
}

TEST(JexSessionThreadTest, RefreshEditAndRecorderWritesInterleaveSafely) {
    TemporaryDirectory scratch("jexsession-threads-");
    TestArchiveBuilder archive(scratch.path());
    archive.addSessionRecord("COURT1", 2010, 3, 15, annotations(10));
    JexSession session("COURT1", 2010, 3, 15);
    ASSERT_EQ(session.load(archive.databasesPath()), JexSession::RecordState::kLoaded);

    constexpr int kRewrites = 60;
    std::atomic<bool> recorderDone{false};
    std::atomic<int> changes{0};
    std::thread recorder([&] {
        for (int i = 1; i <= kRewrites; ++i) {
            archive.addSessionRecord("COURT1", 2010, 3, 15, annotations(10 + i));
        }
        recorderDone = true;
    });
    std::thread refresh([&] {
        while (!recorderDone) {
            bool changed = false;
            session.reload(changed);
            changes += changed ? 1 : 0;
        }
    });
    size_t exported = 0;
    while (!recorderDone) {
        std::ostringstream text;
        session.exportAsText(text);
        exported += text.str().size();
        session.findAnnotations("Objection 5");
        session.addAnnotation(TestArchiveBuilder::annotation(kNine, "Clerk", "typed"));
        session.annotations();
        session.save();  // mostly refused: the recorder keeps changing the file
    }
    recorder.join();
    refresh.join();

    // The list is the file's, and the file is one whole version: a recorder's list of objections
    // (numbered from 0 without a gap), possibly followed by annotations the user-interface
    // thread saved over it. Which writer came last is a race between two programs that share no
    // lock, so the number of objections is not fixed; a torn or mixed file would break the order.
    bool changed = false;
    ASSERT_EQ(session.reload(changed), JexSession::RecordState::kLoaded);
    JexSession fresh("COURT1", 2010, 3, 15);
    ASSERT_EQ(fresh.load(archive.databasesPath()), JexSession::RecordState::kLoaded);
    EXPECT_EQ(session.recordText(), fresh.recordText());
    size_t objections = 0;
    bool typedSeen = false;
    for (const JexAnnotation& annotation : session.annotations()) {
        if (annotation.event() == "typed") {
            typedSeen = true;
        } else {
            EXPECT_FALSE(typedSeen) << "an objection after a typed annotation";
            EXPECT_EQ(annotation.event(), "Objection " + std::to_string(objections));
            ++objections;
        }
    }
    EXPECT_GE(objections, 10u);
    EXPECT_LE(objections, static_cast<size_t>(10 + kRewrites));
    EXPECT_GT(changes.load() + (changed ? 1 : 0), 0);
    EXPECT_GT(exported, 0u);
}

}  // namespace
