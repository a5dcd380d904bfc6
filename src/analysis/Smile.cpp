#include "analysis/Smile.h"

#include "common/numtext.h"

namespace kestrava {

const char* const kSmileCsvHeader = "strike,side,bid_iv,ask_iv";

std::vector<SmilePoint> SmilePoints(const TInOutObj& expiry)
{
    std::vector<SmilePoint> points;
    for (int k = 1; k <= 2; ++k) {
        for (int s = 1; s <= expiry.NumStrikes; ++s) {
            const SmilePoint point{expiry.Strike(s, k), k == 1, expiry.BidIV(s, k), expiry.AskIV(s, k)};
            if (point.strike > 0 && (point.bidIV > 0 || point.askIV > 0))
                points.push_back(point);
        }
    }
    return points;
}

SmileData MakeSmileData(const TInOutObj& expiry)
{
    SmileData data;
    data.points = SmilePoints(expiry);
    data.flatVolatility = expiry.Sigma;
    data.underlying = expiry.Underlying;
    data.expiry = expiry.ExpiryDate;
    data.symbol = expiry.OptSymbol;
    return data;
}

std::string SmileCsv(const std::vector<SmilePoint>& points)
{
    std::string text = std::string(kSmileCsvHeader) + "\n";
    for (const SmilePoint& point : points) {
        text.append(FormatShortestSingle(point.strike)).append(point.call ? ",C," : ",P,");
        text.append(FormatShortestSingle(point.bidIV)).append(",").append(FormatShortestSingle(point.askIV));
        text.append("\n");
    }
    return text;
}

}  // namespace kestrava
