#pragma once
// The chain window in the program: the main window opens it on a quote
// table and turns its selections into option pages.

#include "analysis/ChainSelection.h"
#include "optionpage/PageInputs.h"

namespace kestrava {

// The setup a chain's selection gives a new page, as if typed into the
// setup dialog: the symbol, the contract, the expiries, the strikes one by
// one, the underlying's price, the model and the dividend (a yield makes an
// index, a cash dividend an equity). Numbers are written with the locale's
// decimal separator, as the page reads the dialog's boxes.
SeriesSetup SetupFromChain(const ChainSelection& selection, char decimalSeparator);

}  // namespace kestrava
