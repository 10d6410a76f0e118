#include "controls/volumecontrol/volumecore.h"

#include <gtest/gtest.h>

#include <tuple>

using Volume::LevelForValue;
using Volume::MixerValueForLevel;
using Volume::VolumeStep;

class VolumeStepTest : public ::testing::TestWithParam<std::tuple<quint32, qint32>>
{
};

TEST_P(VolumeStepTest, IsATenthRoundedAndNeverZero)
{
    const auto [maximum, step] = GetParam();
    EXPECT_EQ(VolumeStep(maximum), step) << maximum;
}

INSTANTIATE_TEST_SUITE_P(Rows, VolumeStepTest,
    ::testing::Values(std::tuple{65535u, 6554}, std::tuple{65536u, 6554}, std::tuple{100u, 10},
        std::tuple{5u, 1}, std::tuple{14u, 1}, std::tuple{15u, 2}, std::tuple{0u, 1},
        std::tuple{0xFFFFFFFFu, 429496730}));

TEST(LevelOfValue, IsTheVolumeWithTenLoudest)
{
    EXPECT_EQ(LevelForValue(65535, 6554), 10);
    EXPECT_EQ(LevelForValue(0, 6554), 0);
    EXPECT_EQ(LevelForValue(32768, 6554), 5);
    EXPECT_EQ(LevelForValue(19661, 6554), 3); // 30 %
    EXPECT_EQ(LevelForValue(-32768, 6554), 5); // the absolute value counts
    EXPECT_EQ(LevelForValue(98304, 6554), 10); // amplified past 100 %
    EXPECT_EQ(LevelForValue(3, 0), 3); // a zero step is read as 1
}

TEST(MixerValue, IsLevelTimesStepWithinTheControl)
{
    EXPECT_EQ(MixerValueForLevel(5, 6554, 65535), 32770u);
    EXPECT_EQ(MixerValueForLevel(10, 6554, 65535), 65535u); // not 65540
    EXPECT_EQ(MixerValueForLevel(10, 1, 5), 5u); // step 1 of a 5-unit control
    EXPECT_EQ(MixerValueForLevel(3, 1, 5), 3u);
    EXPECT_EQ(MixerValueForLevel(42, 6554, 65536), 65536u);
    EXPECT_EQ(MixerValueForLevel(-7, 6554, 65536), 0u);
    EXPECT_EQ(MixerValueForLevel(0, 6554, 65536), 0u);
}

TEST(ClampLevel, KeepsZeroToTen)
{
    EXPECT_EQ(Volume::ClampLevel(-1), 0);
    EXPECT_EQ(Volume::ClampLevel(11), 10);
    EXPECT_EQ(Volume::ClampLevel(7), 7);
}
