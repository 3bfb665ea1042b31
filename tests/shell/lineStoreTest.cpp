#include "shell/lineStore.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

namespace {

// Records every line it is told of. It is called under the store's lock, so
// its record is the order in which the store took the lines.
class recordingSurface : public drawSurface {
public:
    void LineAdded(const std::string& newest) override { seen.push_back(newest); }
    std::vector<std::string> seen;
};

std::vector<std::string> Numbered(int first, int last) {
    std::vector<std::string> lines;
    for (int i = first; i <= last; ++i) {
        lines.push_back("line " + std::to_string(i));
    }
    return lines;
}

struct ringCase {
    int reports;
    int firstHeld;
};

void PrintTo(const ringCase& c, std::ostream* out) {
    *out << c.reports << " reports";
}

class lineStoreRing : public testing::TestWithParam<ringCase> {};

TEST_P(lineStoreRing, HoldsTheLatestLinesOldestFirst) {
    lineStore store;
    recordingSurface surface;
    for (const std::string& line : Numbered(1, GetParam().reports)) {
        store.AddLine(&surface, line);
    }
    EXPECT_EQ(store.Lines(), Numbered(GetParam().firstHeld, GetParam().reports));
    EXPECT_EQ(surface.seen, Numbered(1, GetParam().reports));
}

// One report; exactly a full ring; the report that drops the first line; a
// ring that has gone round more than twice.
INSTANTIATE_TEST_SUITE_P(, lineStoreRing,
                         testing::Values(ringCase{1, 1}, ringCase{48, 1}, ringCase{49, 2},
                                         ringCase{100, 53}),
                         [](const testing::TestParamInfo<ringCase>& testCase) {
                             return "After" + std::to_string(testCase.param.reports);
                         });

TEST(lineStore, StoresWithoutASurface) {
    lineStore store;
    store.AddLine(nullptr, "Consumer connect request.");
    EXPECT_EQ(store.Lines(), std::vector<std::string>{"Consumer connect request."});
}

TEST(lineStore, ManySessionsReportingAtOnceStoreEachLineOnceInOrder) {
    constexpr int THREADS = 8;
    constexpr int PER_THREAD = 300;
    lineStore store;
    recordingSurface surface;
    std::vector<std::thread> sessions;
    for (int t = 0; t < THREADS; ++t) {
        sessions.emplace_back([&store, &surface, t] {
            for (int i = 0; i < PER_THREAD; ++i) {
                store.AddLine(&surface, std::to_string(t) + " " + std::to_string(i));
            }
        });
    }
    for (std::thread& session : sessions) {
        session.join();
    }

    // Every line was taken exactly once, each session's lines in its order.
    ASSERT_EQ(surface.seen.size(), std::size_t{THREADS * PER_THREAD});
    std::map<int, int> nextOf;
    for (const std::string& line : surface.seen) {
        const int t = std::stoi(line.substr(0, line.find(' ')));
        const int i = std::stoi(line.substr(line.find(' ') + 1));
        EXPECT_EQ(i, nextOf[t]++) << line;
    }
    // The store holds the last 48 lines it took, oldest first.
    const std::vector<std::string> last(surface.seen.end() - lineStore::MAX_LINES,
                                        surface.seen.end());
    EXPECT_EQ(store.Lines(), last);
}

} // namespace
