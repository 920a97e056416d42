#include "core/cvdutyedits.h"

#include <algorithm>

bool TDutyEdits::Set(int n, std::int32_t value) {
    if (!valid(n) || values_[n - 1] == value) return false;
    values_[n - 1] = value;
    if (OnShow) OnShow(n);
    if (OnChange) OnChange(n);
    return true;
}

void TDutyEdits::Show(int n, std::int32_t value) {
    TSuppressedWrites suppressed(*this);
    Set(n, value);
}

std::int32_t TDutyEdits::Value(int n) const { return valid(n) ? values_[n - 1] : 0; }

std::int32_t TDutyEdits::UFCycles(int n) const { return std::min(Value(n), 100); }

bool TDutyEdits::NoteWrite(int n, TPwmWrite outcome, bool retry) {
    if (!valid(n)) return false;
    TWriteState& state = writes_[n - 1];
    const bool changed = state.Last != outcome;
    state.Last = outcome;
    state.Pending = false;
    switch (outcome) {
        case TPwmWrite::BusBusy:
            // Nothing reached the output: try on the next tick, whatever came before.
            state.Pending = retry;
            state.Wait = 1;
            break;
        case TPwmWrite::Refused:
            if (state.Retries < MaxRetries) {
                state.Pending = retry;
                state.Wait = 1 << state.Retries;
                ++state.Retries;
            }
            break;
        case TPwmWrite::None:
        case TPwmWrite::Written:
        case TPwmWrite::NoOutput:
        case TPwmWrite::Invalid:
            state.Retries = 0;
            break;
    }
    return changed;
}

TPwmWrite TDutyEdits::LastWrite(int n) const { return valid(n) ? writes_[n - 1].Last : TPwmWrite::None; }

void TDutyEdits::CountTick() {
    for (auto& state : writes_)
        if (state.Pending && state.Wait > 0) --state.Wait;
}

bool TDutyEdits::RetryDue(int n) const { return valid(n) && writes_[n - 1].Pending && writes_[n - 1].Wait == 0; }

bool TDutyEdits::WritePending(int n) const { return valid(n) && writes_[n - 1].Pending; }
