#pragma once
// The link look-ups of detection.

#include <cstdint>

// Index of the first PCI link of the global list; -1 when there is none.
int FindPCILink();
// Index of the first link of its kind, registering it when there is none:
// "ACPI", "NVCPL" (the NVIDIA control panel) and "HECI".
int FindOrAddACPILink();
int FindOrAddNVCPLLink();
int FindOrAddHECILink();
// Index of the last ISA link (kind 2) whose base is Base; -1 when none.
int FindISALink(std::uint32_t base);
