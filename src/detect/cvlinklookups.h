#pragma once
// The link look-ups of detection.

#include <cstdint>

// Index of the first PCI link of the global list; -1 when there is none.
int FindPCILink();
// Index of the first ACPI link, registering one ("ACPI") when there is none.
int FindOrAddACPILink();
// Index of the last ISA link (kind 2) whose base is Base; -1 when none.
int FindISALink(std::uint32_t base);
