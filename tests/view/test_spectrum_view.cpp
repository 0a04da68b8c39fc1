#include <gtest/gtest.h>

#include <optional>

#include "view/spectrum_view.h"
#include "view_test_support.h"

namespace murmex::test {
namespace {

constexpr int kH = SpectrumView::kHeight;

bool IsBlack(QRgb c) { return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 0; }
bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) == 0 && qBlue(c) == 0; }
bool IsLine(QRgb c) { return qRed(c) == 0 && qGreen(c) > 100 && qBlue(c) > 150; }

std::optional<int> TopLineRow(const QImage& picture, int x) {
    for (int y = 0; y < picture.height(); ++y) {
        if (IsLine(picture.pixel(x, y))) return y;
    }
    return std::nullopt;
}

int CountPixels(const QImage& picture, bool (*match)(QRgb)) {
    int count = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) count += match(picture.pixel(x, y));
    }
    return count;
}

// Draws the engine's current state once (the phase skip is passed first).
QImage Draw(const SpectralEngine& engine) {
    PictureLog log;
    SpectrumView view(engine, log.Sink());
    view.SpectrumPhase = true;
    view.DrawSpectrum();
    EXPECT_EQ(log.pictures.size(), 1u);
    return log.pictures.empty() ? QImage() : log.pictures.back();
}

TEST(SpectrumView, DrawsEveryOtherCallAndBlanksWhenSwitchedOff) {
    PreparedEngine prepared(1);
    PictureLog log;
    SpectrumView view(*prepared.engine, log.Sink());
    view.SpectrumPhase = true;  // as Play sets it
    for (int call = 0; call < 4; ++call) view.DrawSpectrum();
    ASSERT_EQ(log.pictures.size(), 2u);
    EXPECT_TRUE(view.SpectrumShown.load());
    EXPECT_EQ(log.pictures[0].size(), QSize(353, 89));

    view.SetShown(false);
    ASSERT_EQ(log.pictures.size(), 3u);
    EXPECT_EQ(CountPixels(log.pictures.back(), IsBlack), 353 * 89);
    EXPECT_FALSE(view.SpectrumShown.load());
    for (int call = 0; call < 4; ++call) view.DrawSpectrum();
    EXPECT_EQ(log.pictures.size(), 3u) << "a blank view stays blank without repeating the picture";

    view.SetShown(true);
    view.DrawSpectrum();
    view.DrawSpectrum();
    EXPECT_EQ(log.pictures.size(), 4u) << "drawing resumes on the next drawing block";
    view.ClearSpectrum();
    view.ClearSpectrum();
    EXPECT_EQ(log.pictures.size(), 5u);
}

TEST(SpectrumView, SilenceDrawsNothingVisible) {
    PreparedEngine prepared(2);
    prepared.Run(10, [](int) { return 0.0; });
    EXPECT_EQ(CountPixels(Draw(*prepared.engine), IsBlack), 353 * 89);
}

TEST(SpectrumView, FullScaleToneReachesRowOneOfItsColumn) {
    PreparedEngine prepared(1);
    const int bin = 300;
    prepared.Run(4, [&](int n) { return Tone(n, 32000.0, bin / 2048.0); });
    const QImage picture = Draw(*prepared.engine);
    EXPECT_EQ(TopLineRow(picture, bin / 3), 1);
    for (int x = 0; x < picture.width(); ++x) ASSERT_FALSE(IsLine(picture.pixel(x, 0))) << x;
}

TEST(SpectrumView, NoiseDotsMarkOnlyOddBins) {
    PreparedEngine prepared(1);
    const auto noise = [](int n) { return 12.0 * std::sin(n * 0.7) * std::cos(n * 0.013) + 9.0 * std::sin(n * 2.1); };
    prepared.Run(80, noise);
    const SpectralEngine& engine = *prepared.engine;
    const QImage picture = Draw(engine);

    int dots = 0;
    for (int x = 0; x < picture.width(); ++x) {
        for (int y = 0; y < kH; ++y) {
            if (!IsRed(picture.pixel(x, y))) continue;
            ++dots;
            bool explained = false;
            for (int bin = 3 * x; bin < 3 * x + 3; ++bin) {
                if (bin % 2 == 0) continue;
                const double m = 8.0 * std::log10(engine.BiasedNoise()[bin] + 1.0f) - 11.0;
                explained |= m > 0 && kH - static_cast<int>(m) == y;
            }
            ASSERT_TRUE(explained) << "red pixel at " << x << "," << y << " matches no odd bin";
        }
    }
    EXPECT_GT(dots, 100);
}

TEST(SpectrumView, StereoShowsTheMeanOfBothChannels) {
    const int bin = 200;
    const auto topRow = [&](bool rightToo) {
        PreparedEngine prepared(2);
        prepared.Run(6, [&](int n) {
            const bool right = n % 2 == 1;
            return right && !rightToo ? 0.0 : Tone(n / 2, 100.0, bin / 2048.0);
        });
        return TopLineRow(Draw(*prepared.engine), bin / 3);
    };
    const auto both = topRow(true);
    const auto leftOnly = topRow(false);
    ASSERT_TRUE(both && leftOnly);
    EXPECT_GT(*both, 10) << "the test tone must stay below the clamp";
    // Half the power is 8 * log10(2), about 2.4 pixels lower.
    EXPECT_GE(*leftOnly - *both, 2);
    EXPECT_LE(*leftOnly - *both, 3);
}

}  // namespace
}  // namespace murmex::test
