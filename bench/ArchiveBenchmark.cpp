// Session discovery and the search over all sessions, on a generated archive of 1,000 session
// records (20 locations x 50 days) with 500 annotations each, beside `grep -rl` over the same
// Databases directory as the anchor. Both run with the records in the page cache.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ArchiveSessionSet.h"
#include "JexSession.h"
#include "TemporaryDirectory.h"
#include "TestArchiveBuilder.h"

namespace {

constexpr int kLocations = 20;
constexpr int kDays = 50;
constexpr int kAnnotationsPerSession = 500;
constexpr double kFirstDay = 1268661600.0;  // 2010-03-15 14:00:00 UTC

// "Objection" is in every session; "Exhibit 4711" in every hundredth.
constexpr const char* kCommonText = "Objection";
constexpr const char* kRareText = "Exhibit 4711";

struct GeneratedArchive {
    TemporaryDirectory directory{"bench-archive-"};
    std::string root = directory.file("archive");
};

const GeneratedArchive& archive() {
    static const std::unique_ptr<GeneratedArchive> generated = [] {
        auto made = std::make_unique<GeneratedArchive>();
        TestArchiveBuilder builder(made->root);
        static const char* kEvents[] = {"Court in session",
                                        "Witness sworn in",
                                        "Cross-examination begins",
                                        "Objection: hearsay",
                                        "Sustained",
                                        "Counsel approaches the bench",
                                        "Document marked for identification",
                                        "Recess"};
        static const char* kSpeakers[] = {"Judge Amsel", "Counsel for the claimant",
                                          "Counsel for the defence", "Clerk", "Witness"};
        int session = 0;
        for (int location = 1; location <= kLocations; ++location) {
            char name[16];
            std::snprintf(name, sizeof name, "COURT%02d", location);
            for (int day = 0; day < kDays; ++day, ++session) {
                const double start = kFirstDay + 86400.0 * day;
                std::vector<JexAnnotation> annotations;
                annotations.reserve(kAnnotationsPerSession);
                for (int i = 0; i < kAnnotationsPerSession; ++i) {
                    std::string event = kEvents[(i + session) % 8];
                    if (i == 250 && session % 100 == 0) {
                        event = std::string(kRareText) + " admitted";
                    }
                    annotations.push_back(
                        TestArchiveBuilder::annotation(start + 7.0 * i, kSpeakers[i % 5],
                                                       event + " #" + std::to_string(i), i, -5));
                }
                const int month = 3 + day / 28;
                const int dayOfMonth = 1 + day % 28;
                builder.addSessionRecord(name, 2010, month, dayOfMonth, annotations);
                builder.addSessionMedia(name, 2010, month, dayOfMonth, 2, start, 1, false);
            }
        }
        return made;
    }();
    return *generated;
}

void BM_DiscoverSessions(benchmark::State& state) {
    const std::string& root = archive().root;
    size_t sessions = 0;
    for (auto _ : state) {
        ArchiveSessionSet set(root);
        std::vector<std::string> locations;
        set.getAllLocationNames(locations);
        sessions = 0;
        for (const std::string& location : locations) {
            std::vector<SessionDateEntry> dates;
            set.getAllDatesForLocationName(dates, location);
            sessions += dates.size();
        }
    }
    state.counters["sessions"] = static_cast<double>(sessions);
}
BENCHMARK(BM_DiscoverSessions)->Unit(benchmark::kMillisecond);

void BM_DiscoverSessionsWithChannelCounts(benchmark::State& state) {
    const std::string& root = archive().root;
    int channels = 0;
    for (auto _ : state) {
        ArchiveSessionSet set(root);
        std::vector<std::string> locations;
        set.getAllLocationNames(locations);
        channels = 0;
        for (const std::string& location : locations) {
            std::string found;
            std::vector<SessionDateEntry> dates;
            set.findRootForLocation(location, found);
            set.getAllDatesForLocationName(dates, location);
            for (const SessionDateEntry& date : dates) {
                channels += set.countNumberedDirectories(set.recordingsPath(found), date.year,
                                                         date.month, date.day, location);
            }
        }
    }
    state.counters["channels"] = channels;
}
BENCHMARK(BM_DiscoverSessionsWithChannelCounts)->Unit(benchmark::kMillisecond);

void BM_LoadOneRecord(benchmark::State& state) {
    const std::string databases = archive().root + "/Databases";
    for (auto _ : state) {
        JexSession session("COURT01", 2010, 3, 1);
        benchmark::DoNotOptimize(session.load(databases));
    }
    state.SetItemsProcessed(state.iterations() * kAnnotationsPerSession);
}
BENCHMARK(BM_LoadOneRecord)->Unit(benchmark::kMicrosecond);

// Seconds of one `grep OPTIONS TEXT` over the Databases directory, the best of three. With -l
// grep stops reading a file at its first match; with -c it reads every file whole.
double grepSeconds(const std::string& options, const std::string& text) {
    const std::string command =
        "grep " + options + " '" + text + "' '" + archive().root + "/Databases' > /dev/null";
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            return -1;
        }
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void searchAllSessions(benchmark::State& state, const char* text) {
    const std::string& root = archive().root;
    size_t matches = 0;
    std::vector<double> seconds;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ArchiveSessionSet set(root);
        std::vector<SessionSearchHit> hits;
        set.searchAllSessions(text, hits);
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        matches = 0;
        for (const SessionSearchHit& hit : hits) {
            matches += hit.annotations.size();
        }
    }
    const double grep = grepSeconds("-rl", text);
    const double grepWhole = grepSeconds("-rc", text);
    const double best = *std::min_element(seconds.begin(), seconds.end());
    state.counters["matches"] = static_cast<double>(matches);
    state.counters["grep_rl_ms"] = grep * 1000.0;
    state.counters["ratio_to_grep_rl"] = grep > 0 ? best / grep : 0;
    state.counters["grep_rc_ms"] = grepWhole * 1000.0;
    state.counters["ratio_to_grep_rc"] = grepWhole > 0 ? best / grepWhole : 0;
}

void BM_SearchAllSessionsCommonText(benchmark::State& state) {
    searchAllSessions(state, kCommonText);
}
BENCHMARK(BM_SearchAllSessionsCommonText)->Unit(benchmark::kMillisecond);

void BM_SearchAllSessionsRareText(benchmark::State& state) {
    searchAllSessions(state, kRareText);
}
BENCHMARK(BM_SearchAllSessionsRareText)->Unit(benchmark::kMillisecond);

void BM_GrepRecords(benchmark::State& state) {
    const std::string command = "grep -rl '" + std::string(kCommonText) + "' '" + archive().root +
                                "/Databases' > /dev/null";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(std::system(command.c_str()));
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_GrepRecords)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
