#pragma once
// The names of the contract types (ContractKind in IORecObj1.h), as the
// printed grid and kestrava-calc's table write them.

namespace kestrava {

// "Equity", "Index", "Future", "Currency"; nullptr for any other number.
const char* ContractName(int contractType);

}  // namespace kestrava
