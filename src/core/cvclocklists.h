#pragma once
// The clock page's lists as start-up fills them from the clock-generator
// tables: only offered rows (state 1 or 2), sorted by their upper-case text,
// equal texts keeping their table order.

#include <string>
#include <vector>

#include "core/cvservices.h"

// "vendor model" of each offered clock chip.
std::vector<std::string> ClockChipItems(const std::vector<TClockTableRow>& clockChips);
// The vendors of the offered boards; of a run equal ignoring case, the last.
std::vector<std::string> ClockVendorItems(const std::vector<TClockTableRow>& boards);
// The models of the offered boards of that vendor (ignoring case).
std::vector<std::string> ClockModelItems(const std::vector<TClockTableRow>& boards, const std::string& vendor);
