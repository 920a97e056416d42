// ISA-style port windows: the link operations go straight to I/O ports,
// without retries and without the transaction log.

#include <string>

#include "hw/cvlinkaccess.h"
#include "hw/cvlinkio.h"

namespace {
constexpr std::uint32_t IndexPort = 5;
constexpr std::uint32_t DataPort = 6;
}  // namespace

// ---- what every window shares -------------------------------------------------

bool TPortWindowAccess::SelectWord(int address, std::uint8_t command) { return SelectByte(address, command); }

bool TPortWindowAccess::ReadBlock(int, TSMBBlockData&) {
    Link().Log(std::string("READBLOCK not supported on ") + name_);
    return false;
}

bool TPortWindowAccess::WriteBlock(int, const TSMBBlockData&) {
    Link().Log(std::string("WRITEBLOCK not supported on ") + name_);
    return false;
}

std::uint8_t TPortWindowAccess::ResultByte() { return linkio::ReadPortByte(ResultPort()); }

std::uint16_t TPortWindowAccess::ResultWord() { return linkio::ReadPortWord(ResultPort()); }

// ---- index/data window ------------------------------------------------------

bool TIsaAccess::WriteQuick(int, std::uint8_t value) {
    linkio::WritePortByte(Port(DataPort), value);
    return true;
}

bool TIsaAccess::WriteByteData(int, std::uint8_t command, std::uint8_t value) {
    linkio::WritePortByte(Port(IndexPort), command);
    linkio::WritePortByte(Port(DataPort), value);
    return true;
}

bool TIsaAccess::WriteWordData(int, std::uint8_t command, std::uint16_t value) {
    linkio::WritePortByte(Port(IndexPort), command);
    linkio::WritePortWord(Port(DataPort), value);
    return true;
}

bool TIsaAccess::SelectByte(int, std::uint8_t command) {
    linkio::WritePortByte(Port(IndexPort), command);
    return true;
}

std::uint32_t TIsaAccess::ResultPort() const { return Port(DataPort); }

std::uint8_t TIsaAccess::ReadPort(std::uint16_t port, std::uint8_t) { return linkio::ReadPortByte(port); }

void TIsaAccess::WritePort(std::uint16_t port, std::uint8_t value) { linkio::WritePortByte(port, value); }

// ---- flat window --------------------------------------------------------------

bool TIsaFlatAccess::WriteQuick(int, std::uint8_t) { return true; }

bool TIsaFlatAccess::WriteByteData(int, std::uint8_t command, std::uint8_t value) {
    linkio::WritePortByte(Port(command), value);
    return true;
}

bool TIsaFlatAccess::WriteWordData(int, std::uint8_t command, std::uint16_t value) {
    linkio::WritePortWord(Port(command), value);
    return true;
}

bool TIsaFlatAccess::SelectByte(int, std::uint8_t command) {
    flatRegister_ = command;
    return true;
}

std::uint32_t TIsaFlatAccess::ResultPort() const { return Port(flatRegister_); }
