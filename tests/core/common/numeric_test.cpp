#include "core/common/numeric.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace thumbrover {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(SaturateCast, FloatToInt32) {
    struct Case {
        float in;
        int32_t out;
    };
    const Case cases[] = {
        {0.0f, 0},
        {1.9f, 1},
        {-1.9f, -1},
        {kNaN, 0},
        {-kNaN, 0},
        {kInf, INT32_MAX},
        {-kInf, INT32_MIN},
        {3e9f, INT32_MAX},
        {-3e9f, INT32_MIN},
        {2147483520.0f, 2147483520},
        {2147483648.0f, INT32_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(saturate_cast<int32_t>(c.in), c.out) << c.in;
}

TEST(SaturateCast, DoubleToUnsignedAndNarrowIntegers) {
    EXPECT_EQ(saturate_cast<uint64_t>(-1.0), 0u);
    EXPECT_EQ(saturate_cast<uint64_t>(1e30), UINT64_MAX);
    EXPECT_EQ(saturate_cast<uint8_t>(300.0), 255);
    EXPECT_EQ(saturate_cast<int32_t>(int64_t{1} << 40), INT32_MAX);
    EXPECT_EQ(saturate_cast<int32_t>(-(int64_t{1} << 40)), INT32_MIN);
    EXPECT_EQ(saturate_cast<uint32_t>(-5), 0u);
    EXPECT_EQ(saturate_cast<int64_t>(UINT64_MAX), INT64_MAX);
}

}  // namespace
}  // namespace thumbrover
