#pragma once
// One row of data per SMSC chip: which registers its readings come from and
// which family of access reaches them. The register-file rows and the
// runtime-register rows are each built beside their family's reads.

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int SMSCNoReg = -1;

// A temperature: its main register, the register whose bits 7:5 are eighths.
struct TSMSCTempReg {
    std::uint8_t reg;
    int fraction = SMSCNoReg;
};

enum class TSMSCTempMode {
    Signed,         // above 127 negative, fraction added
    ExtendedRange,  // EMC1402: unsigned, 64 below when 03h bit 2 is set
};

struct TSMSCVoltReg {
    std::uint8_t reg;
    double factor;
};

enum class TSMSCFanKind { None, Count13, Word16, RuntimePreload, RuntimeWord };
enum class TSMSCPwmKind { None, Single, Configured, Runtime, IndexData, ConfigSpace };

// A runtime-block fan: count, preload and divisor field; `output` is the
// register whose duty 0 stops the count (0 when the chip keeps counting).
struct TSMSCRuntimeFan {
    std::uint8_t count, preload, divisorReg, divisorMask;
    int divisorShift;
    std::uint8_t output = 0;
};

// A runtime output: its register and the register whose bit 1, clear,
// reverses it (0 when never reversed).
struct TSMSCRuntimeOutput {
    std::uint8_t reg;
    std::uint8_t reverseConfig = 0;
};

struct TSMSCChip {
    std::vector<int> codes;
    std::vector<std::string> names;  // one per code
    std::vector<std::string> tempNames;
    std::vector<TSMSCTempReg> temps;
    TSMSCTempMode tempMode = TSMSCTempMode::Signed;
    int tempGate = SMSCNoReg;  // a register that must read before any temperature is taken
    std::vector<std::string> voltNames;
    std::vector<TSMSCVoltReg> volts;
    TSMSCFanKind fanKind = TSMSCFanKind::None;
    int fanCount = 0;
    std::uint8_t fanBase = 0;                   // Word16: the first fan's low byte
    std::vector<TSMSCRuntimeFan> runtimeFans;   // RuntimePreload
    std::vector<std::uint8_t> wordFans;         // RuntimeWord: low bytes, the high byte follows
    TSMSCPwmKind pwmKind = TSMSCPwmKind::None;
    int pwmCount = 0;
    std::uint8_t pwmBase = 0, configBase = 0;   // Configured
    std::vector<TSMSCRuntimeOutput> outputs;    // Runtime, IndexData, ConfigSpace
    bool fullOnAt100 = false;                   // Runtime: 100 % sets the full-on bit
    std::vector<int> props;
    bool zonesNumbered = false;                 // 16-18 name zones rather than sensors
    std::uint8_t clockMask = 0;                 // 4-6 on the register file (bits of 5Fh-61h)
    bool runtimeClocks = false;                 // 4-5 assembled from runtime bits
    bool runtimeAtAddress2 = false;             // LPC47M233
    enum class Dump { None, Runtime, IndexData, ConfigPort } dump = Dump::None;
};

TSMSCChip SMSCChip(std::vector<int> codes, std::vector<std::string> names);
// The row of a chip code, or null.
const TSMSCChip* FindSMSCChip(int code);
