#pragma once
// The nForce2 chipset's bus clock: a PLL in the host bridge programmed
// through PCI configuration space, moved to a new clock 1 MHz at a time. No
// SMBus and so no bus lock.

#include <cstdint>

#include "cpu/cvclocks.h"

class TNForce2 : public TClock {
public:
    static constexpr std::uint8_t Id = 25;
    static constexpr int FirstMHz = 66;
    static constexpr int LastMHz = 300;

    // One entry per whole MHz from 66 to 300.
    TNForce2(TLink* link, std::uint8_t chipId, int address);

    int ReadClock() override;
    bool SetClock(int index) override;

    // 25 MHz x N / M of a PLL value (N bits 15-8, M bits 7-0), rounded half
    // to even; 0 when M is 0.
    static int PllToFsb(std::uint32_t value);
    static std::uint32_t MakePllValue(int n, int m);
    // The pair with the largest M (then N) that reaches MHz, else MHz + 1,
    // + 2 or + 3; -1 when none does.
    static std::int64_t FindPllValue(int mhz);

    // The bus clock in MHz; 0 when unknown.
    int ReadFsb();
    bool SetFsb(int targetMHz);

private:
    void WritePll(std::uint32_t value);
};
