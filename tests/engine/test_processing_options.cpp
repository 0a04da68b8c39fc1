#include <gtest/gtest.h>

#include <cmath>

#include "engine/processing_options.h"

namespace murmex {
namespace {

TEST(ProcessingOptions, StartsFromTheSlidersInitialPositions) {
    ProcessingOptions options;
    EXPECT_EQ(options.BiasFactor.load(), 1.0f);
    EXPECT_NEAR(options.ReductionFactor.load(), 403.4288, 0.001);
}

TEST(ProcessingOptions, BiasSliderCaptionColourAndFactor) {
    struct Case {
        int position;
        const char* text;
        CaptionColour colour;
        float factor;
    };
    const Case cases[] = {
        {-20, "-20 dB", {120, 255, 255}, 0.01f}, {-5, "-5 dB", {165, 210, 210}, 0.316228f},
        {0, "0 dB", {180, 195, 195}, 1.0f},      {1, "+1 dB", {183, 192, 192}, 1.258925f},
        {5, "+5 dB", {195, 180, 180}, 3.162278f}, {20, "+20 dB", {240, 135, 135}, 100.0f},
    };
    ProcessingOptions options;
    for (const Case& c : cases) {
        const BiasCaption caption = SetBiasPosition(c.position, options);
        EXPECT_EQ(caption.Text, c.text);
        EXPECT_EQ(caption.Colour, c.colour) << c.position;
        EXPECT_NEAR(options.BiasFactor.load(), c.factor, c.factor * 1e-6) << c.position;
    }
    SetBiasPosition(0, options);
    EXPECT_EQ(options.BiasFactor.load(), 1.0f) << "position 0 must leave the noise estimate exactly as it is";
}

TEST(ProcessingOptions, ReductionSliderCaptionAndFactor) {
    ProcessingOptions options;
    const std::pair<int, const char*> captions[] = {
        {100, "1%"}, {109, "1%"}, {110, "2%"}, {119, "2%"}, {120, "4%"}, {600, "100%"}, {609, "100%"}, {1100, "200%"},
    };
    for (const auto& [position, text] : captions) EXPECT_EQ(SetReductionPosition(position, options), text) << position;

    SetReductionPosition(100, options);
    EXPECT_NEAR(options.ReductionFactor.load(), std::exp(1.0), 1e-5);
    SetReductionPosition(1100, options);
    EXPECT_NEAR(options.ReductionFactor.load(), 59874.14, 0.1);
    SetReductionPosition(600, options);
    EXPECT_EQ(options.ReductionFactor.load(), ProcessingOptions().ReductionFactor.load());
}

}  // namespace
}  // namespace murmex
