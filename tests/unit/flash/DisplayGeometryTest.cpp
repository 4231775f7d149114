// The ActionScript 3 display objects' geometry rules: coordinates kept in whole twips, rotations
// brought into one turn, and scale and rotation read back from the matrix they make.

#include "engine/avm2/DisplayGeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace kinovex::flash::avm2 {
namespace {

constexpr std::int32_t kMinTwips = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMaxTwips = std::numeric_limits<std::int32_t>::max();

TEST(DisplayGeometry, CoordinatesAreWholeTwipsCutTowardsZero) {
    const std::pair<double, std::int32_t> rows[] = {
        {550, 11000},
        {-1.5, -30},
        {-1.5 + 1.0 / 60, -29}, // -29.67 twips
        {-0.05 + 1.0 / 60, 0},  // -0.67 twips
        {1.0 / 60, 0},
        {0.049, 0},
        {-167772160, kMinTwips},
        {167772160, kMaxTwips},
        {-std::numeric_limits<double>::infinity(), kMinTwips},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& [pixels, twips] : rows) {
        EXPECT_EQ(twipsOf(pixels), twips) << pixels;
    }
}

TEST(DisplayGeometry, RotationsComeIntoOneTurnKeepingBothEnds) {
    const std::pair<double, double> rows[] = {
        {0, 0},       {360, 0},   {-360, 0},    {240, -120}, {-240, 120},
        {-500, -140}, {180, 180}, {-180, -180}, {540, 180},  {-179.5, -179.5},
    };
    for (const auto& [set, read] : rows) {
        EXPECT_DOUBLE_EQ(normalizedRotation(set), read) << set;
    }
}

TEST(DisplayGeometry, ScaleAndRotationComeBackFromTheirMatrix) {
    const ScaleRotation rows[] = {
        {1, 1, 0}, {2, 0.5, 30}, {0.25, -3, -120}, {1, 1, 180}, {107, 1, 90},
    };
    for (const ScaleRotation& sr : rows) {
        Matrix m;
        m.tx = 40;
        m.ty = -60;
        const Matrix made = withScaleRotation(m, sr);
        EXPECT_EQ(made.tx, 40);
        EXPECT_EQ(made.ty, -60);
        const ScaleRotation back = scaleRotationOf(made);
        EXPECT_NEAR(back.scaleX, sr.scaleX, 1e-9) << sr.rotation;
        EXPECT_NEAR(back.scaleY, sr.scaleY, 1e-9) << sr.rotation;
        EXPECT_NEAR(back.rotation, sr.rotation, 1e-9) << sr.scaleX;
    }
    // A matrix mirrored left to right reads as turned half round and flipped upside down.
    const ScaleRotation mirrored = scaleRotationOf(Matrix{-1, 0, 0, 1, 0, 0});
    EXPECT_DOUBLE_EQ(mirrored.scaleX, 1);
    EXPECT_DOUBLE_EQ(mirrored.scaleY, -1);
    EXPECT_DOUBLE_EQ(std::abs(mirrored.rotation), 180);
}

} // namespace
} // namespace kinovex::flash::avm2
