#pragma once
// Super I/O chips behind their configuration port pair: index port P, data
// port P + 1. A chip answers only after its vendor's entry key was written to
// P, and goes back to sleep on the exit key. Ports are reached raw through
// IOPort, without bus locks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "detect/cvdetectcontext.h"

class TLogSinks;

// ---- configuration primitives ----------------------------------------------------
// Each raises EPortError while hardware access is closed (no IOPort), and
// passes on whatever a port access raises.

std::uint8_t ReadConfigRegister(std::uint16_t configPort, std::uint8_t reg);
void WriteConfigRegister(std::uint16_t configPort, std::uint8_t reg, std::uint8_t value);
// Register 07h picks the logical device that registers 30h and up belong to.
void SelectLogicalDevice(std::uint16_t configPort, std::uint8_t ldn);
// Index written, then the index port read back: an awake chip echoes it.
bool IndexReadsBack(std::uint16_t configPort, std::uint8_t reg);

// An entry key and the exit that goes with it, all written to the index port.
struct TConfigKey {
    std::array<std::uint8_t, 4> Entry{};
    std::size_t EntryLength = 0;
    // The ITE exit: after AAh, register 02h := 02h.
    bool ExitResetsRegister02 = false;

    std::span<const std::uint8_t> EntryBytes() const { return {Entry.data(), EntryLength}; }
};

inline constexpr std::uint8_t ExitKeyByte = 0xAA;
inline constexpr TConfigKey Key55{{0x55, 0x55}, 2};
inline constexpr TConfigKey Key87{{0x87, 0x87}, 2};
inline constexpr TConfigKey KeyITE{{0x87, 0x01, 0x55, 0x55}, 4, true};
// A single 55h: how the older SMSC parts are probed.
inline constexpr TConfigKey Key55Once{{0x55}, 1};

// Raises like the primitives.
void WriteEntryKey(std::uint16_t configPort, const TConfigKey& key);
// False when a write of the entry raised.
bool EnterConfig(std::uint16_t configPort, const TConfigKey& key);
// Failures are swallowed: a chip left awake hangs nothing.
void ExitConfig(std::uint16_t configPort, const TConfigKey& key) noexcept;

bool EnterConfig55(std::uint16_t configPort);
bool EnterConfig87(std::uint16_t configPort);
bool EnterConfigITE(std::uint16_t configPort);
void ExitConfigAA(std::uint16_t configPort) noexcept;
void ExitConfigITE(std::uint16_t configPort) noexcept;

// Writes the key's exit when it goes out of scope, whatever path leaves it.
class TConfigExitGuard {
public:
    TConfigExitGuard(std::uint16_t configPort, const TConfigKey& key) : port_(configPort), key_(key) {}
    ~TConfigExitGuard() { ExitConfig(port_, key_); }
    TConfigExitGuard(const TConfigExitGuard&) = delete;
    TConfigExitGuard& operator=(const TConfigExitGuard&) = delete;

private:
    std::uint16_t port_;
    TConfigKey key_;
};

// True when a kernel driver holds the chip's configuration ports or the
// eight ports of its monitor at MonitorBase (0: none known); Step, the write
// that is then skipped, is named in one trace line. Identification only
// reads and may always run; writes that change the chip ask here first.
bool SuperIOHeldByKernel(std::uint16_t configPort, std::uint16_t monitorBase, const std::string& step);

// ---- identification ----------------------------------------------------------------

// Where Super I/O chips answer, in the order they are tried.
inline constexpr std::array<std::uint16_t, 5> SuperIOConfigPorts{0x2E, 0x4E, 0x370, 0x3F0, 0x250};

// Configuration registers 00h-27h of one port; FFh where nothing was read.
using TSuperIORegisters = std::array<std::uint8_t, 0x28>;

// The identification methods, as bits of a set.
enum TSuperIOMethod : unsigned {
    MethodWinbondFamily = 1,  // Winbond, Nuvoton, Fintek, VIA and early ITE parts
    MethodSMSC = 2,
    MethodNational = 4,
    MethodITE = 8,
};
inline constexpr unsigned AllSuperIOMethods = MethodWinbondFamily | MethodSMSC | MethodNational | MethodITE;

struct TSuperIOChip {
    std::string Name;
    std::uint8_t Code = 0;  // 0: named but not supported
    bool operator==(const TSuperIOChip&) const = default;
};

TSuperIORegisters DumpSuperIOConfig(std::uint16_t configPort);
// Every method of the set whose presence test passes writes its dump line
// and logs each match to the information box; the last match is answered.
std::optional<TSuperIOChip> IdentifySuperIOChip(TLogSinks& log, std::uint16_t configPort,
                                                const TSuperIORegisters& regs, unsigned methods);
// Logs what answers at each port, without and then with the entry keys;
// records nothing. Failures other than a raising entry key reach the caller.
void ProbeSuperIONew(TLogSinks& log);

// The vendor methods: each writes its entry key, reads a few registers,
// matches its chip table and writes the exit key on every path. A raising
// port access ends it as not found.
std::optional<TSuperIOChip> DetectITE(TLogSinks& log, std::uint16_t configPort);
std::optional<TSuperIOChip> DetectWinbond(TLogSinks& log, std::uint16_t configPort);
std::optional<TSuperIOChip> DetectSMSC(TLogSinks& log, std::uint16_t configPort);
std::optional<TSuperIOChip> DetectSMSC2(TLogSinks& log, std::uint16_t configPort);
std::optional<TSuperIOChip> DetectNS(TLogSinks& log, std::uint16_t configPort);

// Vendor by vendor up to the first chip found: records it in SuperIOInfo
// and hands it to its vendor's set-up, which reads through LinkIndex.
void ProbeSuperIO(TDetectionContext& context, int linkIndex);
