// The SMBus operations of a link: the retry rule around each operation and
// the common frame of the transaction engine.

#include "hw/cvlink.h"
#include "hw/cvlinkaccess.h"
#include "base/cvformat.h"
#include "hw/cvsmbushost.h"
#include "platform/platform.h"

namespace {

std::uint8_t HighByte(std::uint16_t value) { return static_cast<std::uint8_t>(value >> 8); }
std::uint8_t LowByte(std::uint16_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
std::uint16_t ComposeWord(std::uint8_t first, std::uint8_t second) {
    return static_cast<std::uint16_t>(first << 8 | second);
}

void SleepMs(std::uint32_t ms) { platform::current().clock().sleepMs(ms); }

// ---- what some host kinds cannot do, refused before anything is checked or touched

constexpr std::uint8_t ProtocolBit(std::uint8_t protocol) { return static_cast<std::uint8_t>(1u << protocol); }
constexpr std::uint8_t AllProtocols = 0x1F;

struct THostRefusal {
    std::uint8_t HostKind;
    std::uint8_t Protocols;  // bits by protocol number
    bool WritesOnly;
    const char* Message;     // nullptr: refused without a line
};

// The first row that matches decides.
constexpr THostRefusal HostRefusals[] = {
    {HostKinds::SiS968, ProtocolBit(SMBusProtocols::Block), false, nullptr},
    {HostKinds::IntelMCH, AllProtocols & ~ProtocolBit(SMBusProtocols::ByteData), false, nullptr},
    {HostKinds::IntelMCH, AllProtocols, true, "SMBIntelMCH does not support WRITE operations"},
    {HostKinds::Uli, ProtocolBit(SMBusProtocols::Block), false, nullptr},
};

const THostRefusal* FindHostRefusal(std::uint8_t hostKind, std::uint8_t protocol, bool read) {
    for (const auto& row : HostRefusals) {
        if (row.HostKind == hostKind && protocol < 8 && (row.Protocols & ProtocolBit(protocol)) != 0 &&
            !(row.WritesOnly && read))
            return &row;
    }
    return nullptr;
}

}  // namespace

// ---- the link's operations go through its access --------------------------

bool TLink::WriteQuick(int address, std::uint8_t value) { return access_->WriteQuick(address, value); }
bool TLink::WriteByteData(int address, std::uint8_t command, std::uint8_t value) {
    return access_->WriteByteData(address, command, value);
}
bool TLink::WriteWordData(int address, std::uint8_t command, std::uint16_t value) {
    return access_->WriteWordData(address, command, value);
}
bool TLink::SelectByte(int address, std::uint8_t command) { return access_->SelectByte(address, command); }
bool TLink::SelectWord(int address, std::uint8_t command) { return access_->SelectWord(address, command); }
bool TLink::ReadByteData(int address, std::uint8_t command, std::uint8_t& value) {
    return access_->ReadByteData(address, command, value);
}
bool TLink::ReadWordData(int address, std::uint8_t command, std::uint16_t& value) {
    return access_->ReadWordData(address, command, value);
}
bool TLink::ReadBlock(int address, TSMBBlockData& data) { return access_->ReadBlock(address, data); }
bool TLink::WriteBlock(int address, const TSMBBlockData& data) { return access_->WriteBlock(address, data); }
std::uint8_t TLink::ResultByte() { return access_->ResultByte(); }
std::uint16_t TLink::ResultWord() { return access_->ResultWord(); }
TSMBBlockData TLink::GetBlockResult() { return access_->GetBlockResult(); }
std::uint8_t TLink::ReadPort(std::uint16_t port, std::uint8_t defaultValue) {
    return access_->ReadPort(port, defaultValue);
}
void TLink::WritePort(std::uint16_t port, std::uint8_t value) { access_->WritePort(port, value); }

// ---- retry rule -------------------------------------------------------------

bool TLink::SMBusOperation(const char* name, int address, std::uint8_t protocol, bool read, std::uint8_t command,
                           std::uint8_t data0, std::uint8_t data1, const TSMBBlockData& block) {
    if (Transaction(address, protocol, read, command, data0, data1, block)) return true;

    const bool registered = !IsUnregisteredAddress(address);
    int attempts = registered ? 8 : 1;
    // Nobody acknowledged an unregistered address: asking again is pointless.
    if (protocol == SMBusProtocols::Quick && !registered && lastError_ == SMBusErrors::NoAck) attempts = 0;

    bool success = false;
    int made = 0;
    while (!success && made < attempts) {
        if (lastError_ == SMBusErrors::Collision) SleepMs(1);
        ++made;
        success = Transaction(address, protocol, read, command, data0, data1, block);
    }
    LogTransaction(success, registered, made, command, address, name);
    return success;
}

// ---- the engine -------------------------------------------------------------

bool TLink::Transaction(int address, std::uint8_t protocol, bool read, std::uint8_t command, std::uint8_t data0,
                        std::uint8_t data1, const TSMBBlockData& block) {
    const TSMBusRequest request{static_cast<std::uint8_t>(address & 0x7F), protocol, read, command, data0, data1,
                                &block};
    lastError_ = SMBusErrors::NoError;

    if (const THostRefusal* refusal = FindHostRefusal(hostKind_, protocol, read)) {
        if (refusal->Message) SetErrorAndLog(SMBusErrors::UnsupportedProtocol, refusal->Message);
        else lastError_ = SMBusErrors::UnsupportedProtocol;
        return false;
    }
    if (host_) {
        if (const auto screened = host_->Screen(request)) return *screened;
    }
    if (request.IsBlockWrite()) {
        if (block.empty()) {
            SetErrorAndLog(SMBusErrors::UnsupportedProtocol,
                           cvformat::Format("BLOCKWRITE with block too small (%.2X)", {request.Address}));
            return false;
        }
        if (block.size() > TSMBusHost::MaxBlockSize) {
            SetErrorAndLog(SMBusErrors::UnsupportedProtocol,
                           cvformat::Format("BLOCKWRITE with block too large (%.2X)", {request.Address}));
            return false;
        }
    }
    if (!host_) {
        lastError_ = SMBusErrors::Unknown;
        return false;
    }
    if (protocol == SMBusProtocols::Block) {
        if (const auto done = host_->OwnBlockTransfer(request)) return *done;
    }

    bool result = false;
    if (host_->Prepare(request) && host_->BusyCheck(request)) {
        host_->StartTransaction(request);
        host_->WaitForStart();
        if (host_->SleepsBeforeEndWait()) SleepMs(1);
        host_->WaitForEnd();
        result = host_->FinalReset(request, host_->DecodeError(request));
    }
    if (!result && lastError_ == SMBusErrors::NoError) lastError_ = SMBusErrors::Unknown;
    return result;
}

// ---- the SMBus access -------------------------------------------------------

bool TLinkAccess::WriteQuick(int address, std::uint8_t value) {
    return link_.SMBusOperation("WRITEQUICK", address, SMBusProtocols::Quick, false, 0, value, 0, {});
}

bool TLinkAccess::WriteByteData(int address, std::uint8_t command, std::uint8_t value) {
    return link_.SMBusOperation("WRITEB", address, SMBusProtocols::ByteData, false, command, value, 0, {});
}

bool TLinkAccess::WriteWordData(int address, std::uint8_t command, std::uint16_t value) {
    return link_.SMBusOperation("WRITEW", address, SMBusProtocols::WordData, false, command, HighByte(value),
                                LowByte(value), {});
}

bool TLinkAccess::SelectByte(int address, std::uint8_t command) {
    return link_.SMBusOperation("SELB", address, SMBusProtocols::ByteData, true, command, 0, 0, {});
}

bool TLinkAccess::SelectWord(int address, std::uint8_t command) {
    return link_.SMBusOperation("SELW", address, SMBusProtocols::WordData, true, command, 0, 0, {});
}

bool TLinkAccess::ReadByteData(int address, std::uint8_t command, std::uint8_t& value) {
    if (!SelectByte(address, command)) return false;
    value = ResultByte();
    return true;
}

bool TLinkAccess::ReadWordData(int address, std::uint8_t command, std::uint16_t& value) {
    if (!SelectWord(address, command)) return false;
    value = ResultWord();
    return true;
}

bool TLinkAccess::ReadBlock(int address, TSMBBlockData& data) {
    if (!link_.SMBusOperation("READBLK", address, SMBusProtocols::Block, true, 0, 0, 0, {})) return false;
    data = GetBlockResult();
    return true;
}

bool TLinkAccess::WriteBlock(int address, const TSMBBlockData& data) {
    return link_.SMBusOperation("WRITEBLK", address, SMBusProtocols::Block, false, 0, 0, 0, data);
}

std::uint8_t TLinkAccess::ResultByte() {
    TSMBusHost* host = link_.Host();
    return host ? host->ResultByte() : 0;
}

std::uint16_t TLinkAccess::ResultWord() {
    TSMBusHost* host = link_.Host();
    if (!host) return 0;
    const auto [first, second] = host->ResultWordBytes();
    return ComposeWord(first, second);
}

TSMBBlockData TLinkAccess::GetBlockResult() {
    TSMBusHost* host = link_.Host();
    if (!host) return {};
    TSMBBlockData block = host->BlockResult();
    if (block.size() > TSMBusHost::MaxBlockSize) block.resize(TSMBusHost::MaxBlockSize);
    return block;
}

std::uint8_t TLinkAccess::ReadPort(std::uint16_t, std::uint8_t defaultValue) { return defaultValue; }

void TLinkAccess::WritePort(std::uint16_t, std::uint8_t) {}

std::uint32_t TLinkAccess::Port(std::uint32_t offset) const { return link_.BaseAddress() + offset; }

std::unique_ptr<TLinkAccess> MakeLinkAccess(TLink& link) {
    switch (link.HostKind()) {
        case HostKinds::ISA:
            return std::make_unique<TIsaAccess>(link);
        case HostKinds::ISAFlat:
            return std::make_unique<TIsaFlatAccess>(link);
        case HostKinds::ECNuvoton:
            return std::make_unique<TECMailboxAccess>(link);
        default:
            return std::make_unique<TLinkAccess>(link);
    }
}
