#include <gtest/gtest.h>

#include <cstring>

#include "pricing/IORecObj1.h"

using namespace kestrava;

TEST(InOutObj, NewObjectIsEmpty)
{
    TInOutObj p;
    EXPECT_EQ(p.NumStrikes, 0);
    EXPECT_EQ(p.TodayDate, 0);
    EXPECT_EQ(p.Strike(20, 2), 0.0f);
    EXPECT_TRUE(p.OptCode(1, 1).empty());
}

TEST(InOutObj, TablesRefuseIndicesOutsideTheirRoom)
{
    TInOutObj p;
    p.Strike(20, 2) = 5;
    EXPECT_EQ(p.Strike(20, 2), 5.0f);
    EXPECT_EQ(p.Strike(20, 1), 0.0f);
    EXPECT_THROW(p.Strike(21, 1), std::out_of_range);
    EXPECT_THROW(p.Strike(0, 1), std::out_of_range);
    EXPECT_THROW(p.Bid(1, 3), std::out_of_range);
    EXPECT_THROW(p.OptCode(1, 0), std::out_of_range);
}

TEST(InOutObj, DayCounts)
{
    TInOutObj p;
    p.ExpiryDate = EncodeDate(2008, 1, 19);
    EXPECT_EQ(p.DaysToExpiry(), 0) << "no valuation date";

    p.TodayDate = EncodeDate(2008, 1, 19);
    EXPECT_EQ(p.DaysToExpiry(), 0) << "expiry on the valuation date";
    p.TodayDate = EncodeDate(2008, 1, 20);
    EXPECT_EQ(p.DaysToExpiry(), 0) << "expiry before the valuation date";

    p.TodayDate = EncodeDate(2008, 1, 18) + 23.0 / 24;
    p.ExpiryDate = EncodeDate(2008, 1, 19) + 9.0 / 24;
    EXPECT_EQ(p.DaysToExpiry(), 1) << "times of day are ignored";

    p.TodayDate = EncodeDate(2008, 1, 2);
    p.ExpiryDate = EncodeDate(2008, 1, 19);
    EXPECT_EQ(p.DaysToExpiry(), 17);
    p.DivDate = EncodeDate(2007, 12, 20);
    EXPECT_EQ(p.DaysToDividend(), 0) << "dividend before the valuation date";
    p.DivDate = EncodeDate(2008, 1, 10);
    EXPECT_EQ(p.DaysToDividend(), 8);
}

TEST(InOutObj, GetExpiry)
{
    TInOutObj p;
    p.ExpiryDate = EncodeDate(2009, 3, 20) + 0.6789;
    const double before = p.ExpiryDate;
    const double got = p.GetExpiry();
    EXPECT_EQ(std::memcmp(&got, &before, sizeof got), 0) << "unchanged bit for bit";

    p.ExpiryDay = 21;
    EXPECT_EQ(p.GetExpiry(), EncodeDate(2009, 3, 21)) << "day forced, time dropped";
    EXPECT_EQ(p.ExpiryDate, EncodeDate(2009, 3, 21));

    p.ExpiryDate = EncodeDate(2009, 2, 10);
    p.ExpiryDay = 30;
    EXPECT_THROW(p.GetExpiry(), DateError);
}
