#pragma once
// The six duty edits of the readings page, kept as a model that the window
// mirrors, so that fan control runs and is tested without widgets. Edit n
// (1-based) shows the duty of position n - 1 of the shown speed slots.

#include <array>
#include <cstdint>
#include <functional>

class TDutyEdits {
public:
    static constexpr int Count = 6;

    // Setting an edit to the value it already shows is no change; a change
    // calls OnShow (the window's view) and then OnChange (the writer).
    // Answers whether it changed. n outside 1..6 is ignored.
    bool Set(int n, std::int32_t value);
    std::int32_t Value(int n) const;
    // The duty the edit stands for, capped at 100.
    std::int32_t UFCycles(int n) const;

    // Stops changes from writing PWMs while the window is being built and
    // around programmatic changes.
    bool SuppressPwmWrite = true;

    // A write that did not happen (bus busy, the output refused it) is tried
    // again on the next tick.
    void SetWritePending(int n, bool pending);
    bool WritePending(int n) const;

    std::function<void(int n)> OnShow;
    std::function<void(int n)> OnChange;

private:
    static bool valid(int n) { return n >= 1 && n <= Count; }

    std::array<std::int32_t, Count> values_{};
    std::array<bool, Count> pending_{};
};
