// The option page's series without a window: SPX quotes of 24 January 2011
// loaded into two expiries, recalculated in each skew mode and held to the
// pricer's own laws (put-call parity, a price at its implied volatility is
// the quote it came from).

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/dates.h"
#include "pagecore/PageSeries.h"
#include "pricing/Models.h"
#include "support/recording_notifier.h"
#include "support/scratch_dir.h"

namespace kestrava {
namespace {

using testsupport::RecordingNotifier;

const std::array<float, 3> kRates{0.0015f, 0.0015f, 0.0015f};

// An SPX expiry of 2011 without quotes, as the setup dialog builds it.
std::unique_ptr<TInOutObj> SpxExpiry(int month, int model)
{
    auto p = std::make_unique<TInOutObj>();
    p->ContractType = kIndex;
    p->Model = model;
    p->Steps = 100;
    p->Dividend = 0.018f;
    p->Rate = kRates[0];
    p->Sigma = 0.16f;
    p->OptSymbol = "SPX";
    p->TodayDate = EncodeDate(2011, 1, 3);
    p->PriceDate = p->TodayDate;
    p->ExpiryDate = EncodeDate(2011, month, 19);
    p->ExpiryMonth = month;
    p->Underlying = 1250;
    p->NumStrikes = 12;
    for (int s = 1; s <= p->NumStrikes; ++s)
        p->Strike(s, 1) = p->Strike(s, 2) = 1150.0f + 25.0f * static_cast<float>(s - 1);
    return p;
}

// A page's series of February and March, with the quote table's bids and asks.
class LoadedSeries : public ::testing::Test {
protected:
    void SetUp() override
    {
        scratch_ = testsupport::MakeScratchDir("pageseries");
        quotes_ = (scratch_ / "SPX.txt").string();
        std::filesystem::copy_file(KESTRAVA_TEST_DATA_DIR "/quotes-spx-2011-01-24.dat", quotes_);
    }
    void TearDown() override { testsupport::RemoveScratchDir(scratch_); }

    void Build(int model)
    {
        series_.Add(SpxExpiry(2, model));
        series_.Add(SpxExpiry(3, model));
        series_.SetFirstExpiry(series_.front().ExpiryDate);
        series_.SetToday(series_.front().TodayDate);
        const SeriesQuotes loaded = series_.LoadQuotes(quotes_, "SPX-E", kRates);
        ASSERT_TRUE(loaded.loaded);
        ASSERT_TRUE(notifier_.infos.empty()) << notifier_.infos.front();
        // The page solves the quotes' volatilities once they are in.
        series_.SolveAllIvs();
    }

    std::filesystem::path scratch_;
    std::string quotes_;
    RecordingNotifier notifier_;
    PageSeries series_{notifier_, LocaleInfo()};
};

TEST_F(LoadedSeries, QuotesGiveEveryExpiryTheQuoteDateUnderlyingAndMarket)
{
    Build(kBlackScholes);
    const TDateTime quoteDay = EncodeDate(2011, 1, 24);
    EXPECT_EQ(series_.Today(), quoteDay);
    ASSERT_NE(series_.Market(), nullptr);
    int quoted = 0;
    for (const auto& p : series_) {
        EXPECT_EQ(p->TodayDate, quoteDay) << p->ExpiryMonth;
        EXPECT_FLOAT_EQ(p->Underlying, 1290.59f);
        for (int s = 1; s <= p->NumStrikes; ++s) {
            for (int k = 1; k <= 2; ++k) {
                EXPECT_LE(p->Bid(s, k), p->Ask(s, k)) << "month " << p->ExpiryMonth << " strike " << s;
                quoted += p->Bid(s, k) > 0 ? 1 : 0;
            }
        }
    }
    // Nearly every strike of both expiries is quoted on both sides.
    EXPECT_GT(quoted, 40);
}

struct ModeCase {
    const char* name;
    int model;
    VolSource source;
};

class EachSkewMode : public LoadedSeries, public ::testing::WithParamInterface<ModeCase> {};

// Calculate prices each strike at the volatility its mode names: in the flat
// mode a European call and put obey put-call parity; at the bid's or ask's
// implied volatility a European option is worth that bid or ask again.
TEST_P(EachSkewMode, PricesFollowTheChosenVolatilities)
{
    const ModeCase& mode = GetParam();
    Build(mode.model);
    EXPECT_EQ(series_.RecalcAll(mode.source), "");
    const bool european = mode.model == kBlackScholes;
    int checked = 0;
    for (const auto& p : series_) {
        const double T = p->DaysToExpiry() / 365.0;
        const double forwardPart = p->Underlying * std::exp(-static_cast<double>(p->Dividend) * T);
        for (int s = 1; s <= p->NumStrikes; ++s) {
            const double K = p->Strike(s, 1);
            const std::string where = "month " + std::to_string(p->ExpiryMonth) + ", strike "
                                      + std::to_string(K);
            if (mode.source == VolSource::Flat) {
                EXPECT_FLOAT_EQ(p->Vol(s, 1), p->Sigma) << where;
                const double parity = forwardPart - K * std::exp(-static_cast<double>(p->Rate) * T);
                const double difference = p->Theo(s, 1) - p->Theo(s, 2);
                if (european) {
                    EXPECT_NEAR(difference, parity, 0.02) << where;
                    ++checked;
                } else {
                    // Early exercise bounds the American pair instead.
                    EXPECT_GE(difference, forwardPart - K - 0.02) << where;
                    EXPECT_LE(difference,
                              p->Underlying - K * std::exp(-static_cast<double>(p->Rate) * T) + 0.02)
                        << where;
                }
                continue;
            }
            for (int k = 1; k <= 2; ++k) {
                const bool bid = mode.source == VolSource::BidIVs;
                const float iv = bid ? p->BidIV(s, k) : p->AskIV(s, k);
                const float quote = bid ? p->Bid(s, k) : p->Ask(s, k);
                if (iv <= 0 || !european)
                    continue;
                EXPECT_NEAR(p->Theo(s, k), quote, 0.01 + 0.001 * quote)
                    << where << (k == 1 ? " call" : " put");
                ++checked;
            }
        }
    }
    if (european) {
        EXPECT_GT(checked, 20);
    }
}

INSTANTIATE_TEST_SUITE_P(PageSeries, EachSkewMode,
                         ::testing::Values(ModeCase{"BlackScholesFlat", kBlackScholes, VolSource::Flat},
                                           ModeCase{"BlackScholesBid", kBlackScholes, VolSource::BidIVs},
                                           ModeCase{"BlackScholesAsk", kBlackScholes, VolSource::AskIVs},
                                           ModeCase{"WhaleyFlat", kWhaley, VolSource::Flat}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) {
                             return std::string(info.param.name);
                         });

// The flat mode solves the implied volatilities from the quotes at the
// inputs of the moment (the underlying moved since the quotes came); the
// skew modes price with the ones solved when the quotes came.
TEST_F(LoadedSeries, OnlyTheFlatModeSolvesTheVolatilitiesAgain)
{
    Build(kBlackScholes);
    for (const float underlying : {1280.0f, 1300.0f}) {
        for (const VolSource source : {VolSource::BidIVs, VolSource::Flat}) {
            std::vector<TInOutObj> before = series_.Copies();
            SeriesInputs inputs;
            inputs.underlying = underlying;
            series_.ApplyInputs(inputs);
            series_.RecalcAll(source);
            std::vector<TInOutObj> solvedNow = series_.Copies();
            for (TInOutObj& p : solvedNow) {
                SolveBidIV(p);
                SolveAskIV(p);
            }
            int moved = 0;
            for (std::size_t e = 0; e < before.size(); ++e) {
                const TInOutObj& p = *series_.At(static_cast<int>(e));
                for (int s = 1; s <= p.NumStrikes; ++s) {
                    for (int k = 1; k <= 2; ++k) {
                        const float expected = source == VolSource::Flat ? solvedNow[e].BidIV(s, k)
                                                                         : before[e].BidIV(s, k);
                        EXPECT_FLOAT_EQ(p.BidIV(s, k), expected)
                            << underlying << " expiry " << e << " strike " << s;
                        EXPECT_FLOAT_EQ(p.AskIV(s, k), source == VolSource::Flat ? solvedNow[e].AskIV(s, k)
                                                                                 : before[e].AskIV(s, k));
                        moved += p.BidIV(s, k) != before[e].BidIV(s, k) ? 1 : 0;
                    }
                }
            }
            if (source == VolSource::Flat) {
                EXPECT_GT(moved, 10) << "the underlying moved to " << underlying;
            }
        }
    }
}

// Moving the valuation date by the days left of any expiry keeps it at
// least a day before the first expiry, so the first expiry never expires
// on the page.
TEST(PageSeriesDates, TheValuationDateStaysBeforeTheFirstExpiry)
{
    RecordingNotifier notifier;
    PageSeries series(notifier, LocaleInfo());
    series.Add(SpxExpiry(2, kBlackScholes));
    series.Add(SpxExpiry(3, kBlackScholes));
    series.SetFirstExpiry(series.front().ExpiryDate);
    for (int tab = 0; tab < 2; ++tab) {
        const TDateTime expiry = series.At(tab)->ExpiryDate;
        for (int days = 0; days <= 80; ++days) {
            const TDateTime today = series.MoveToday(expiry, days);
            series.ApplyInputs({});
            const TInOutObj& first = series.front();
            EXPECT_GE(first.DaysToExpiry(), 1) << "tab " << tab << ", " << days << " days";
            EXPECT_EQ(series.At(tab)->TodayDate, today);
            // Where the first expiry allows it, the days asked for are left.
            if (days > 0 && expiry - days < series.FirstExpiry()) {
                EXPECT_EQ(series.At(tab)->DaysToExpiry(), days) << "tab " << tab;
            }
        }
    }
}

// An expired expiry is zeroed and priced no further; a strike of zero in
// every expiry is named once; the other strikes are priced.
TEST(PageSeriesRecalc, ExpiredExpiriesAndBadStrikes)
{
    RecordingNotifier notifier;
    PageSeries series(notifier, LocaleInfo());
    for (const int month : {2, 3}) {
        auto p = SpxExpiry(month, kBlackScholes);
        p->Strike(3, 1) = p->Strike(3, 2) = 0;
        series.Add(std::move(p));
    }
    series.SetToday(EncodeDate(2011, 1, 24));
    series.ApplyInputs({});
    const std::string message = series.RecalcAll(VolSource::Flat);
    EXPECT_NE(message.find("Strike 3 "), std::string::npos) << message;
    EXPECT_EQ(message.find("cannot"), message.rfind("cannot")) << message;
    for (const auto& p : series) {
        EXPECT_EQ(p->Theo(3, 1), 0);
        EXPECT_GT(p->Theo(1, 1), 0);
        EXPECT_GT(p->Theo(12, 2), 0);
    }

    // February expired on the 19th: its results are gone, March's stay.
    series.SetToday(EncodeDate(2011, 2, 25));
    series.ApplyInputs({});
    series.RecalcAll(VolSource::Flat);
    EXPECT_EQ(series.At(0)->Theo(1, 1), 0);
    EXPECT_EQ(series.At(0)->Delta(12, 2), 0);
    EXPECT_GT(series.At(1)->Theo(1, 1), 0);
}

// A quote file that cannot be read is named, and the expiries keep their
// date and market.
TEST_F(LoadedSeries, AnUnreadableQuoteFileIsNamedAndLoadsNothing)
{
    Build(kBlackScholes);
    const TDateTime today = series_.Today();
    const auto market = series_.Market();
    const std::string damaged = (scratch_ / "BROKEN.txt").string();
    std::ofstream(damaged) << "\x01\x02 not a quote table\n";
    const SeriesQuotes loaded = series_.LoadQuotes(damaged, "SPX-E", kRates);
    EXPECT_FALSE(loaded.loaded);
    ASSERT_FALSE(notifier_.messages.empty());
    bool named = false;
    for (const std::string& message : notifier_.messages)
        named = named || message.find("BROKEN") != std::string::npos;
    EXPECT_TRUE(named) << notifier_.messages.front();
    EXPECT_EQ(series_.Today(), today);
    EXPECT_EQ(series_.Market(), market);

    const SeriesQuotes missing = series_.LoadQuotes((scratch_ / "GONE.txt").string(), "SPX-E", kRates);
    EXPECT_FALSE(missing.loaded);
    EXPECT_EQ(series_.Today(), today);
}

// The underlying's price as the page's box takes it.
TEST(QuoteLoadTexts, UnderlyingBoxText)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1290.59, "1290.59"}, {1290.5, "1290.5"}, {100.0, "100"}, {0.5, ".5"},          {-0.25, "-.25"},
        {10.5, "10.5"},       {-10.5, "-10.5"},   {0.0, "0"},     {12.345678, "12.35"}, {9.999, "10"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnderlyingBoxText(c.value, '.'), c.text) << c.value;
    EXPECT_EQ(UnderlyingBoxText(1290.5, ','), "1290,5");
}

}  // namespace
}  // namespace kestrava
