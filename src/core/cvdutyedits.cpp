#include "core/cvdutyedits.h"

#include <algorithm>

bool TDutyEdits::Set(int n, std::int32_t value) {
    if (!valid(n) || values_[n - 1] == value) return false;
    values_[n - 1] = value;
    if (OnShow) OnShow(n);
    if (OnChange) OnChange(n);
    return true;
}

std::int32_t TDutyEdits::Value(int n) const { return valid(n) ? values_[n - 1] : 0; }

std::int32_t TDutyEdits::UFCycles(int n) const { return std::min(Value(n), 100); }

void TDutyEdits::SetWritePending(int n, bool pending) {
    if (valid(n)) pending_[n - 1] = pending;
}

bool TDutyEdits::WritePending(int n) const { return valid(n) && pending_[n - 1]; }
