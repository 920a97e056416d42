#pragma once
// Super I/O chips behind their configuration port pair: index port P, data
// port P + 1. A chip answers only after its vendor's entry key was written to
// P, and goes back to sleep on the exit key. Ports are reached raw through
// IOPort, without bus locks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

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
