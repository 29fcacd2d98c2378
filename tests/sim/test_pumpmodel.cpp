// The simulated pump's hydraulics: the pressures it reports are what console tests wait for, so
// a model that never climbs or never settles makes those tests lie.

#include "sim/pumpmodel.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(PumpModel, StartsStoppedAtZeroWithTheDefaultLimit)
{
    const PumpModel pump;
    EXPECT_FALSE(pump.running());
    EXPECT_EQ(pump.pressure(), 0.0);
    EXPECT_EQ(pump.pressureLimit(), 5.0);
}

TEST(PumpModel, PressureFollowsTheFlowWithAFirstOrderLag)
{
    PumpModel pump;
    ASSERT_TRUE(pump.setFlow(25.0)); // 1.0 MPa at 0.04 MPa per ml/min
    pump.run();
    EXPECT_DOUBLE_EQ(pump.targetPressure(), 1.0);
    pump.advance(PumpModel::lagSeconds);
    EXPECT_NEAR(pump.pressure(), 1.0 - std::exp(-1.0), 1e-9); // one time constant: 63 %
    pump.advance(10 * PumpModel::lagSeconds);
    EXPECT_NEAR(pump.pressure(), 1.0, 1e-4);
    EXPECT_FALSE(pump.holdingLimit());
}

TEST(PumpModel, ManySmallStepsEqualOneLargeStep)
{
    PumpModel coarse;
    PumpModel fine;
    for (PumpModel *pump : {&coarse, &fine}) {
        pump->setFlow(40.0);
        pump->run();
    }
    coarse.advance(2.0);
    for (int i = 0; i < 200; ++i) {
        fine.advance(0.01);
    }
    EXPECT_NEAR(coarse.pressure(), fine.pressure(), 1e-9);
}

TEST(PumpModel, HoldsThePressureAtTheLimit)
{
    PumpModel pump;
    pump.setFlow(99.9); // would be ~4 MPa
    pump.setPressureLimit(1.5);
    pump.run();
    EXPECT_TRUE(pump.holdingLimit());
    pump.advance(60.0);
    EXPECT_NEAR(pump.pressure(), 1.5, 1e-6);
    EXPECT_LE(pump.pressure(), 1.5);

    // A lower limit takes effect at once, not over the lag.
    ASSERT_TRUE(pump.setPressureLimit(0.8));
    EXPECT_LE(pump.pressure(), 0.8);
    pump.advance(0.1);
    EXPECT_LE(pump.pressure(), 0.8);
}

TEST(PumpModel, BleedsToZeroWhenStopped)
{
    PumpModel pump;
    pump.setFlow(50.0);
    pump.run();
    pump.advance(30.0);
    const double running = pump.pressure();
    ASSERT_GT(running, 1.9);
    pump.stop();
    EXPECT_EQ(pump.targetPressure(), 0.0);
    pump.advance(PumpModel::lagSeconds);
    EXPECT_NEAR(pump.pressure(), running * std::exp(-1.0), 1e-9);
    pump.advance(60.0);
    EXPECT_LT(pump.pressure(), 1e-6);
    EXPECT_GE(pump.pressure(), 0.0);
}

TEST(PumpModel, FlowAndLimitTakeOnlyWhatAFourCharacterFieldShows)
{
    const std::pair<double, bool> cases[] = {
        {0.0, true},
        {12.5, true},
        {99.9, true},
        {100.0, false},
        {-0.1, false},
        {std::numeric_limits<double>::quiet_NaN(), false},
        {std::numeric_limits<double>::infinity(), false},
    };
    for (const auto &[value, accepted] : cases) {
        SCOPED_TRACE(value);
        PumpModel pump;
        pump.setFlow(3.0);
        pump.setPressureLimit(4.0);
        EXPECT_EQ(pump.setFlow(value), accepted);
        EXPECT_EQ(pump.setPressureLimit(value), accepted);
        EXPECT_EQ(pump.flow(), accepted ? value : 3.0);
        EXPECT_EQ(pump.pressureLimit(), accepted ? value : 4.0);
    }
}

} // namespace
