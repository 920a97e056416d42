#include "core/cvclocklists.h"

#include <algorithm>

#include "platform/asciicase.h"

namespace {

bool Offered(const TClockTableRow& row) { return row.State == 1 || row.State == 2; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return platform::asciiUpper(a) == platform::asciiUpper(b);
}

std::vector<std::string> SortedByUpperCase(std::vector<std::string> items) {
    std::stable_sort(items.begin(), items.end(), [](const std::string& a, const std::string& b) {
        return platform::asciiUpper(a) < platform::asciiUpper(b);
    });
    return items;
}

}  // namespace

std::vector<std::string> ClockChipItems(const std::vector<TClockTableRow>& clockChips) {
    std::vector<std::string> items;
    for (const auto& row : clockChips)
        if (Offered(row)) items.push_back(row.Vendor + " " + row.Model);
    return SortedByUpperCase(std::move(items));
}

std::vector<std::string> ClockVendorItems(const std::vector<TClockTableRow>& boards) {
    std::vector<std::string> sorted;
    for (const auto& row : boards)
        if (Offered(row)) sorted.push_back(row.Vendor);
    sorted = SortedByUpperCase(std::move(sorted));
    std::vector<std::string> items;
    for (std::size_t i = 0; i < sorted.size(); ++i)
        if (i + 1 == sorted.size() || !SameIgnoringCase(sorted[i], sorted[i + 1])) items.push_back(sorted[i]);
    return items;
}

std::vector<std::string> ClockModelItems(const std::vector<TClockTableRow>& boards, const std::string& vendor) {
    std::vector<std::string> items;
    for (const auto& row : boards)
        if (Offered(row) && SameIgnoringCase(row.Vendor, vendor)) items.push_back(row.Model);
    return SortedByUpperCase(std::move(items));
}
