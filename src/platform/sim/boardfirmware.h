#pragma once
// Board sections for the firmware's tables, laid into physical memory by the
// shared layout (platform/firmwaretables.h).

#include <cstdint>
#include <vector>

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

// {"version": "2.7", "entryPoint": "0xF0000", "tableAddress": "0x100000",
//  "tableLength": "0x200", "secondAnchor": "0xF8000", "endOfTable": true,
//  "structures": [{"type": 2, "handle": "0x0002", "manufacturer": "...", ...},
//                 {"type": 8, "data": "hex bytes after the header", "strings": [...]}]}
// Types 0, 1, 2, 4 and 17 take their fields by name; a string field may be
// a string number instead of a text (0 or past the strings, for odd
// firmware). "length" overrides a structure's length byte. Without
// "endOfTable": false a type 127 structure ends the table.
void loadSmbiosSection(const BoardNode& section, Machine& machine);

// {"rsdp": "0xF0020", "dsdt": {"bytes": "..."} or {"file": "dsdt.aml"},
//  "tables": [{"signature": "FACP", "size": 116}, {"bytes": "..."}, {"file": "ssdt.aml", "badChecksum": true}]}
// Tables in RSDT order; FACP points at the DSDT.
void loadAcpiTablesSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
