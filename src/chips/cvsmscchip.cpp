#include "chips/cvsmscchip.h"

#include <algorithm>

#include "chips/cvsmscregisterfile.h"
#include "chips/cvsmscruntime.h"

TSMSCChip SMSCChip(std::vector<int> codes, std::vector<std::string> names) {
    TSMSCChip c;
    c.codes = std::move(codes);
    c.names = std::move(names);
    return c;
}

namespace {

std::vector<TSMSCChip> BuildChips() {
    std::vector<TSMSCChip> chips = SMSCRegisterFileChips();
    const std::vector<TSMSCChip> runtime = SMSCRuntimeChips();
    chips.insert(chips.end(), runtime.begin(), runtime.end());
    return chips;
}

}  // namespace

const TSMSCChip* FindSMSCChip(int code) {
    static const std::vector<TSMSCChip> chips = BuildChips();
    for (const TSMSCChip& chip : chips)
        if (std::find(chip.codes.begin(), chip.codes.end(), code) != chip.codes.end()) return &chip;
    return nullptr;
}
