#pragma once
// What the files of the setup dialog share and nothing outside it needs.

#include <QString>

#include "pricing/ModelTable.h"

namespace kestrava::inputsparts {

// The contract radio buttons' ids.
enum ContractTag { kTagEquity = 0, kTagIndex = 1, kTagFuture = 2, kTagCurrency = 3 };

// The model buttons' ids: each model's row in the model table; -1 for a
// number outside it.
inline int ModelIndex(int model)
{
    const auto models = ModelTable();
    for (std::size_t i = 0; i < models.size(); ++i)
        if (models[i].number == model)
            return static_cast<int>(i);
    return -1;
}

inline const QString kDivYieldCaption = QStringLiteral("% Div Yield:");
inline const QString kExpiryHint = QStringLiteral(
    "Expiry is usually the 3rd Saturday of the month, except for Leaps");

}  // namespace kestrava::inputsparts
