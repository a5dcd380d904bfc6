#include "analysis/MarkedPosition.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "analysis/AnalysisError.h"
#include "analysis/PositionTotals.h"
#include "common/localeparse.h"
#include "pricing/modeliv.h"
#include "pricing/Models.h"
#include "pricing/ModelTable.h"

namespace kestrava {
namespace {

// "2", "2 and 3", "1, 2 and 4": leg numbers from 1.
std::string LegNumbers(const std::vector<int>& indices)
{
    std::string text;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (i > 0)
            text += i + 1 == indices.size() ? " and " : ", ";
        text += std::to_string(indices[i] + 1);
    }
    return text;
}

}  // namespace

MarkedPosition::MarkedPosition(std::span<const TInOutObj* const> expiries, const Position& position,
                               MarkSource source)
    : multiplier_(position.multiplier), source_(source)
{
    for (std::size_t e = 0; e < expiries.size(); ++e) {
        const TInOutObj& p = *expiries[e];
        MarkedExpiry expiry;
        expiry.index = static_cast<int>(e);
        expiry.day = std::trunc(p.ExpiryDate);
        expiry.inputs = p;
        expiry.flatVol = p.Sigma;
        expiry.smile = SmileOfQuotes(p);
        expiries_.push_back(std::move(expiry));
    }
    // The valuation date and price are the first option leg's expiry's
    // (the page keeps them the same in every expiry).
    for (const PositionLeg& leg : position.legs) {
        const LegPlace place = FindLeg(expiries, leg);
        if (place.Found()) {
            today_ = expiries[static_cast<std::size_t>(place.expiry)]->TodayDate;
            underlying_ = ShortestDouble(expiries[static_cast<std::size_t>(place.expiry)]->Underlying);
            break;
        }
    }
    if (today_ == 0 && !expiries.empty()) {
        today_ = expiries.front()->TodayDate;
        underlying_ = ShortestDouble(expiries.front()->Underlying);
    }

    // Legs of one option share their volatility: a tree is solved once.
    std::map<std::tuple<int, int, int>, std::pair<float, bool>> solved;
    for (std::size_t i = 0; i < position.legs.size(); ++i) {
        const PositionLeg& source_leg = position.legs[i];
        MarkedLeg leg;
        leg.index = static_cast<int>(i);
        leg.kind = source_leg.kind;
        leg.size = LegSize(position, source_leg);
        leg.entryPrice = source_leg.price;
        leg.commission = LegCommission(position, source_leg);
        if (source_leg.IsOption()) {
            const LegPlace place = FindLeg(expiries, source_leg);
            if (!place.Found())
                continue;
            const TInOutObj& p = *expiries[static_cast<std::size_t>(place.expiry)];
            if (!FindModel(p.Model))
                throw AnalysisError("Expiry " + IsoDate(p.ExpiryDate)
                                    + " has no pricing model to value the position with: "
                                    + UnknownModelMessage(p.Model) + ".");
            leg.expiry = place.expiry;
            leg.s = place.s;
            leg.k = place.k;
            leg.strike = p.Strike(place.s, place.k);
            const auto key = std::make_tuple(leg.expiry, leg.s, leg.k);
            if (const auto known = solved.find(key); known != solved.end()) {
                MarkOption(leg, p, MarkSource::Model);
                if (source == MarkSource::Mid && MidPrice(p, leg.s, leg.k) > 0 && p.DaysToExpiry() > 0) {
                    leg.atMid = true;
                    leg.mark = MidPrice(p, leg.s, leg.k);
                    if (known->second.second) {
                        leg.vol = known->second.first;
                        leg.volSolved = true;
                    }
                }
            } else {
                MarkOption(leg, p, source);
                solved.emplace(key, std::make_pair(leg.vol, leg.volSolved));
            }
            const TDateTime day = std::trunc(p.ExpiryDate);
            firstExpiry_ = firstExpiry_ == 0 ? day : std::min(firstExpiry_, day);
            lastExpiry_ = std::max(lastExpiry_, day);
        } else {
            leg.mark = underlying_;
        }
        entryCost_ += leg.entryPrice * leg.size;
        commissions_ += leg.commission;
        legs_.push_back(leg);
    }
    if (firstExpiry_ == 0)
        firstExpiry_ = lastExpiry_ = std::trunc(today_);
}

void MarkedPosition::MarkOption(MarkedLeg& leg, const TInOutObj& p, MarkSource source)
{
    const LegPlace place{leg.expiry, leg.s, leg.k};
    leg.mark = LegTheo(p, place);
    if (p.DaysToExpiry() <= 0)
        return;  // worth its intrinsic value, no volatility left
    const float gridVol = p.Vol(leg.s, leg.k);
    leg.vol = gridVol > 0 ? gridVol : p.Sigma;
    OptionPricer pricer(p);
    pricer.MoveTo(p.TodayDate, p.Underlying, p.Rate);
    // A strike the grid left without a value (no volatility of its own to
    // price it at) is worth its value at the page's volatility, not nothing.
    if (!(gridVol > 0) && !(leg.mark > 0))
        leg.mark = pricer.Value(leg.strike, leg.k, p.Sigma);
    const double mid = MidPrice(p, leg.s, leg.k);
    if (source == MarkSource::Model || !(mid > 0))
        return;
    leg.atMid = true;
    leg.mark = mid;
    const float vol = SolveModelIV(pricer, leg.strike, leg.k, mid);
    if (vol > 0) {
        leg.vol = vol;
        leg.volSolved = true;
    }
}

std::vector<int> MarkedPosition::LegExpiries() const
{
    std::vector<int> found;
    for (const MarkedLeg& leg : legs_)
        if (leg.kind == LegKind::Option && ExpiryOf(leg).day > std::trunc(today_)
            && std::find(found.begin(), found.end(), leg.expiry) == found.end())
            found.push_back(leg.expiry);
    std::sort(found.begin(), found.end(), [this](int a, int b) {
        return expiries_[static_cast<std::size_t>(a)].day < expiries_[static_cast<std::size_t>(b)].day;
    });
    return found;
}

std::vector<int> MarkedPosition::LegsAtModel() const
{
    std::vector<int> found;
    if (source_ == MarkSource::Model)
        return found;
    for (const MarkedLeg& leg : legs_)
        if (leg.kind == LegKind::Option && !leg.atMid && leg.vol > 0)
            found.push_back(leg.index);
    return found;
}

double DistributionVolatility(const MarkedExpiry& expiry, double underlying, DistributionVol choice)
{
    if (choice == DistributionVol::Flat || expiry.smile.Empty())
        return expiry.flatVol;
    return expiry.smile.At(underlying);
}

std::string MarkNote(const MarkedPosition& marked)
{
    std::string note;
    const std::vector<int> atModel = marked.LegsAtModel();
    if (!atModel.empty()) {
        const bool one = atModel.size() == 1;
        note += (one ? "Leg " : "Legs ") + LegNumbers(atModel) + (one ? " has" : " have")
                + " no bid and ask and " + (one ? "is" : "are") + " marked at the model's value.";
    }
    for (const MarkedLeg& leg : marked.Legs()) {
        if (!leg.atMid || leg.volSolved)
            continue;
        if (!note.empty())
            note += " ";
        note += "No volatility gives leg " + std::to_string(leg.index + 1)
                + "'s mid price under its model; it is priced at "
                + FormatLocaleFixed(leg.vol * 100.0, 1, '.') + " %.";
    }
    return note;
}

}  // namespace kestrava
