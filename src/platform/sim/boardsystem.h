#pragma once
// Board sections for the system around the hardware: OS identity, folders,
// locale, clock and the registry.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

// {"major": 10, "minor": 0, "build": 19045, "platformId": 2, "csdVersion": "",
//  "servicePackMajor": 0, "servicePackMinor": 0, "suiteMask": 256,
//  "productType": 1, "isWow64": false, "serverR2": false,
//  "versionQuery": "extended" | "short" | "fails"}; fields left out keep
//  their value.
void loadOsSection(const BoardNode& section, Machine& machine);
// "C:\\WINDOWS"
void loadWindowsDirSection(const BoardNode& section, Machine& machine);
// ["SMARTVSD.VXD", "IOSUBSYS\\SMARTVSD.VXD"]: the system folder's files at
// the start, by their names below the folder (after "os", which picks it).
void loadSystemFilesSection(const BoardNode& section, Machine& machine);
// {"shortDateFormat": "dd.mm.yyyy", "longTimeFormat": "hh:nn:ss",
//  "decimalSeparator": ",", "thousandSeparator": ".", "dateSeparator": ".",
//  "timeSeparator": ":"}
void loadLocaleSection(const BoardNode& section, Machine& machine);
// {"virtual": true, "start": "2026-01-15T10:00:00"}
void loadClockSection(const BoardNode& section, Machine& machine);
// {"\\Software\\Caldavor": {"Name": "text", "Count": 3}}: keys of named
// values, each a string or an integer.
void loadRegistrySection(const BoardNode& section, Machine& machine);

// {"acLine": 1, "batteryFlag": 8, "batteryPercent": 55, "changes": [
//   {"atMs": 60000, "acLine": 0, "batteryFlag": 0, "batteryPercent": 54},
//   {"atMs": 90000, "fails": true}]}: the power status at the start (fields
//  left out are 255, unknown; "fails": true makes the call fail) and from
//  each time of virtual time on.
void loadPowerSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
