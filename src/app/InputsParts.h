#pragma once
// What the files of the setup dialog share and nothing outside it needs.

#include <QString>

namespace kestrava::inputsparts {

// The contract radio buttons' ids and the model list's indexes.
enum ContractTag { kTagEquity = 0, kTagIndex = 1, kTagFuture = 2, kTagCurrency = 3 };
inline constexpr int kBlackFuturesIndex = 1;
inline constexpr int kBinomialIndex = 2;

inline const QString kDivYieldCaption = QStringLiteral("% Div Yield:");
inline const QString kExpiryHint = QStringLiteral(
    "Expiry is usually the 3rd Saturday of the month, except for Leaps");

}  // namespace kestrava::inputsparts
