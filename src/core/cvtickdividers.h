#pragma once
// The main tick's dividers: each step it paces is due when its counter is not
// below its limit, which restarts the counter; otherwise the counter counts
// on. A counter at MaxInt fires on the next tick.

#include <climits>

struct TTickDividers {
    static constexpr int MaxInt = INT_MAX;
    int FanDivider = 1;
    int VoltDivider = 3;
    int SlowDivider = 20;
    int XapDivider = 9;
    int FanCounter = MaxInt;
    int VoltCounter = MaxInt;
    int SlowCounter = MaxInt;
    int XapCounter = MaxInt;

    // Every divided step runs on the next tick.
    void FireAllOnNextTick() { FanCounter = VoltCounter = SlowCounter = XapCounter = MaxInt; }

    static bool Due(int& counter, int limit) {
        if (counter >= limit) {
            counter = 0;
            return true;
        }
        ++counter;
        return false;
    }
};
