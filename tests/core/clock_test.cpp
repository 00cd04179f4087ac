#include <gtest/gtest.h>

#include "platform/LocalClock.h"

namespace kestrane {

TEST(SystemClock, GivesAPlausibleLocalDate) {
    const LocalTime now = SystemClock().Now();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
}

}  // namespace kestrane
