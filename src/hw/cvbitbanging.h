#pragma once
// A software I2C master on four line primitives, and the one that drives the
// I2C lines of an NVIDIA card through its VGA CRTC extension registers.

#include <cstdint>
#include <functional>
#include <string>

#include "hw/cvlink.h"

class TBitBanger {
public:
    using TLogEvent = std::function<void(const std::string& msg)>;

    // LastError after the clock line stayed low.
    static constexpr std::uint8_t SCLTimedOut = 5;

    TBitBanger();
    virtual ~TBitBanger() = default;
    TBitBanger(const TBitBanger&) = delete;
    TBitBanger& operator=(const TBitBanger&) = delete;

    // The lines as they read, and driving them. SetSCL(true) answers whether
    // the clock line really went high.
    virtual bool GetSCL() = 0;
    virtual bool GetSDA() = 0;
    virtual bool SetSCL(bool high) = 0;
    virtual bool SetSDA(bool high) = 0;

    bool Start();
    bool Stop();
    bool ReadAck();
    bool WriteAck(bool ack);
    bool WriteByte(std::uint8_t value);
    // 0..255, or -1.
    int ReadByte(bool last);

    // Writes the command, then reads `count` bytes after a repeated start; a
    // negative command reads without the write phase.
    bool ReadData(int address, int command, int count, TSMBBlockData& data);
    bool WriteData(int address, std::uint8_t command, const TSMBBlockData& data);
    bool ReadByteData(int address, std::uint8_t command, std::uint8_t& value);
    // The first byte on the bus is the high byte.
    bool ReadWordData(int address, std::uint8_t command, std::uint16_t& value);
    bool WriteByteData(int address, std::uint8_t command, std::uint8_t value);
    bool WriteQuick(int address);

    std::uint8_t Flags = 0;
    std::uint8_t LastError = 0;
    TLogEvent OnLog;

protected:
    // Half an I2C bit time (10 us) on the performance counter, or a short
    // busy loop on a machine without one.
    void HalfBitDelay();
    void Log(const std::string& msg) const {
        if (OnLog) OnLog(msg);
    }

private:
    std::uint64_t frequency_;
};

// The lines of one card bus: bits 2 (SCL) and 3 (SDA) of the CRTC status
// register read them; the control register (status + 1) drives them.
class TNvidiaI2C : public TBitBanger {
public:
    static constexpr std::uint16_t CrtcIndexPort = 0x3D4;
    static constexpr std::uint16_t CrtcDataPort = 0x3D5;

    explicit TNvidiaI2C(std::uint8_t statusIndex);

    bool GetSCL() override;
    bool GetSDA() override;
    bool SetSCL(bool high) override;
    bool SetSDA(bool high) override;

    // Checks that both lines are free and each can be pulled low and let go;
    // every failed expectation is logged.
    bool BusCheck();
    bool WriteQuickLocked(int address);

    std::uint8_t StatusIndex() const { return statusIndex_; }
    std::uint8_t ControlIndex() const { return controlIndex_; }

    int SCLTimeout = 20000;
    // The NVAPI index of the card bound to the bus, -1 when none.
    int CardNvapiIndex = -1;

private:
    std::uint8_t ReadReg(std::uint8_t index);
    bool WriteReg(std::uint8_t index, std::uint8_t value);
    void Unlock();
    void Release();
    // One expectation of the bus check: the line (SDA, else SCL) reads as
    // given, else `wrong` is logged.
    bool ExpectLine(bool sda, bool high, const char* wrong);

    std::uint8_t statusIndex_;
    std::uint8_t controlIndex_;
};
