#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ChannelGainModel.h"

namespace {

TEST(ChannelGainModelTest, GainIsMasterTimesChannelAndMuteIsEither) {
    ChannelGainModel model;
    model.setChannelCount(3);
    ASSERT_TRUE(model.setChannelLevel(0, 0.5f));
    ASSERT_TRUE(model.setChannelLevel(2, 2.0f));
    ASSERT_TRUE(model.setChannelMute(1, true));
    ASSERT_TRUE(model.setMasterLevel(0.25f));

    std::vector<float> gains;
    std::vector<bool> mutes;
    model.gainsAndMutesFor(3, gains, mutes);
    EXPECT_EQ(gains, (std::vector<float>{0.125f, 0.25f, 0.5f}));
    EXPECT_EQ(mutes, (std::vector<bool>{false, true, false}));

    // A muted master mutes every channel and keeps their own flags for later.
    model.setMasterMute(true);
    model.gainsAndMutesFor(3, gains, mutes);
    EXPECT_EQ(mutes, (std::vector<bool>{true, true, true}));
    model.setMasterMute(false);
    model.gainsAndMutesFor(3, gains, mutes);
    EXPECT_EQ(mutes, (std::vector<bool>{false, true, false}));
}

TEST(ChannelGainModelTest, ChannelsWithoutEntryPlaySilentUntilTheModelGrows) {
    ChannelGainModel model;
    model.setChannelCount(1);
    model.setMasterMute(true);
    std::vector<float> gains;
    std::vector<bool> mutes;
    model.gainsAndMutesFor(3, gains, mutes);
    ASSERT_EQ(gains.size(), 3u);
    EXPECT_EQ(gains[1], 0.0f);
    EXPECT_EQ(gains[2], 0.0f);
    EXPECT_TRUE(mutes[2]);

    // Growing keeps what was set and adds channels at the default level; shrinking removes none.
    ASSERT_TRUE(model.setChannelLevel(0, 0.5f));
    model.setMasterMute(false);
    model.setChannelCount(3);
    model.setChannelCount(2);
    EXPECT_EQ(model.channelCountIs(), 3u);
    model.gainsAndMutesFor(3, gains, mutes);
    EXPECT_EQ(gains, (std::vector<float>{0.5f, 1.0f, 1.0f}));
    EXPECT_EQ(mutes, (std::vector<bool>{false, false, false}));

    // Fewer channels than the model holds: only those.
    model.gainsAndMutesFor(1, gains, mutes);
    EXPECT_EQ(gains, (std::vector<float>{0.5f}));
}

TEST(ChannelGainModelTest, RefusesChannelsOutOfRangeAndLevelsOutOfRange) {
    ChannelGainModel model;
    model.setChannelCount(2);
    EXPECT_FALSE(model.setChannelLevel(2, 1.0f));
    EXPECT_FALSE(model.setChannelMute(2, true));
    EXPECT_FALSE(model.toggleChannelMute(5));
    EXPECT_FALSE(model.setChannelLevel(0, -0.5f));
    EXPECT_FALSE(model.setChannelLevel(0, std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(model.setMasterLevel(std::numeric_limits<float>::infinity()));
    EXPECT_FALSE(model.setMasterLevel(ChannelGainModel::kMaximumLevel * 2.0f));
    EXPECT_EQ(model.channelLevelIs(0), 1.0f);
    EXPECT_EQ(model.masterLevelIs(), 1.0f);
    EXPECT_EQ(model.channelLevelIs(7), 0.0f);
    EXPECT_FALSE(model.channelMuteIs(7));
}

TEST(ChannelGainModelTest, ToggleFlipsOneChannelAndResetForgetsEverything) {
    ChannelGainModel model;
    model.setChannelCount(2);
    ASSERT_TRUE(model.toggleChannelMute(1));
    EXPECT_TRUE(model.channelMuteIs(1));
    EXPECT_FALSE(model.channelMuteIs(0));
    ASSERT_TRUE(model.toggleChannelMute(1));
    EXPECT_FALSE(model.channelMuteIs(1));

    model.setChannelLevel(0, 3.0f);
    model.setMasterLevel(0.5f);
    model.setMasterMute(true);
    model.reset();
    EXPECT_EQ(model.channelCountIs(), 0u);
    EXPECT_EQ(model.masterLevelIs(), 1.0f);
    EXPECT_FALSE(model.masterMuteIs());
}

}  // namespace
