// The processor revision tables: a subset of each vendor's processors, from
// public specification data. Columns: Signature, CoreCode, SocketCode, sSPEC,
// Name, CpuSpeed (GHz), MinSpeed (GHz), BusSpeed (MHz), Ratio, L2Speed (GHz),
// L2Size (KB), L3Size (KB), Cores, TechCode, TDP (W), ThermSpec (C), VMin,
// VMax (V), Flags, Core, Revision.

#include "cpu/noscpuidrevs.h"

namespace {

constexpr std::uint32_t XdEistEm64 = RevExecuteDisable | RevEist | Rev64Bit;
constexpr std::uint32_t XdEistEm64Vt = XdEistEm64 | RevVmx;

constexpr TCpuidRevision Intel[] = {
    // Atom (line 71) first.
    {0x106C2, 71, 19, "SLB6Z", "230", 1.6, 0, 533, 12, 0, 512, 0, 0, 4, 4.0, 85.2, 0.9, 1.162, 0x85,
     "Diamondville", "C0"},
    {0x106C2, 71, 19, "SLG9Y", "330", 1.6, 0, 533, 12, 0, 1024, 0, 2, 4, 8.0, 85.2, 0.9, 1.162, 0x85,
     "Diamondville", "C0"},
    {0x106C2, 71, 19, "SLB73", "N270", 1.6, 0, 533, 12, 0, 512, 0, 0, 4, 2.5, 90, 0.9, 1.1625,
     RevExecuteDisable | RevEist | RevHtt, "Diamondville", "C0"},
    // Pentium M (line 88), Pentium D (84).
    {0x6D6, 88, 33, "SL7EM", "755", 2.0, 0, 400, 20, 0, 2048, 0, 0, 9, 21, 100, 0.988, 1.34, RevEist, "Dothan",
     "B1"},
    {0xF44, 84, 15, "SL88T", "820", 2.8, 0, 800, 14, 0, 2048, 0, 2, 9, 95, 64.1, 1.2, 1.4,
     RevExecuteDisable | Rev64Bit, "Smithfield", "A0"},
    // Pentium 4 (line 80).
    {0xF24, 80, 29, "SL6D7", "2.40 GHZ", 2.4, 0, 533, 18, 0, 512, 0, 0, 8, 57.8, 70, 1.525, 1.525, 0,
     "northwood", "B0"},
    {0xF29, 80, 29, "SL6WR", "3.06 GHZ", 3.06, 0, 533, 23, 0, 512, 0, 0, 8, 81.8, 69, 1.525, 1.525, RevHtt,
     "northwood", "D1"},
    // Core 2 Duo (line 52), Core 2 Duo mobile (53), Core 2 Quad (56), Xeon 5400 (58).
    {0x6F6, 52, 15, "SL9S8", "E6600", 2.4, 0, 1066, 9, 0, 4096, 0, 2, 5, 65, 60.1, 0.85, 1.5, XdEistEm64Vt, "Conroe",
     "B2"},
    {0x6F6, 53, 16, "SL9SF", "T7200", 2.0, 0, 667, 12, 0, 4096, 0, 2, 5, 34, 100, 1.0375, 1.3, XdEistEm64Vt, "Merom",
     "B2"},
    {0x10676, 58, 37, "SLANS", "E5440", 2.83, 0, 1333, 8.5, 0, 12288, 0, 4, 4, 80, 63, 0.85, 1.35, XdEistEm64Vt,
     "Harpertown", "C0"},
    {0x6FB, 52, 15, "SLA9X", "E6550", 2.33, 0, 1333, 7, 0, 4096, 0, 2, 5, 65, 72, 0.85, 1.5, XdEistEm64Vt, "Conroe",
     "G0"},
    {0x6FB, 52, 15, "SLA9U", "E6850", 3.0, 0, 1333, 9, 0, 4096, 0, 2, 5, 65, 72, 0.85, 1.5, XdEistEm64Vt, "Conroe",
     "G0"},
    {0x6FD, 52, 15, "SLA95", "E4500", 2.2, 0, 800, 11, 0, 2048, 0, 2, 5, 65, 73.3, 0.85, 1.5, XdEistEm64,
     "Allendale", "M0"},
    {0x6FB, 56, 15, "SLACR", "Q6600", 2.4, 0, 1066, 9, 0, 8192, 0, 4, 5, 95, 71, 0.85, 1.5, XdEistEm64Vt,
     "Kentsfield", "G0"},
    {0x6FB, 56, 15, "SLACQ", "Q6700", 2.66, 0, 1066, 10, 0, 8192, 0, 4, 5, 95, 71, 0.85, 1.5, XdEistEm64Vt,
     "Kentsfield", "G0"},
    // Core i7 (line 62), Core i7 Extreme (64).
    {0x106A5, 62, 46, "SLBEJ", "920", 2.66, 0, 133, 20, 0, 8192, 8192, 4, 4, 130, 67.9, 0.8, 1.375,
     XdEistEm64Vt | RevHtt, "Bloomfield", "D0"},
    {0x106A5, 62, 46, "SLBEN", "950", 3.06, 0, 133, 23, 0, 8192, 8192, 4, 4, 130, 67.9, 0.8, 1.375,
     XdEistEm64Vt | RevHtt, "Bloomfield", "D0"},
    {0x106A5, 64, 46, "SLBEQ", "975", 3.33, 0, 133, 25, 0, 8192, 8192, 4, 4, 130, 67.9, 0.8, 1.375,
     XdEistEm64Vt | RevHtt, "Bloomfield", "D0"},
};

constexpr TCpuidRevision Amd[] = {
    // Geode LX (line 11) first.
    {0x5A2, 11, 45, "", "LX 700", 0.433, 0, 0, 0, 0, 0, 0, 0, 8, 3.1, 0, 1.2, 1.2, 0, "", ""},
    {0x5A2, 11, 45, "", "LX 800", 0.5, 0, 0, 0, 0, 0, 0, 0, 8, 3.6, 0, 1.25, 1.25, 0, "", ""},
    {0x5A2, 11, 45, "", "LX 900", 0.6, 0, 0, 0, 0, 0, 0, 0, 8, 5.1, 0, 1.4, 1.4, 0, "", ""},
    // Athlon 64 X2 (line 24), revision F on AM2.
    {0x40FB2, 24, 7, "", "5000+", 2.6, 1.0, 1000, 13, 0, 1024, 0, 2, 9, 89, 0, 1.1, 1.35, 0, "windsor", "BH-F2"},
    {0x40FB2, 24, 7, "", "5000+", 2.6, 1.0, 1000, 13, 0, 1024, 0, 2, 9, 65, 0, 1.1, 1.25, 0, "windsor", "BH-F2"},
    {0x40FB2, 24, 7, "", "4200+", 2.2, 1.0, 1000, 11, 0, 1024, 0, 2, 9, 89, 0, 1.1, 1.35, 0, "windsor", "BH-F2"},
    {0x40FB2, 24, 7, "", "4200+", 2.2, 1.0, 1000, 11, 0, 1024, 0, 2, 9, 65, 0, 1.1, 1.25, 0, "windsor", "BH-F2"},
    // Phenom II X4 (line 2) on AM2+.
    {0x100F42, 2, 8, "", "940", 3.0, 0.8, 1800, 15, 0, 2048, 6144, 4, 4, 125, 62, 0.875, 1.5, 0x0D, "Deneb",
     "RB-C2"},
    {0x100F42, 2, 8, "", "920", 2.8, 0.8, 1800, 14, 0, 2048, 6144, 4, 4, 125, 62, 0.875, 1.5, 0x0D, "Deneb",
     "RB-C2"},
};

constexpr TCpuidRevision Via[] = {
    // C3 Samuel 2 (line 91) first.
    {0x670, 91, 35, "", "700 MHz", 0.7, 0, 100, 7, 0, 0, 0, 0, 7, 9.88, 70, 1.6, 1.6, 0, "Samuel 2", "C5B"},
    {0x670, 91, 35, "", "733 MHz", 0.733, 0, 133, 5.5, 0, 0, 0, 0, 7, 10.0, 70, 1.6, 1.6, 0, "Samuel 2", "C5B"},
    {0x698, 91, 35, "", "1.0 GHz", 1.0, 0, 133, 7.5, 0, 64, 0, 0, 8, 11.0, 70, 1.4, 1.4, 0, "Nehemiah", "C5XL"},
};

}  // namespace

TCpuidRevisions IntelRevisions() { return Intel; }
TCpuidRevisions AmdRevisions() { return Amd; }
TCpuidRevisions ViaRevisions() { return Via; }
