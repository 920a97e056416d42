#!/usr/bin/env python3
"""Writes src/cpu/nvidiacards.cpp: the NVIDIA card table (device id,
architecture code, known flag, name).

Ids and names are checked against the public PCI id list (pci.ids, vendor
10DEh); the architecture codes go by chip family. A few ids of the NV31 and
NV36 families that the current list no longer names keep their chip name,
like the list's own unnamed entries. The known flag is inferred: within a
code, rows named only by their chip, then integrated, then mobile parts are
the ones whose register model is not relied on, as many as the code has.
Usage: gen_nvidia_cards.py path/to/pci.ids > src/cpu/nvidiacards.cpp
"""
import re
import sys

# code: (device ids in family order, how many rows are known)
FAMILIES = {
    0: ([0x03D0, 0x03D1, 0x03D2, 0x03D5, 0x03D6, 0x053B, 0x053E], 0),
    1: ([0x0018, 0x0019], 2),
    3: ([0x0020, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, 0x00A0], 10),
    5: ([0x0100, 0x0101, 0x0102, 0x0103, 0x0110, 0x0111, 0x0112, 0x0113, 0x0150, 0x0151, 0x0152, 0x0153,
         0x01A0], 12),
    8: ([0x0170, 0x0171, 0x0172, 0x0173, 0x0174, 0x0175, 0x0177, 0x0178, 0x0179, 0x017A, 0x017B, 0x017C,
         0x0181, 0x0182, 0x0183, 0x0184, 0x0185, 0x0186, 0x0187, 0x0188, 0x0189, 0x018A, 0x018B, 0x018C, 0x018D,
         0x01F0, 0x00FF], 19),
    10: ([0x0200, 0x0201, 0x0202, 0x0203], 4),
    11: ([0x0250, 0x0251, 0x0252, 0x0253, 0x0258, 0x0259, 0x025B, 0x0280, 0x0281, 0x0282, 0x0286, 0x0288,
          0x0289, 0x028C, 0x00FC, 0x00FD, 0x0320, 0x0321, 0x0322, 0x0323, 0x0324, 0x0325, 0x0326, 0x0327,
          0x0328, 0x0329, 0x032A, 0x032B, 0x032C, 0x032D, 0x032F], 26),
    13: ([0x0300, 0x0301, 0x0302, 0x0308, 0x0309], 5),
    14: ([0x0311, 0x0312, 0x0313, 0x0314, 0x0315, 0x0316, 0x0317, 0x0318, 0x031A, 0x031B, 0x031C, 0x031D,
          0x031E, 0x031F, 0x0341, 0x0342, 0x0343, 0x0344, 0x0347, 0x0348, 0x0349, 0x034C, 0x034D, 0x034E,
          0x00FA, 0x032E], 14),
    18: ([0x0330, 0x0331, 0x0332, 0x0333, 0x0334, 0x0338, 0x033F, 0x00FB, 0x00FE, 0x00F8], 7),
    20: ([0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0047, 0x0048, 0x004E, 0x00F9, 0x00C8, 0x00C9,
          0x00CC, 0x0211, 0x0212, 0x0215, 0x0218, 0x0240, 0x0241, 0x0242, 0x0244, 0x0245], 12),
    21: ([0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C5, 0x00C6, 0x00C7, 0x00CD, 0x00CE, 0x0215], 10),
    22: ([0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F6, 0x0140, 0x0141, 0x0142, 0x0143, 0x0144, 0x0145, 0x0146,
          0x0147, 0x0148, 0x014A, 0x014B, 0x014D, 0x014E, 0x014F], 18),
    23: ([0x0160, 0x0161, 0x0162, 0x0163, 0x0164, 0x0165, 0x0166, 0x0167, 0x0168, 0x0169, 0x016A, 0x016D,
          0x016E, 0x016F, 0x0221, 0x0222, 0x0224, 0x0149], 12),
    24: ([0x01D0, 0x01D1, 0x01D2, 0x01D3, 0x01D8, 0x01DD, 0x01DF], 7),
    25: ([0x0090, 0x0091, 0x0092, 0x0093, 0x0095, 0x0097, 0x0098, 0x0099, 0x009D, 0x00F5], 7),
    27: ([0x0290, 0x0291, 0x0292, 0x0293, 0x0294, 0x0295, 0x029C, 0x029D, 0x029E], 9),
    28: ([0x0390, 0x0391, 0x0392, 0x0393, 0x0395], 5),
    29: ([0x0191, 0x0192, 0x0193, 0x019D, 0x019E], 5),
    30: ([0x0400, 0x0401, 0x0402, 0x040B], 4),
    31: ([0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429], 10),
}

# Ids the current list no longer names: their chip.
RETIRED = {0x002E: "NV6 [Vanta]", 0x002F: "NV6 [Vanta]", 0x0102: "NV10 [GeForce 256 Ultra]",
           0x0313: "NV31", 0x0315: "NV31", 0x0317: "NV31M", 0x031D: "NV31GLM", 0x031E: "NV31GLM",
           0x031F: "NV31GLM", 0x0349: "NV36M"}

# Rows whose name is the product name rather than the list's.
NAMES = {0x0018: "Riva128", 0x0020: "Riva TNT", 0x0029: "TNT2 Ultra", 0x002C: "VANTA", 0x0100: "GeForce 256",
         0x01A0: "GeForce 2 MX Integrated", 0x0043: "GeForce 6800LE", 0x00C0: "GeForce 6800GS",
         0x00C3: "GeForce 6800XT", 0x00FC: "GeForcePCX 5300", 0x03D5: "GeForce 6100 nForce430",
         0x053B: "GeForce 7050PV nForce630a", 0x053E: "GeForce 7025 nForce630a", 0x040B: "Quadro 320M NVS",
         0x0097: "G70", 0x0218: "NV48"}

# The rows the program depends on: (id, code, known, name).
FIXED = [(0x0018, 1, 1, "Riva128"), (0x0040, 20, 1, "GeForce 6800 Ultra"), (0x0043, 20, 0, "GeForce 6800LE"),
         (0x0191, 29, 1, "GeForce 8800 GTX"), (0x053E, 0, 0, "GeForce 7025 nForce630a")]


def read_list(path):
    names, inside = {}, False
    for line in open(path, encoding="utf-8", errors="replace"):
        if line.startswith("10de "):
            inside = True
        elif inside and line[:1] not in ("\t", "#", "\n"):
            break
        elif inside and re.match(r"\t[0-9a-f]{4} ", line):
            names[int(line[1:5], 16)] = line[6:].strip()
    return names


def product(listed):
    match = re.search(r"\[(.*)\]", listed)
    return match.group(1) if match else listed.split()[0]


def doubt(listed):
    """How little a row's register model is relied on: chip name only, integrated, mobile."""
    chip = listed.split()[0]
    if "[" not in listed:
        return 3
    if "nForce" in listed or "Integrated" in listed or "IGP" in listed or chip.startswith("C5"):
        return 2
    if chip.endswith("M") or " Go" in listed:
        return 1
    return 0


def rows(names):
    out = []
    for code, (ids, known) in FAMILIES.items():
        listed = {i: names.get(i) or RETIRED[i] for i in ids}
        fixed_unknown = [i for i, c, k, _ in FIXED if c == code and not k]
        # The doubtful first, later rows before earlier ones at equal doubt.
        order = sorted((i for i in ids if i not in fixed_unknown), key=lambda i: (-doubt(listed[i]), -ids.index(i)))
        unknown = set(fixed_unknown + order[:len(ids) - known - len(fixed_unknown)])
        for i in ids:
            out.append((i, code, 0 if i in unknown else 1, NAMES.get(i, product(listed[i]))))
    # 0215h is listed twice: first as an NV48 part of its own, then with its sibling chips.
    return sorted(out, key=lambda r: (r[0], r[1]))


def main():
    table = rows(read_list(sys.argv[1]))
    assert len(table) == 254
    for row in FIXED:
        assert row in table, row
    print("// Generated by scripts/gen_nvidia_cards.py from the public PCI id list; do not edit.")
    print('#include "cpu/cvgeforce.h"\n')
    print("namespace {")
    print("constexpr TNVidiaCardRow Rows[] = {")
    for device, code, known, name in table:
        print('    {0x%04X, %d, %d, "%s"},' % (device, code, known, name))
    print("};")
    print("}  // namespace\n")
    print("std::span<const TNVidiaCardRow> NVidiaCardTable() { return Rows; }")


main()
