#pragma once
// One expiry of an option series: the inputs the user and the data files
// supply and every per-strike result the loaders and models write.
//
// Units, once for all: rates, yields and volatilities are fractions (0.05 is
// 5 %); money values are in the underlying's price units; Vega is the value
// change for one volatility point (0.01); Decay the value change for one
// calendar day. Dates are day numbers from 30 December 1899, 0 = no date.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "common/dates.h"

namespace kestrava {

constexpr int kMaxStrikes = 20;

enum ContractKind : std::int32_t { kEquity = 1, kIndex = 2, kFuture = 3, kCurrency = 4 };
enum ModelKind : std::int32_t {
    kBlackScholes = 1,
    kBlackFutures = 2,
    kBinomial = 3,
    kWhaley = 4,
};

// A table indexed by strike s (1..20) and side k (1 call, 2 put).
template <typename T>
class PerStrike {
public:
    T& operator()(int s, int k) { return cells_[Index(s, k)]; }
    const T& operator()(int s, int k) const { return cells_[Index(s, k)]; }

private:
    static std::size_t Index(int s, int k)
    {
        if (s < 1 || s > kMaxStrikes || k < 1 || k > 2)
            throw std::out_of_range("strike " + std::to_string(s) + ", side " + std::to_string(k)
                                    + " is outside the series tables");
        return static_cast<std::size_t>(s - 1) * 2 + static_cast<std::size_t>(k - 1);
    }
    std::array<T, std::size_t{kMaxStrikes} * 2> cells_{};
};

class TInOutObj {
public:
    std::int32_t ContractType = 0;
    std::int32_t Model = 0;
    std::int32_t Steps = 0;
    std::uint16_t ExpiryDay = 0;
    std::int32_t ExpiryMonth = 0;
    std::int32_t NumStrikes = 0;
    std::int32_t ReservedInt = 0;
    std::int32_t SigmaDays = 0;
    float Dividend = 0;  // equity: cash per share; index: yield; currency: foreign rate
    float Rate = 0;
    float Underlying = 0;
    float Sigma = 0;
    TDateTime PriceDate = 0;
    TDateTime TodayDate = 0;
    TDateTime ExpiryDate = 0;
    TDateTime DivDate = 0;
    std::string OptSymbol;
    std::string SourceFile;
    std::string OptContract;
    std::uint8_t SourceFileType = 0;
    std::uint8_t SkewMode = 0;  // 0 flat Sigma, 1 bid IVs, 2 ask IVs
    PerStrike<std::string> OptCode;

    PerStrike<float> Strike;
    PerStrike<float> Last;
    PerStrike<float> NetChange;
    PerStrike<float> Bid;
    PerStrike<float> Ask;
    PerStrike<float> BidIV;
    PerStrike<float> AskIV;
    PerStrike<float> ReservedValue;
    PerStrike<float> Vol;
    PerStrike<float> Theo;
    PerStrike<float> Delta;
    PerStrike<float> Gamma;
    PerStrike<float> Vega;
    PerStrike<float> Decay;
    PerStrike<float> ProbAbove;  // filled on the call side only
    PerStrike<float> ProbBelow;  // filled on the put side only

    int DaysToExpiry() const { return DaysBetween(TodayDate, ExpiryDate); }
    int DaysToDividend() const { return DaysBetween(TodayDate, DivDate); }
    // Forces ExpiryDay onto ExpiryDate when it is set; throws DateError when
    // that day does not exist in the expiry's month.
    TDateTime GetExpiry();

    // Whole days from one date to another, times of day ignored; 0 when the
    // later date is not after the earlier one or the earlier one is not set.
    static int DaysBetween(TDateTime earlier, TDateTime later);
};

// A series is one TInOutObj per expiry, in tab order.
}  // namespace kestrava
