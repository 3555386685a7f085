#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/foundation/Calendar.h"

using platform::DateComponents;

namespace {

TEST(CalendarTest, DaysFollowTheTimeZone) {
  auto paris = platform::dateFromComponents({1980, 7, 14}, "Europe/Paris");
  EXPECT_EQ(paris.secondsSince1970, 332373600);  // 1980-07-13 22:00 UTC, summer time
  EXPECT_EQ(platform::compactDayText(paris, "Europe/Paris"), "19800714");
  EXPECT_EQ(platform::compactDayText(paris, "UTC"), "19800713");
  EXPECT_EQ(platform::componentsFromDate(platform::dateFromComponents({2023, 13, 1}, "UTC"), "UTC"),
            (DateComponents{2024, 1, 1}));
  EXPECT_EQ(platform::compactDayText(platform::Date{-86400}, "UTC"), "19691231");
  // The process's own zone is left as it was.
  bool hadZone = std::getenv("TZ") != nullptr;
  platform::compactDayText(platform::Date{0}, "Asia/Tokyo");
  EXPECT_EQ(std::getenv("TZ") != nullptr, hadZone);
}

TEST(CalendarTest, CivilDaysCountFromTheEpochBothWays) {
  using platform::CivilDay;
  EXPECT_EQ(platform::daysFromCivil({1970, 1, 1}), 0);
  EXPECT_EQ(platform::daysFromCivil({2000, 3, 1}), 11017);
  EXPECT_EQ(platform::daysFromCivil({1969, 12, 31}), -1);
  EXPECT_EQ(platform::daysFromCivil({0, 1, 1}), -719528);
  for (std::int64_t days : {-719528LL, -1LL, 0LL, 11016LL, 2932896LL}) {
    EXPECT_EQ(platform::daysFromCivil(platform::civilFromDays(days)), days);
  }
  EXPECT_EQ(platform::civilFromDays(11016), (CivilDay{2000, 2, 29}));
  EXPECT_EQ(platform::daysInMonth(2000, 2), 29);
  EXPECT_EQ(platform::daysInMonth(1900, 2), 28);
  EXPECT_EQ(platform::daysInMonth(2024, 12), 31);
}

}  // namespace
