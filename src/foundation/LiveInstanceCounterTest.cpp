#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "LiveInstanceCounter.h"

namespace {

struct Counted {
    LiveInstanceCounter<Counted> counter;
};
struct OtherFamily {
    LiveInstanceCounter<OtherFamily> counter;
};

TEST(LiveInstanceCounter, CountsConstructionCopiesAndDestructionPerFamily) {
    const long before = LiveInstanceCounter<Counted>::liveInstances();
    {
        Counted a;
        Counted b = a;
        std::vector<Counted> many(3);
        auto owned = std::make_unique<Counted>();
        OtherFamily other;
        EXPECT_EQ(LiveInstanceCounter<Counted>::liveInstances(), before + 6);
        a = b;  // assignment creates nothing
        EXPECT_EQ(LiveInstanceCounter<Counted>::liveInstances(), before + 6);
        EXPECT_EQ(LiveInstanceCounter<OtherFamily>::liveInstances(), 1);
    }
    EXPECT_EQ(LiveInstanceCounter<Counted>::liveInstances(), before);
    EXPECT_EQ(LiveInstanceCounter<OtherFamily>::liveInstances(), 0);
}

}  // namespace
