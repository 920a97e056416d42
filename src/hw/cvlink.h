#pragma once
// A bus link: one access path on which chips are found and read. What a link
// is (its link kind) names it and picks its bus lock; how its byte, word and
// block operations reach the hardware is chosen once from its host kind.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TLink;
class TLinkAccess;
class TSMBusHost;

using TSMBBlockData = std::vector<std::uint8_t>;
using TLinkLogEvent = std::function<void(TLink& sender, const std::string& msg)>;
// Builds the host controller of a link; the link exists but is not yet named.
using TSMBusHostFactory = std::function<std::unique_ptr<TSMBusHost>(TLink& link)>;

namespace LinkKinds {
enum : std::uint8_t {
    ISA = 2,
    ISAFlat = 3,
    SMBus = 4,
    SMART = 5,
    PCI = 6,
    Joystick = 7,
    ACPI = 8,
    SCSI = 9,
    NVCPL = 10,
    ArecaRAID = 11,
    AMCC3wareRAID = 12,
    AdvSMART = 13,
    HECI = 14,
    ECNuvoton = 15,
};
}

namespace HostKinds {
enum : std::uint8_t {
    None = 0,
    Unknown = 1,
    Intel = 2,
    AMD = 3,
    VIA = 4,
    ISA = 5,
    ISAFlat = 6,
    Ali = 7,
    SiS5595 = 8,
    SiSx30 = 9,
    SiS968 = 10,
    nVidia = 11,
    nForce2 = 12,
    I2CNVidia = 13,
    AtiIgp = 14,
    Uli = 15,
    GeodeCompanion = 16,
    IntelMCH = 17,
    ECNuvoton = 18,
};
}

// SMBus protocols as the transaction engine numbers them.
namespace SMBusProtocols {
enum : std::uint8_t { Quick = 0, Byte = 1, ByteData = 2, WordData = 3, Block = 4 };
}

// Outcome codes of an SMBus transaction (LastError).
namespace SMBusErrors {
enum : std::uint8_t {
    NoError = 0,
    Unknown = 1,
    Collision = 2,
    TimeoutStart = 3,
    TimeoutEnd = 4,
    Timeout = 5,
    Protocol = 6,
    NotComplete = 7,
    NotCompleted = 8,
    UnknownFailure = 9,
    NoAck = 10,
    Device = 11,
    CommandDenied = 12,
    AccessDenied = 13,
    Busy = 14,
    PEC = 15,
    UnsupportedProtocol = 16,
};
}

class TLink {
public:
    // Chosen from the host kind: the host controller family's transport, or
    // none for kinds that have no SMBus transactions.
    TLink(std::uint8_t chipsetCode, std::uint8_t linkKind, std::uint8_t hostKind, std::uint32_t baseAddress,
          std::uint8_t flag);
    // With a host controller of the caller's choosing (simulated hosts).
    TLink(std::uint8_t chipsetCode, std::uint8_t linkKind, std::uint8_t hostKind, std::uint32_t baseAddress,
          std::uint8_t flag, const TSMBusHostFactory& makeHost);
    ~TLink();
    TLink(const TLink&) = delete;
    TLink& operator=(const TLink&) = delete;

    // ---- identity and names
    std::uint8_t ChipsetCode() const { return chipsetCode_; }
    std::uint8_t LinkKind() const { return linkKind_; }
    std::uint8_t HostKind() const { return hostKind_; }
    std::uint32_t BaseAddress() const { return baseAddress_; }
    std::uint8_t Flag() const { return flag_; }
    int PciBus() const { return pciBus_; }
    int PciDevice() const { return pciDevice_; }
    int PciFunction() const { return pciFunction_; }
    bool Named() const { return named_; }
    std::string HostText() const { return hostText_; }
    std::string BusText() const { return busText_; }
    std::string DisplayName() const { return displayName_; }
    void UpdateName();
    void SetPciBus(int value);
    void SetPciDevice(int value);
    void SetPciFunction(int value);

    // ---- logging
    bool DebugMode() const { return debugMode_; }
    void SetDebugMode(bool on) { debugMode_ = on; }
    void SetOnLog(TLinkLogEvent onLog) { onLog_ = std::move(onLog); }
    void Log(const std::string& msg, bool quiet = false);

    // ---- access bracketing: takes the bus lock of the link's kind
    void BeginAccess();
    void EndAccess();
    bool IsReady() const;
    // Binds the card of an I2CNVidia link (mode 1), given by its NVAPI index
    // (-1: NVAPI does not know it); a known card makes the link use NVAPI.
    void AttachNVAPIGpu(int cardNvapiIndex, int mode);
    bool UsesNVAPI() const { return usesNvapi_; }

    // ---- addresses of the chips driven on this link
    void RegisterAddress(int address);
    void UnregisterAddress(int address);
    bool IsUnregisteredAddress(int address) const;
    const std::vector<int>& RegisteredAddresses() const { return addresses_; }
    // Whether nothing answers at the address (SMBus links only).
    bool IsAddressEmpty(int address);

    // ---- operations: SMBus transactions, or port accesses on ISA, ISA flat
    // and embedded-controller links. Each answers True on success.
    bool WriteQuick(int address, std::uint8_t value);
    bool WriteByteData(int address, std::uint8_t command, std::uint8_t value);
    bool WriteWordData(int address, std::uint8_t command, std::uint16_t value);
    bool SelectByte(int address, std::uint8_t command);
    bool SelectWord(int address, std::uint8_t command);
    bool ReadByteData(int address, std::uint8_t command, std::uint8_t& value);
    bool ReadWordData(int address, std::uint8_t command, std::uint16_t& value);
    // On success replaces data by the block read; on failure leaves it.
    bool ReadBlock(int address, TSMBBlockData& data);
    bool WriteBlock(int address, const TSMBBlockData& data);
    std::uint8_t ResultByte();
    std::uint16_t ResultWord();
    TSMBBlockData GetBlockResult();
    // Plain port access, ISA links only; elsewhere Default / nothing.
    std::uint8_t ReadPort(std::uint16_t port, std::uint8_t defaultValue);
    void WritePort(std::uint16_t port, std::uint8_t value);
    // The embedded-controller mailbox at the link's base (ECNuvoton links
    // reach it through their byte operations).
    bool ECWriteByte(std::uint8_t page, std::uint8_t reg, std::uint8_t value);
    bool ECReadByte(std::uint8_t page, std::uint8_t reg, std::uint8_t& value);

    // The transaction engine under the SMBus operations.
    bool Transaction(int address, std::uint8_t protocol, bool read, std::uint8_t command, std::uint8_t data0,
                     std::uint8_t data1, const TSMBBlockData& block = {});

    // ---- outcome of the last SMBus transaction
    std::uint8_t LastError() const { return lastError_; }
    void SetLastError(std::uint8_t code) { lastError_ = code; }
    void SetErrorAndLog(std::uint8_t code, const std::string& msg);

    // ---- statistics
    // One bounded wait, with the reads it had left (0: it ran out).
    void CountPolls(int pollsLeft);
    void LogTransaction(bool success, bool registered, int retries, int command, int address, const std::string& name);
    // Outcome -2 (more than 10 retries), -1 (failure), 0..10 (retries).
    std::uint32_t OutcomeCount(int outcome) const;
    std::uint64_t PollCount() const { return pollCount_; }
    std::uint64_t ZeroPollCount() const { return zeroPollCount_; }
    std::uint64_t NonZeroPollCount() const { return nonZeroPollCount_; }
    double NonZeroPollSum() const { return nonZeroPollSum_; }
    int MaxPolls() const { return maxPolls_; }
    int MinPolls() const { return minPolls_; }

private:
    TSMBusHost* Host() const { return host_.get(); }
    bool SMBusOperation(const char* name, int address, std::uint8_t protocol, bool read, std::uint8_t command,
                        std::uint8_t data0, std::uint8_t data1, const TSMBBlockData& block);
    bool TakesLock() const;
    bool UsesISALock() const;

    friend class TLinkAccess;

    std::uint32_t baseAddress_;
    std::uint8_t chipsetCode_;
    std::uint8_t hostKind_;
    std::uint8_t linkKind_;
    std::uint8_t flag_;
    bool named_ = false;
    bool debugMode_ = false;
    TLinkLogEvent onLog_;
    std::string busText_;
    std::string hostText_;
    std::string displayName_;
    std::vector<int> addresses_;
    int pciBus_ = 255;
    int pciDevice_ = 255;
    int pciFunction_ = 255;
    std::uint8_t lastError_ = 0;
    std::array<std::uint32_t, 13> outcomeCounts_{};
    std::uint64_t pollCount_ = 0;
    std::uint64_t zeroPollCount_ = 0;
    std::uint64_t nonZeroPollCount_ = 0;
    double nonZeroPollSum_ = 0;
    int maxPolls_ = -1000;
    int minPolls_ = 2147483647;
    bool ecFirstUse_ = true;
    bool usesNvapi_ = false;
    std::unique_ptr<TSMBusHost> host_;
    std::unique_ptr<TLinkAccess> access_;
};

// The text of an SMBus outcome code; other codes give their decimal digits.
std::string SMBusResultText(std::uint8_t code);

// ---- the global link list -------------------------------------------------

using TLinksArray = std::vector<std::unique_ptr<TLink>>;
TLinksArray& Links();
// The link at Index of the global list; out of range raises.
TLink& LinkOf(int linkIndex);

// What registration needs of the main window: the "DebugMode=" option, the
// link log event it gives every link, and its log sinks for the announcement.
struct TLinkRegistration {
    bool DebugMode = false;
    TLinkLogEvent OnLinkMessage;
    std::function<void(const std::string& msg)> LogMessage;
    std::function<void(const std::string& msg, bool toBoth)> LogMessageEx;
};
void SetLinkRegistration(TLinkRegistration registration);

// Whether ports Base + First .. Base + Last can carry a chip: Base is neither
// 0 nor all ones, and the window stays inside 100h..FFFFh, above the system
// board's own ports (DMA, interrupt controllers, CMOS, keyboard).
bool IsUsablePortWindow(std::uint32_t base, int first, int last);

// Appends a link to the global list (it becomes the last one), gives it its
// PCI location, the debug switch and the log event, and announces it when
// the debug switch is on. Never fails, never checks for duplicates.
void AddLink(const std::string& name, std::uint8_t chipsetCode, std::uint8_t linkKind, std::uint8_t hostKind,
             std::uint32_t baseAddress, std::uint8_t flag, int pciBus, int pciDevice, int pciFunction);
