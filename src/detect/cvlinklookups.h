#pragma once
// The link look-ups of detection.

// Index of the first PCI link of the global list; -1 when there is none.
int FindPCILink();
// Index of the first ACPI link, registering one ("ACPI") when there is none.
int FindOrAddACPILink();
