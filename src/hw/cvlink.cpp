#include "hw/cvlink.h"

#include <algorithm>
#include <array>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvbuslocks.h"
#include "hw/cvlinkaccess.h"
#include "hw/cvsmbushost.h"

using cvformat::Format;

namespace {

std::string BusTextOf(std::uint8_t linkKind) {
    // Kinds 2 to 15.
    static const std::array<const char*, 14> texts = {
        "ISA",  "ISA flat", "SMBus",      "SMART",      "PCI",      "JOY",  "ACPI",
        "SCSI", "NVCPL",    "Areca RAID", "3ware RAID", "AdvSMART", "HECI", "EC Nuvoton"};
    if (linkKind < LinkKinds::ISA || linkKind > LinkKinds::ECNuvoton) return "Unknown";
    return texts[linkKind - LinkKinds::ISA];
}

std::string HostTextOf(std::uint8_t hostKind) {
    // Kinds 0 to 18; the ISA windows have no host text.
    static const std::array<const char*, 19> texts = {
        "",       "Unknown", "Intel",   "AMD",       "VIA",    "",    "",               "Ali",      "SiS5595",  "SiSx30",
        "SiS968", "nVidia",  "nForce2", "I2CNVidia", "AtiIgp", "Uli", "GeodeCompanion", "IntelMCH", "ECNuvoton"};
    return hostKind < texts.size() ? texts[hostKind] : "Unknown";
}

// Registration of the running program (set by the main window).
TLinkRegistration& Registration() {
    static TLinkRegistration registration;
    return registration;
}

bool IsEepromAddress(int address) {
    return (address >= 0x30 && address <= 0x37) || (address >= 0x50 && address <= 0x5F);
}

}  // namespace

TLink::TLink(std::uint8_t chipsetCode, std::uint8_t linkKind, std::uint8_t hostKind, std::uint32_t baseAddress,
             std::uint8_t flag)
    : TLink(chipsetCode, linkKind, hostKind, baseAddress, flag, MakeSMBusHost) {}

TLink::TLink(std::uint8_t chipsetCode, std::uint8_t linkKind, std::uint8_t hostKind, std::uint32_t baseAddress,
             std::uint8_t flag, const TSMBusHostFactory& makeHost)
    : baseAddress_(baseAddress), chipsetCode_(chipsetCode), hostKind_(hostKind), linkKind_(linkKind), flag_(flag) {
    if (makeHost) host_ = makeHost(*this);
    access_ = MakeLinkAccess(*this);
    UpdateName();
}

TLink::~TLink() = default;

void TLink::UpdateName() {
    busText_ = BusTextOf(linkKind_);
    hostText_ = HostTextOf(hostKind_);
    const std::string base =
        hostKind_ == HostKinds::I2CNVidia
            ? Format("$%.2x%.2x%.2x%x", {static_cast<std::uint32_t>(pciBus_), static_cast<std::uint32_t>(pciDevice_),
                                         static_cast<std::uint32_t>(pciFunction_), baseAddress_})
            : Format("$%x", {baseAddress_});
    displayName_ = busText_ + hostText_ + "@" + base;
    if (!named_) {
        WriteDebugLog(Format("Linking %s %s at $%.4x", {hostText_, busText_, baseAddress_}));
        named_ = true;
    }
}

void TLink::SetPciBus(int value) {
    pciBus_ = value;
    UpdateName();
}

void TLink::SetPciDevice(int value) {
    pciDevice_ = value;
    UpdateName();
}

void TLink::SetPciFunction(int value) {
    pciFunction_ = value;
    UpdateName();
}

void TLink::Log(const std::string& msg, bool quiet) {
    if (!quiet && onLog_) onLog_(*this, msg);
}

void TLink::SetErrorAndLog(std::uint8_t code, const std::string& msg) {
    lastError_ = code;
    Log(msg);
}

bool TLink::TakesLock() const {
    return linkKind_ == LinkKinds::ISA || linkKind_ == LinkKinds::ISAFlat || linkKind_ == LinkKinds::SMBus ||
           linkKind_ == LinkKinds::ECNuvoton;
}

bool TLink::UsesISALock() const { return hostKind_ == HostKinds::ISA || hostKind_ == HostKinds::ISAFlat; }

void TLink::BeginAccess() {
    if (TakesLock()) AcquireBusLock(UsesISALock());
}

void TLink::EndAccess() {
    if (TakesLock()) ReleaseBusLock(UsesISALock());
}

bool TLink::IsReady() const { return !host_ || host_->IsReady(); }

void TLink::RegisterAddress(int address) {
    switch (linkKind_) {
        case LinkKinds::SMART:
        case LinkKinds::PCI:
        case LinkKinds::SCSI:
        case LinkKinds::NVCPL:
        case LinkKinds::ArecaRAID:
        case LinkKinds::AMCC3wareRAID:
        case LinkKinds::HECI:
            return;
        default:
            addresses_.push_back(address);
    }
}

void TLink::UnregisterAddress(int address) {
    const auto it = std::find(addresses_.begin(), addresses_.end(), address);
    if (it != addresses_.end()) addresses_.erase(it);
}

bool TLink::IsUnregisteredAddress(int address) const {
    return std::find(addresses_.begin(), addresses_.end(), address) == addresses_.end();
}

bool TLink::IsAddressEmpty(int address) {
    if (linkKind_ != LinkKinds::SMBus || hostKind_ == HostKinds::I2CNVidia || hostKind_ == HostKinds::IntelMCH)
        return false;
    // A quick write can set permanent write protection on an SPD EEPROM, so
    // EEPROM addresses are tested by the byte read alone.
    if (!IsEepromAddress(address) && WriteQuick(address, 0)) return false;
    std::uint8_t value = 0;
    return !ReadByteData(address, 0, value);
}

void TLink::CountPolls(int pollsLeft) {
    ++pollCount_;
    if (pollsLeft == 0) {
        ++zeroPollCount_;
        return;
    }
    ++nonZeroPollCount_;
    nonZeroPollSum_ += pollsLeft;
    minPolls_ = std::min(minPolls_, pollsLeft);
    maxPolls_ = std::max(maxPolls_, pollsLeft);
}

void TLink::LogTransaction(bool success, bool registered, int retries, int command, int address,
                           const std::string& name) {
    if (registered) {
        const std::string time = FormatDateTime("hh:nn:ss.zzz", Now(), platform::current().locale());
        if (!success)
            Log(Format("%s Unsuccessful %s $%.2x to $%.2x on %s", {time, name, command, address, hostText_}));
        else if (retries > 1)
            Log(Format("%s %s $%.2x to $%.2x on %s (%d retries)", {time, name, command, address, hostText_, retries}));
    }
    if (!success) ++outcomeCounts_[1];
    ++outcomeCounts_[retries >= 0 && retries <= 10 ? retries + 2 : 0];
}

std::uint32_t TLink::OutcomeCount(int outcome) const {
    return outcome >= -2 && outcome <= 10 ? outcomeCounts_[outcome + 2] : 0;
}

std::string SMBusResultText(std::uint8_t code) {
    static const std::array<const char*, 17> texts = {"No error",
                                                      "unknown error",
                                                      "collision",
                                                      "timeout waiting to start",
                                                      "timeout waiting for end",
                                                      "timeout",
                                                      "protocol error",
                                                      "not complete",
                                                      "not completed",
                                                      "unknown failure",
                                                      "no ack",
                                                      "device error",
                                                      "command denied",
                                                      "access denied",
                                                      "busy",
                                                      "PEC error",
                                                      "unsupported protocol"};
    return code < texts.size() ? texts[code] : std::to_string(code);
}

// ---- the global link list ---------------------------------------------------

TLinksArray& Links() {
    static TLinksArray links;
    return links;
}

TLink& LinkOf(int linkIndex) { return *Links().at(static_cast<std::size_t>(linkIndex)); }

void SetLinkRegistration(TLinkRegistration registration) { Registration() = std::move(registration); }

namespace {

// The announcement of a new link when the debug switch is on.
void AnnounceLink(const TLinkRegistration& reg, const std::string& name, std::uint8_t linkKind,
                  std::uint32_t baseAddress) {
    const std::string base = Format("$%.4x", {baseAddress});
    const auto toInfoBox = [&](const std::string& msg) {
        if (reg.LogMessageEx) reg.LogMessageEx(msg, true);
    };
    const auto toDebugBox = [&](const std::string& msg) {
        if (reg.LogMessageEx) reg.LogMessageEx(msg, false);
    };
    static const std::array<const char*, 11> nominal = {
        "Linked S.M.A.R.T.", "Linked PCI",     "Linked JOYSTICK",        "Linked ACPI", "Linked SCSI", "Linked NVCPL",
        "Linked Areca RAID", "Linked AMCC/3ware RAID", "Linked AdvSMART", "Linked HECI", "Linked EC Nuvoton"};
    switch (linkKind) {
        case LinkKinds::ISA:
            toInfoBox("Linked ISA BUS at " + base);
            return;
        case LinkKinds::ISAFlat:
            toInfoBox("Linked ISA (flat) BUS at " + base);
            return;
        case LinkKinds::SMBus:
            toInfoBox("Linked " + name + " SMBUS at " + base);
            return;
        default:
            if (linkKind >= LinkKinds::SMART && linkKind <= LinkKinds::ECNuvoton)
                toDebugBox(nominal[linkKind - LinkKinds::SMART]);
            else if (reg.LogMessage)
                reg.LogMessage("Unknown BUS (" + name + ") at " + base);
    }
}

}  // namespace

bool IsUsablePortWindow(std::uint32_t base, int first, int last) {
    constexpr std::int64_t FirstFreePort = 0x100, LastPort = 0xFFFF;
    if (base == 0 || base == LastPort) return false;
    return base + static_cast<std::int64_t>(first) >= FirstFreePort && base + static_cast<std::int64_t>(last) <= LastPort;
}

void AddLink(const std::string& name, std::uint8_t chipsetCode, std::uint8_t linkKind, std::uint8_t hostKind,
             std::uint32_t baseAddress, std::uint8_t flag, int pciBus, int pciDevice, int pciFunction) {
    const TLinkRegistration& reg = Registration();
    auto& link = *Links().emplace_back(std::make_unique<TLink>(chipsetCode, linkKind, hostKind, baseAddress, flag));
    link.SetPciBus(pciBus);
    link.SetPciDevice(pciDevice);
    link.SetPciFunction(pciFunction);
    link.SetDebugMode(reg.DebugMode);
    link.SetOnLog(reg.OnLinkMessage);
    if (reg.DebugMode) AnnounceLink(reg, name, linkKind, baseAddress);
}
