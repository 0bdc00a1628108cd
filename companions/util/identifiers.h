// The three identifiers as texts; "" when the machine gives nothing to make one from.
#pragma once

#include <string>

namespace selvik {

// 32 upper-case hex digits, derived from the machine id (never the id itself, which
// stays private to the machine).
std::string machine_identifier();
// 32 upper-case hex digits from the machine id and the physical adapters' addresses.
std::string hardware_identifier();
// The main adapter's address, "AA-BB-CC-DD-EE-FF".
std::string adapter_address();

}  // namespace selvik
