#include <gtest/gtest.h>

#include <limits>

#include "view/dc_meter.h"
#include "view_test_support.h"

namespace murmex::test {
namespace {

TEST(DcMeter, SegmentCountsAtTheEdges) {
    EXPECT_EQ(DcMeter::SegmentCount(0.0f), 0);
    EXPECT_EQ(DcMeter::SegmentCount(1.0f), 0);
    EXPECT_EQ(DcMeter::SegmentCount(2.4f), 1);
    EXPECT_EQ(DcMeter::SegmentCount(28.3f), 11);
    EXPECT_EQ(DcMeter::SegmentCount(28.4f), 12) << "35.5 rounds to the even 36";
    EXPECT_EQ(DcMeter::SegmentCount(500.0f), 12);
    EXPECT_EQ(DcMeter::SegmentCount(std::numeric_limits<float>::infinity()), 12);
}

TEST(DcMeter, SegmentsAreGreenYellowAndRed) {
    PictureLog log;
    DcMeter meter(log.Sink());
    meter.DcMeterValue = 40.0f;
    meter.DrawDcMeter();
    ASSERT_EQ(log.pictures.size(), 1u);
    const QImage& picture = log.pictures[0];
    ASSERT_EQ(picture.size(), QSize(46, 9));

    EXPECT_EQ(picture.pixelColor(0, 4), QColor(Qt::black)) << "segment 0 never shows";
    for (int segment = 1; segment <= 12; ++segment) {
        const QColor expected = segment <= 7 ? QColor(0, 255, 0) : segment <= 10 ? QColor(255, 255, 0) : QColor(255, 0, 0);
        for (int y = 0; y < 9; ++y) {
            ASSERT_EQ(picture.pixelColor(3 * segment, y), expected) << segment;
            ASSERT_EQ(picture.pixelColor(3 * segment + 1, y), expected) << segment;
            ASSERT_EQ(picture.pixelColor(3 * segment + 2, y), QColor(Qt::black)) << "gap after " << segment;
        }
    }
    EXPECT_EQ(picture.pixelColor(39, 4), QColor(Qt::black));
}

TEST(DcMeter, AtRestNothingShowsAndDecayStopsThere) {
    PictureLog log;
    DcMeter meter(log.Sink());
    meter.ResetDcMeter();
    EXPECT_EQ(meter.DcMeterValue.load(), 0.0f);

    meter.DcMeterValue = 20.0f;
    int draws = 0;
    EXPECT_FALSE(meter.DcMeterAtRest());
    while (!meter.DcMeterAtRest() && draws < 100) {
        meter.DecayDcMeter();
        ++draws;
    }
    EXPECT_EQ(meter.DcMeterValue.load(), 1.0f);
    EXPECT_EQ(draws, 17) << "20 / 1.2^16 is still above 1";
    const size_t pictures = log.pictures.size();
    meter.DecayDcMeter();
    EXPECT_EQ(log.pictures.size(), pictures) << "a meter at rest is not redrawn";
    for (int x = 0; x < 46; ++x) ASSERT_EQ(log.pictures.back().pixelColor(x, 4), QColor(Qt::black)) << x;
}

TEST(DcMeter, MeasuresOnlyWhileReductionRunsWithoutDcCorrection) {
    PreparedEngine prepared(1);
    PictureLog log;
    DcMeter meter(log.Sink());
    prepared.Run(4, [](int) { return 6000.0; });

    prepared.options.ApplyPreviewReduction = false;
    meter.UpdateDcMeter(*prepared.engine);
    EXPECT_EQ(prepared.engine->DcPowerAverage(), 0.0f);
    EXPECT_TRUE(log.pictures.empty());

    prepared.options.ApplyPreviewReduction = true;
    prepared.options.DcOffsetCorrection = true;
    meter.UpdateDcMeter(*prepared.engine);
    EXPECT_EQ(prepared.engine->DcPowerAverage(), 0.0f);

    prepared.options.DcOffsetCorrection = false;
    const float power0 = prepared.engine->BinPower()[0];
    const float power1 = prepared.engine->BinPower()[1];
    meter.UpdateDcMeter(*prepared.engine);
    EXPECT_FLOAT_EQ(prepared.engine->DcPowerAverage(), 0.02f * power0);
    EXPECT_FLOAT_EQ(prepared.engine->Bin1PowerAverage(), 0.02f * power1 + 0.98f * 100.0f);
    EXPECT_NEAR(meter.DcMeterValue.load(), std::log(0.02 * (power0 - power1) + 1.0 - 98.0), 1e-3);
    EXPECT_GE(DcMeter::SegmentCount(meter.DcMeterValue.load()), 10) << "a strong offset nearly fills the meter";
    EXPECT_EQ(log.pictures.size(), 1u);
}

}  // namespace
}  // namespace murmex::test
