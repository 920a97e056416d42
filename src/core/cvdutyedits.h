#pragma once
// The six duty edits of the readings page, kept as a model that the window
// mirrors, so that fan control runs and is tested without widgets. Edit n
// (1-based) shows the duty of position n - 1 of the shown speed slots.

#include <array>
#include <cstdint>
#include <functional>

// How the last write of an edit's duty went.
enum class TPwmWrite : std::uint8_t {
    None,      // nothing tried yet
    Written,
    BusBusy,   // this process was inside a bus transaction: not tried
    Refused,   // the output did not take the duty
    NoOutput,  // the slot is bound to an output its sensor lacks
    Invalid,   // no shown slot or no valid duty for the edit
};

class TDutyEdits {
public:
    static constexpr int Count = 6;
    // A refused duty is asked again after 1, 2, 4, 8 and 16 ticks, then left
    // until the edit changes or the output takes a duty again.
    static constexpr int MaxRetries = 5;

    // Setting an edit to the value it already shows is no change; a change
    // calls OnShow (the window's view) and then OnChange (the writer).
    // Answers whether it changed. n outside 1..6 is ignored.
    bool Set(int n, std::int32_t value);
    // A programmatic change: shows the value with writes suppressed, so no
    // output is driven and nothing is saved.
    void Show(int n, std::int32_t value);
    std::int32_t Value(int n) const;
    // The duty the edit stands for, capped at 100.
    std::int32_t UFCycles(int n) const;

    // Stops changes from writing PWMs while the window is being built and
    // around programmatic changes.
    bool SuppressPwmWrite = true;

    // Books how a write of edit n went; retry says whether a write that did
    // not happen may be tried again on a later tick. Answers whether the
    // outcome differs from the one before, which is when it is worth a line.
    bool NoteWrite(int n, TPwmWrite outcome, bool retry);
    TPwmWrite LastWrite(int n) const;
    // The start of a tick: pending writes come one tick nearer.
    void CountTick();
    // Whether edit n's pending write is due in this tick.
    bool RetryDue(int n) const;
    bool WritePending(int n) const;

    std::function<void(int n)> OnShow;
    std::function<void(int n)> OnChange;

private:
    static bool valid(int n) { return n >= 1 && n <= Count; }

    struct TWriteState {
        TPwmWrite Last = TPwmWrite::None;
        bool Pending = false;
        int Retries = 0;  // refusals in a row
        int Wait = 0;     // ticks until the pending write is due
    };

    std::array<std::int32_t, Count> values_{};
    std::array<TWriteState, Count> writes_{};
};

// Raises SuppressPwmWrite for a scope and then gives back the value it found,
// so a scope inside a suppressed stretch (start-up) leaves it suppressed.
class TSuppressedWrites {
public:
    explicit TSuppressedWrites(TDutyEdits& edits) : flag_(edits.SuppressPwmWrite), saved_(flag_) { flag_ = true; }
    ~TSuppressedWrites() { flag_ = saved_; }
    TSuppressedWrites(const TSuppressedWrites&) = delete;
    TSuppressedWrites& operator=(const TSuppressedWrites&) = delete;

private:
    bool& flag_;
    bool saved_;
};
