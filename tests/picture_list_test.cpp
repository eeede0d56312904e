#include "front/picture_list.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace lumicord::front {
namespace {

struct boundary {
    int last_of_step;  // the highest exposure of one step...
    int below;         // ...its denominator
    int above;         // and the next step's, from last_of_step + 1
};

TEST(shutter_denominator_test, every_step_boundary) {
    constexpr boundary BOUNDARIES[] = {
        {17, 30, 60},     {25, 60, 125},    {32, 125, 250},   {39, 250, 500},
        {47, 500, 1000},  {55, 1000, 2000}, {61, 2000, 4000}, {66, 4000, 8000},
    };
    for (const boundary& b : BOUNDARIES) {
        SCOPED_TRACE(b.last_of_step);
        EXPECT_EQ(shutter_denominator(static_cast<std::uint8_t>(b.last_of_step)), b.below);
        EXPECT_EQ(shutter_denominator(static_cast<std::uint8_t>(b.last_of_step + 1)), b.above);
    }
}

TEST(shutter_denominator_test, the_ends_of_the_byte) {
    EXPECT_EQ(shutter_denominator(0), 30);
    EXPECT_EQ(shutter_denominator(1), 30);
    EXPECT_EQ(shutter_denominator(127), 8000);
    EXPECT_EQ(shutter_denominator(128), 8000);
    EXPECT_EQ(shutter_denominator(255), 8000);
}

TEST(shutter_denominator_test, denominators_never_fall_as_exposure_grows) {
    int previous = shutter_denominator(0);
    for (int e = 1; e <= 255; ++e) {
        const int d = shutter_denominator(static_cast<std::uint8_t>(e));
        EXPECT_GE(d, previous) << e;
        previous = d;
    }
}

}  // namespace
}  // namespace lumicord::front
