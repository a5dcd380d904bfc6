#include <gtest/gtest.h>

#include "common/localeinfo.h"

using namespace kestrava;

TEST(LocaleInfo, PatternsGiveSeparatorAndOrder)
{
    const LocaleInfo us = LocaleInfo::FromPattern("M/d/yyyy");
    EXPECT_EQ(us.dateSeparator, '/');
    EXPECT_EQ(us.order, DateOrder::MonthDayYear);

    const LocaleInfo de = LocaleInfo::FromPattern("dd.MM.yyyy", ',');
    EXPECT_EQ(de.dateSeparator, '.');
    EXPECT_EQ(de.order, DateOrder::DayMonthYear);
    EXPECT_EQ(de.decimalSeparator, ',');

    const LocaleInfo iso = LocaleInfo::FromPattern("yyyy-MM-dd");
    EXPECT_EQ(iso.dateSeparator, '-');
    EXPECT_EQ(iso.order, DateOrder::YearMonthDay);
}

TEST(LocaleInfo, PatternWithoutNumericSeparatorFallsBackToIso)
{
    // The C locale's short format spells the month out.
    const LocaleInfo c = LocaleInfo::FromPattern("d MMM yyyy");
    EXPECT_EQ(c.shortDateFormat, "yyyy-MM-dd");
    EXPECT_EQ(c.dateSeparator, '-');
    EXPECT_EQ(c.order, DateOrder::YearMonthDay);
    EXPECT_EQ(LocaleInfo::FromPattern("").dateSeparator, '-');
}
