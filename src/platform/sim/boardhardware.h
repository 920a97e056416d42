#pragma once
// Board sections for the hardware behind the driver: processors and their
// MSRs, physical memory, PCI functions, the driver itself, the Dell SMI
// responder, the device lists, the system registry and the machine's
// identity.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/sim/boardreader.h"
#include "platform/sim/pcibus.h"

namespace platform::sim {

class Machine;

// Field readers other hardware sections share: a hex string of up to 16
// digits, and "5F 53 4D 5F" (hex bytes separated by blanks).
std::uint64_t asHex64(const BoardNode& node);
std::vector<std::uint8_t> asByteString(const BoardNode& node);
// The bytes of a file named relative to the board file.
std::vector<std::uint8_t> asFileBytes(const BoardNode& node);
// "00:1F.3": bus, device and function in hex.
PciLocation asPciLocation(const BoardNode& node);
// {"pci": "00:1F.0", "register": "0xF2", "mask": "0x08", "equals": "0x00"} or
// {"memory": "0xFED1F418", "mask": ..., "equals": ...}: whether bits of a
// function's configuration byte, or of a physical-memory dword, hold the
// value given ("equals" by default 0). Read when asked, so it follows writes.
std::function<bool()> asConfigCondition(const BoardNode& node, Machine& machine);

// [{"msrs": {"0x1B": "0xFEE00900"}}, {"msrs": {...}}]: one entry per
// logical processor; MSR values are hex strings of up to 16 digits, or
// "unreadable" to take away one of the model's (see boardcpus.h).
void loadCpusSection(const BoardNode& section, Machine& machine);
// [{"name": "BIOS", "base": "0xF0000", "size": "0x10000", "bytes": "5F 53 4D 5F"}]:
// "bytes" (or "file": a file beside the board) at the start of the region,
// "size" (at least as long, at most 16 MiB) zero-filled; "readableBytes":
// reads reaching past that many bytes fail.
void loadPhysicalMemorySection(const BoardNode& section, Machine& machine);
// [{"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086",
//   "deviceId": "0x2930", "registers": {"0x20": "0x01", "0x40": {"value": "0x00", "writeMask": "0x00"}},
//   "visibleWhen": {"pci": "00:1F.0", "register": "0xF2", "mask": "0x08", "equals": "0x00"}}]
// A register is a value or {"value", "writeMask"} (an enable bit that
// refuses to set has a write mask without it). "visibleWhen" hides the
// function unless bits of another function's configuration byte, or of a
// physical-memory dword ({"memory": "0xFED1F418", "mask": ..., "equals": ...}),
// hold the value given.
void loadPciSection(const BoardNode& section, Machine& machine);
// {"pci": "00:00.0"}: the nForce2 host bridge of the "pci" section at that
// location gets its bus-clock PLL (nforce2pll.h).
void loadNForce2PllSection(const BoardNode& section, Machine& machine);
// {"installed": true, "major": 2, "minor": 3, "servicePath": "\\SystemRoot\\...",
//  "serviceManagerAccess": true, "giveIo": false,
//  "kernelOsVersion": {"major": 10, "minor": 0, "build": 19045}}
void loadDriverSection(const BoardNode& section, Machine& machine);
// [{"match": {"eax": "0xA3", "ebx": "0x0"}, "answer": {"eax": "0x0", "ecx": "0x2D"}}]:
// the first rule whose registers all match answers with the input and the
// answer's registers replaced; without a match the registers come back as
// they went in.
void loadDellSmiSection(const BoardNode& section, Machine& machine);
// [{"enumerator": "ACPI_HAL", "physicalDeviceObject": "\\Device\\00000001",
//   "hardwareIds": ["ACPI_HAL\\PNP0C08", "*PNP0C08"], "friendlyName": "...",
//   "present": true, "hasInterface": false, "rawThermal": ["0x1", "0xBB8"],
//   "thermalInformation": {"stamp": 1, "current": 3032, "passive": 3632, "critical": 3732,
//                          "active": [3532]} or "fails",
//   "acpiMethods": {...} (simacpi.h), "openError": "0x5"}]
// with the further properties "description", "class", "classGuid", "driver",
// "location", "locationPaths", "lowerFilters", "upperFilters",
// "manufacturer", "service", "compatibleIds", "address", "uiNumber",
// "uiNumberFormat" and "busTypeGuid" ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}").
void loadDevicesSection(const BoardNode& section, Machine& machine);
// {"\\HARDWARE\\DESCRIPTION\\System": {"Identifier": "AT/AT COMPATIBLE",
//   "SystemBiosVersion": ["ALASKA - 1072009", "BIOS Date: 05/07/10"], "Count": 3}}:
// strings, multi-strings (arrays) and integers.
void loadSystemRegistrySection(const BoardNode& section, Machine& machine);
// {"computerName": "DESKTOP", "userName": "user", "uptimeSeconds": 3600,
//  "environment": {"SystemRoot": "C:\\WINDOWS"}, "keyStates": {"0x14": "0x01"}}
void loadIdentitySection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
