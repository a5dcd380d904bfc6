#include <gtest/gtest.h>

#include <chrono>

#include "common/dates.h"

using namespace kestrava;

TEST(Dates, DayNumbersOfKnownDates)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2008, 1, 2), 39449.0);
    EXPECT_EQ(EncodeDate(2008, 1, 19), 39466.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
}

TEST(Dates, DecodeRoundTripsAcrossLeapYears)
{
    for (int day = -1000; day < 80000; day += 7) {
        const CivilDate c = DecodeDate(day + 0.75);
        EXPECT_EQ(EncodeDate(c.year, c.month, c.day), day) << "day " << day;
    }
    const CivilDate leap = DecodeDate(EncodeDate(2000, 2, 29));
    EXPECT_EQ(leap.year, 2000);
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
}

TEST(Dates, ImpossibleDatesAreRejected)
{
    EXPECT_THROW(EncodeDate(2009, 2, 29), DateError);
    EXPECT_THROW(EncodeDate(1900, 2, 29), DateError);
    EXPECT_THROW(EncodeDate(2008, 13, 1), DateError);
    EXPECT_THROW(EncodeDate(2008, 4, 31), DateError);
    EXPECT_THROW(EncodeDate(0, 1, 1), DateError);
    TDateTime out = 5;
    EXPECT_FALSE(TryEncodeDate(2008, 0, 1, out));
    EXPECT_EQ(out, 5);
}

TEST(Dates, DaysOfEachMonthAsTheCalendarHasThem)
{
    for (const int year : {1900, 2000, 2023, 2024}) {
        for (unsigned month = 1; month <= 12; ++month) {
            const std::chrono::year_month_day_last last{
                std::chrono::year{year}, std::chrono::month_day_last{std::chrono::month{month}}};
            EXPECT_EQ(DaysInMonth(year, static_cast<int>(month)), static_cast<int>(unsigned{last.day()}))
                << year << "-" << month;
        }
        for (const int none : {0, 13, -1})
            EXPECT_EQ(DaysInMonth(year, none), 0) << none;
    }
}

TEST(Dates, WeekdaysStartOnSunday)
{
    EXPECT_EQ(DayOfWeek(0), 7);                        // 1899-12-30, a Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2008, 1, 19)), 7);  // a Saturday expiry
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 8)), 3);  // a Tuesday
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 24) + 0.5), 1);
}

TEST(Dates, IsoTextAndGarbage)
{
    EXPECT_EQ(IsoDate(EncodeDate(2005, 1, 3) + 0.9), "2005-01-03");
    EXPECT_EQ(DecodeDate(1e300).year, 0);
}
