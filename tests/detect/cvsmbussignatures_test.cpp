#include "detect/cvsmbussignatures.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "base/cvformat.h"
#include "detect/cvsmbusprobe.h"
#include "detect/probefixture.h"
#include "hw/cvsuperioinfo.h"
#include "platform/sim/indexdataport.h"

namespace {

using cvformat::Format;
using Regs = std::vector<std::pair<std::uint8_t, std::uint16_t>>;

// Register images by the forms' register layouts.
Regs ADM1(std::uint8_t vendor, std::uint8_t id) { return {{0x3E, vendor}, {0x3F, id}}; }
Regs ADM2(std::uint8_t status, std::uint8_t vendor, std::uint8_t revision) {
    return {{0x02, status}, {0xFE, vendor}, {0xFF, revision}};
}
Regs ADM4(std::uint8_t address, std::uint8_t vendor, std::uint8_t revision) {
    return {{0x40, 0x00}, {0x48, address}, {0x3E, vendor}, {0x3F, revision}};
}
Regs ADM5(std::uint8_t vendor, std::uint8_t revision) { return {{0x3E, vendor}, {0x3F, revision}}; }
Regs ADM6(std::uint8_t vendor, std::uint8_t device, std::uint8_t revision) {
    return {{0x3E, vendor}, {0x3D, device}, {0x3F, revision}};
}
Regs ADM7(std::uint8_t device, std::uint8_t revision) { return {{0x4E, 0x41}, {0x4D, device}, {0x4F, revision}}; }
Regs SMSC(std::uint8_t product, std::uint8_t revision) { return {{0xFE, 0x5D}, {0xFD, product}, {0xFF, revision}}; }
Regs Fintek(std::uint8_t high, std::uint8_t low, std::uint8_t version) {
    return {{0x5A, high}, {0x5B, low}, {0x5C, version}, {0x5D, 0x19}, {0x5E, 0x34}};
}
Regs Letters(const char (&l)[4], std::uint8_t revision) {
    return {{0x00, static_cast<std::uint8_t>(l[0])}, {0x01, static_cast<std::uint8_t>(l[1])},
            {0x02, static_cast<std::uint8_t>(l[2])}, {0x03, revision}};
}
// Winbond chip-id probe: 58h = id, 4Eh:4Fh = vendor, no bank switching.
Regs ChipId(std::uint8_t id, std::uint16_t vendor) {
    return {{0x58, id}, {0x4E, static_cast<std::uint8_t>(vendor >> 8)}, {0x4F, static_cast<std::uint8_t>(vendor)}};
}
// Winbond type 2: 4Eh = id, 4Dh:4Ch = vendor.
Regs Type2(std::uint8_t id) { return {{0x4E, id}, {0x4C, 0xA3}, {0x4D, 0x5C}}; }

// A vendor word shown one byte at a time: bit 7 of Select picks the high byte.
struct TBankedVendor {
    std::uint8_t Select, Vendor;
    std::uint16_t Word;
};

struct TRow {
    const char* Chip;
    std::uint8_t Address;
    Regs Image;
    int Code;                  // 2: a placeholder
    const char* Placeholder;   // its full name
    std::string Found;         // "%s": the link's display name
    std::pair<std::uint8_t, std::uint16_t> NearMiss;
    std::optional<TBankedVendor> Banked = std::nullopt;
};

constexpr int Ph = 2;

class SmbusSignatures : public ProbeTest {
protected:
    SmbusSignatures() {
        for (const char* cls : {"TADM1021Sensor", "TLM75Sensor", "TSMSCSensor", "TFintekSensor", "TWinbondSensor",
                                "TFujitsuSensor", "TSensor", "TJedecJC424Sensor", "TGLSensor", "TITSensor"})
            useChip(cls, cls);
    }
    ~SmbusSignatures() override { SuperIOInfo = {}; }

    void place(const TRow& row, std::optional<std::pair<std::uint8_t, std::uint16_t>> change) {
        segment.detach(row.Address);
        auto regs = std::make_shared<platform::sim::RegisterFile>(row.Banked ? 2 : 1);
        for (const auto& [reg, value] : row.Image) regs->set(reg, value);
        if (row.Banked) {
            const TBankedVendor& b = *row.Banked;
            regs->setBankSelector({b.Select, 0x80, 7, b.Vendor, b.Vendor});
            regs->set(b.Select, 0x80);
            regs->set(b.Vendor, b.Word & 0xFF, 0);
            regs->set(b.Vendor, b.Word >> 8, 1);
        }
        if (change) regs->set(change->first, change->second);
        segment.attach(row.Address, std::make_shared<platform::sim::SMBusSlave>(regs));
        monitor.Sensors.clear();
        monitor.SensorInUse.clear();
        while (registered(smbus, row.Address)) link(smbus).UnregisterAddress(row.Address);
        boxes.Readings.clear();
    }
    std::string found(const std::string& picture) const {
        std::string line = picture;
        if (const auto at = line.find("%s"); at != std::string::npos) line.replace(at, 2, name(smbus));
        return line;
    }
    void check(const std::vector<TRow>& rows) {
        for (const TRow& row : rows) {
            place(row, std::nullopt);
            ProbeSmbusAddress(context, smbus, row.Address);
            ASSERT_FALSE(monitor.Sensors.empty()) << row.Chip;
            EXPECT_EQ(monitor.Sensors[0]->FChipCode, row.Code) << row.Chip;
            if (row.Code == Ph) {
                EXPECT_EQ(monitor.Sensors[0]->FChipName, row.Placeholder) << row.Chip;
            }
            EXPECT_TRUE(has(boxes.Readings, found(row.Found))) << row.Chip << ": " << found(row.Found);

            place(row, row.NearMiss);
            ProbeSmbusAddress(context, smbus, row.Address);
            EXPECT_TRUE(monitor.Sensors.empty()) << row.Chip << " near miss added code "
                                                 << int(monitor.Sensors.empty() ? 0 : monitor.Sensors[0]->FChipCode);
        }
    }
};

TEST_F(SmbusSignatures, ADM6Rows) {
    check({
        {"ADT7462", 0x58, ADM6(0x41, 0x62, 0x04), 106, "", "ADT7462 (ID=$62) found on %s at $58", {0x3F, 0x05}},
        {"MAX6640", 0x2F, ADM6(0x4D, 0x58, 0x00), 133, "", "MAX6640 (ID=$58) found on %s at $2F", {0x3D, 0x59}},
        {"ADP3228", 0x20, ADM6(0x41, 0x28, 0x30), 49, "", "ADP3228 (ID=$28) found on %s at $20", {0x3F, 0x31}},
        {"ADT7476", 0x2E, ADM6(0x41, 0x76, 0x00), 112, "", "ADT7476 (ID=$76) found on %s at $2E", {0x3D, 0x77}},
        {"ADM1027", 0x2E, ADM6(0x41, 0x27, 0x60), 98, "", "ADM1027 (ID=$27) found on %s at $2E", {0x3F, 0x61}},
        {"ADT7463", 0x2D, ADM6(0x41, 0x27, 0x62), 107, "", "ADT7463 (ID=$27) found on %s at $2D", {0x3F, 0x63}},
        {"ADT7463", 0x2C, ADM6(0x41, 0x27, 0x6A), 107, "", "ADT7463 (ID=$27) found on %s at $2C", {0x3F, 0x6B}},
        {"ADM1031", 0x2E, ADM6(0x41, 0x31, 0x00), 101, "", "ADM1031 (ID=$31) found on %s at $2E", {0x3E, 0x42}},
        {"ADT7468", 0x2E, ADM6(0x41, 0x68, 0x00), 108, "", "ADT7468 (ID=$68) found on %s at $2E", {0x3D, 0x69}},
        {"ADT7473", 0x2E, ADM6(0x41, 0x73, 0x00), 110, "", "ADT7473 (ID=$73) found on %s at $2E", {0x3D, 0x74}},
        {"ADT7475", 0x2E, ADM6(0x41, 0x75, 0x00), 111, "", "ADT7475 (ID=$75) found on %s at $2E", {0x3E, 0x40}},
        {"ADT7470", 0x2F, ADM6(0x41, 0x70, 0x02), 109, "", "ADT7470 (ID=$70) found on %s at $2F", {0x3F, 0x03}},
        {"ADM1030", 0x2C, ADM6(0x41, 0x30, 0x00), 100, "", "ADM1030 (ID=$30) found on %s at $2C", {0x3D, 0x32}},
    });
}

TEST_F(SmbusSignatures, ADM1RowsTryTheirIdsInOrder) {
    check({
        {"ADT7490", 0x2C, ADM1(0x41, 0x6F), 113, "", "ADT7490 (ID=$6F) found on %s at $2C", {0x3F, 0x70}},
        {"LM85C", 0x2C, ADM1(0x01, 0x60), 61, "", "LM85C (ID=$60) found on %s at $2C", {0x3F, 0x61}},
        {"LM85B", 0x2D, ADM1(0x01, 0x62), 62, "", "LM85B (ID=$62) found on %s at $2D", {0x3E, 0x02}},
        {"LM96000", 0x2E, ADM1(0x01, 0x69), 67, "", "LM96000 (ID=$69) found on %s at $2E", {0x3F, 0x6A}},
        {"EMC6D100", 0x2C, ADM1(0x5C, 0x60), 119, "", "EMC6D100 (ID=$60) found on %s at $2C", {0x3E, 0x5B}},
        {"EMC6D102", 0x2C, ADM1(0x5C, 0x65), 120, "", "EMC6D102 (ID=$65) found on %s at $2C", {0x3F, 0x66}},
        {"EMC6D103", 0x2C, ADM1(0x5C, 0x68), 121, "", "EMC6D103 (ID=$68) found on %s at $2C", {0x3F, 0x67}},
        {"EMC2300", 0x2C, ADM1(0x5C, 0x6A), Ph, "EMC2300 or EMC6D103S (>>>need support<<<)",
         "EMC2300 or EMC6D103S (ID=$6A) found on %s at $2C", {0x3F, 0x6B}},
        {"EMC2710P", 0x2C, ADM1(0x5C, 0xA0), 124, "", "EMC2710P (ID=$A0) found on %s at $2C", {0x3F, 0xA1}},
        {"EMC6W201", 0x2C, ADM1(0x5C, 0xB1), 123, "", "EMC6W201 (ID=$B1) found on %s at $2C", {0x3F, 0xB2}},
        {"aSC7611", 0x2C, ADM1(0x61, 0x69), 23, "", "aSC7611 (ID=$69) found on %s at $2C", {0x3E, 0x62}},
        {"aSC7621", 0x2C, ADM1(0x61, 0x6D), 24, "", "aSC7621 (ID=$6D) found on %s at $2C", {0x3F, 0x6E}},
        {"SMSC H/M", 0x2D, ADM1(0x55, 0x20), 177, "", "SMSC H/M Block (ID=$20) found on %s at $2D", {0x3F, 0x21}},
        {"LM93", 0x2C, ADM1(0x01, 0x73), 71, "", "LM93 (ID=$73) found on %s at $2C", {0x3F, 0x74}},
        {"DME1737", 0x2E, ADM1(0x5C, 0x8F), 168, "", "DME1737 (ID=$8F) found on %s at $2E", {0x3F, 0x90}},
    });
}

TEST_F(SmbusSignatures, ADM2RowsCompareTheRevisionByNibbles) {
    check({
        {"LM99", 0x4C, ADM2(0, 0x01, 0x31), 68, "", "LM99 (ID=$31) found on %s at $4C", {0xFF, 0x32}},
        {"LM63", 0x4C, ADM2(0, 0x01, 0x41), 53, "", "LM63 (ID=$41) found on %s at $4C", {0xFF, 0x42}},
        {"W83L771", 0x4C, ADM2(0, 0x5C, 0x13), 47, "", "W83L771 (ID=$10) found on %s at $4C", {0xFF, 0x23}},
        {"LM99 4Dh", 0x4D, ADM2(0, 0x01, 0x34), 68, "", "LM99 (ID=$34) found on %s at $4D", {0xFF, 0x35}},
        {"LM64", 0x4E, ADM2(0, 0x01, 0x51), Ph, "LM64 (>>>need support<<<)", "LM64 (ID=$51) found on %s at $4E",
         {0xFF, 0x52}},
        {"ADM1032", 0x4C, ADM2(0, 0x41, 0x77), 102, "", "ADM1032 (ID=$00) found on %s at $4C", {0xFE, 0x42}},
        {"LM86", 0x4C, ADM2(0, 0x01, 0x11), 63, "", "LM86 (ID=$11) found on %s at $4C", {0xFF, 0x12}},
        {"LM90", 0x4C, ADM2(0, 0x01, 0x21), 65, "", "LM90 (ID=$21) found on %s at $4C", {0xFF, 0x22}},
        {"MAX6648", 0x4C, ADM2(0, 0x4D, 0x59), 134, "", "MAX6648 (ID=$59) found on %s at $4C", {0xFE, 0x4E}},
        {"NE1618", 0x4C, ADM2(0, 0xA1, 0x00), 70, "", "NE1618 (ID=$00) found on %s at $4C", {0xFF, 0x01}},
        {"ADM1021", 0x19, ADM2(0, 0x41, 0x3C), 94, "", "ADM1021 (ID=$00) found on %s at $19", {0xFE, 0x42}},
        {"ADM1023", 0x19, ADM2(0x01, 0x41, 0x3C), Ph, "ADM1023 (>>>need support<<<)",
         "ADM1023 (ID=$30) found on %s at $19", {0xFF, 0x4C}},
        {"ADT7483A", 0x1A, ADM2(0x01, 0x41, 0x94), Ph, "ADT7483A (>>>need support<<<)",
         "ADT7483A (ID=$94) found on %s at $1A", {0xFF, 0x95}},
        {"THMC10", 0x29, ADM2(0, 0x49, 0x5A), 116, "", "THMC10 (ID=$00) found on %s at $29", {0xFE, 0x4A}},
        {"MAX1617A", 0x19, ADM2(0, 0x4D, 0x01), 128, "", "MAX1617A (ID=$01) found on %s at $19", {0xFF, 0x0F}},
        {"GL523SM", 0x19, ADM2(0, 0x23, 0x42), Ph, "GL523SM (>>>need support<<<)", "GL523SM (ID=$00) found on %s at $19",
         {0xFE, 0x24}},
        {"MAX1618", 0x19, ADM2(0, 0x4D, 0x02), Ph, "MAX1618 (>>>need support<<<)", "MAX1618 (ID=$02) found on %s at $19",
         {0xFF, 0x0F}},
        {"MAX1619", 0x19, ADM2(0x02, 0x4D, 0x04), Ph, "MAX1619 (>>>need support<<<)",
         "MAX1619 (ID=$04) found on %s at $19", {0x02, 0x03}},
        {"MAX6655", 0x19, ADM2(0x03, 0x4D, 0x0A), Ph, "MAX6655 (>>>need support<<<)",
         "MAX6655 (ID=$0A) found on %s at $19", {0xFF, 0x0B}},
        {"MAX1668", 0x19, ADM2(0x03, 0x4D, 0x03), 129, "", "MAX1668 (ID=$03) found on %s at $19", {0xFF, 0x0F}},
        {"MAX1805", 0x19, ADM2(0x03, 0x4D, 0x05), 131, "", "MAX1805 (ID=$05) found on %s at $19", {0xFF, 0x06}},
        {"MAX6654", 0x19, ADM2(0x03, 0x4D, 0x08), Ph, "MAX6654 (>>>need support<<<)",
         "MAX6654 (ID=$08) found on %s at $19", {0xFF, 0x09}},
        {"MC1066", 0x19, ADM2(0, 0x54, 0x77), 138, "", "MC1066 (ID=$00) found on %s at $19", {0x02, 0x01}},
        {"SA56004X", 0x48, ADM2(0, 0xA1, 0x00), 176, "", "SA56004X (ID=$00) found on %s at $48", {0xFF, 0x01}},
        {"EMCT03", 0x4D, ADM2(0, 0x5D, 0x01), 122, "", "EMCT03 (ID=$01) found on %s at $4D", {0xFF, 0x02}},
    });
}

TEST_F(SmbusSignatures, ADM4ADM5ADM7AndSMSCRows) {
    check({
        {"ADM9240", 0x2F, ADM4(0x2F, 0x23, 0x1A), 103, "", "ADM9240 (ID=$1A) found on %s at $2F", {0x48, 0x2E}},
        {"LM81", 0x2F, ADM4(0x2F, 0x01, 0x13), 59, "", "LM81 (ID=$13) found on %s at $2F", {0x40, 0x80}},
        {"DS1780", 0x2F, ADM4(0x2F, 0xDA, 0x01), Ph, "DS1780 (>>>need support<<<)", "DS1780 (ID=$01) found on %s at $2F",
         {0x48, 0x2E}},
        {"ADM1028", 0x2E, ADM5(0x41, 0xD5), 99, "", "ADM1028 (ID=$D5) found on %s at $2E", {0x40, 0x04}},
        {"NE1619", 0x2C, ADM5(0xA1, 0x21), 69, "", "NE1619 (ID=$21) found on %s at $2C", {0x3F, 0x22}},
        {"THMC50", 0x2C, ADM5(0x49, 0xC3), Ph, "THMC50 (>>>need support<<<)", "THMC50 (ID=$C3) found on %s at $2C",
         {0x3F, 0xB3}},
        {"ADM1025", 0x2C, ADM5(0x41, 0x25), 96, "", "ADM1025 (ID=$25) found on %s at $2C", {0x3F, 0x35}},
        {"ADM1024", 0x2D, ADM5(0x41, 0x15), 95, "", "ADM1024 (ID=$15) found on %s at $2D", {0x3F, 0x45}},
        {"ADM1022", 0x2C, ADM5(0x41, 0xC1), Ph, "ADM1022 (>>>need support<<<)", "ADM1022 (ID=$C1) found on %s at $2C",
         {0x3F, 0xD1}},
        {"FMS2701", 0x2C, ADM5(0xFC, 0xC0), Ph, "FMS2701 (>>>need support<<<)", "FMS2701 (ID=$C0) found on %s at $2C",
         {0x40, 0x80}},
        {"ADT7316", 0x4A, ADM7(0x01, 0x5A), Ph, "ADT7316 (>>>need support<<<)", "ADT7316 (ID=$01) found on %s at $4A",
         {0x4E, 0x42}},
        {"ADT7411", 0x4A, ADM7(0x02, 0x00), 105, "", "ADT7411 (ID=$02) found on %s at $4A", {0x4F, 0x01}},
        {"ADT7516", 0x4A, ADM7(0x03, 0x11), Ph, "ADT7516 (>>>need support<<<)", "ADT7516 (ID=$03) found on %s at $4A",
         {0x4D, 0x04}},
        {"ADT7318", 0x4B, ADM7(0x05, 0x00), Ph, "ADT7318 (>>>need support<<<)", "ADT7318 (ID=$05) found on %s at $4B",
         {0x4D, 0x06}},
        {"ADT7517", 0x4A, ADM7(0x07, 0x00), Ph, "ADT7517 (>>>need support<<<)", "ADT7517 (ID=$07) found on %s at $4A",
         {0x4D, 0x08}},
        {"ADT7317", 0x4A, ADM7(0x09, 0x00), Ph, "ADT7317 (>>>need support<<<)", "ADT7317 (ID=$09) found on %s at $4A",
         {0x4D, 0x0A}},
        {"ADT7518", 0x48, ADM7(0x0B, 0x00), Ph, "ADT7518 (>>>need support<<<)", "ADT7518 (ID=$0B) found on %s at $48",
         {0x4D, 0x0C}},
        {"EMC2103-1", 0x2E, SMSC(0x24, 0x05), 220, "", "EMC2103-1 (ID=$24) found on %s at $2E", {0xFF, 0x15}},
        {"EMC2103-2", 0x2E, SMSC(0x26, 0x0A), 221, "", "EMC2103-2 (ID=$26) found on %s at $2E", {0xFD, 0x27}},
        {"EMC2113", 0x48, SMSC(0x2E, 0x81), 126, "", "EMC2113 (ID=$2E) found on %s at $48", {0xFF, 0x82}},
        {"EMC1402", 0x18, SMSC(0x20, 0x01), 125, "", "EMC1402 (ID=$20) found on %s at $18", {0xFD, 0x21}},
    });
}

TEST_F(SmbusSignatures, FintekRows) {
    check({
        {"F75111R", 0x37, Fintek(0x03, 0x00, 0x10), Ph, "F75111R (not used)", "F75111R found on %s at $37", {0x5C, 0x11}},
        {"F75121R", 0x4E, Fintek(0x03, 0x01, 0x10), Ph, "F75121R (not used)", "F75121R found on %s at $4E", {0x5D, 0x18}},
        {"F75122R", 0x37, Fintek(0x03, 0x01, 0x11), Ph, "F75122R (not used)", "F75122R found on %s at $37", {0x5E, 0x35}},
        {"F7512xR", 0x37, Fintek(0x03, 0x01, 0x12), Ph, "Unknown FINTEK (F7512xR?) (not used)",
         "Unknown FINTEK (F7512xR?) found on %s at $37", {0x5C, 0x13}},
        {"F75125R", 0x2E, Fintek(0x07, 0x03, 0x30), Ph, "F75125R (not used)", "F75125R found on %s at $2E", {0x5A, 0x08}},
        {"F72603R", 0x2F, Fintek(0x03, 0x02, 0x10), Ph, "F72603R (not used)", "F72603R found on %s at $2F", {0x5B, 0x05}},
        {"F72603R 12h", 0x2F, Fintek(0x03, 0x02, 0x12), Ph, "F72603R (not used)", "F72603R found on %s at $2F",
         {0x5C, 0x13}},
        {"F72569DG", 0x2F, Fintek(0x05, 0x10, 0x10), Ph, "F72569DG (not used)", "F72569DG found on %s at $2F",
         {0x5C, 0x11}},
        {"F75133S", 0x34, Fintek(0x04, 0x02, 0x77), Ph, "F75133S (not used)", "F75133S found on %s at $34", {0x5B, 0x03}},
        {"F75373S", 0x2D, Fintek(0x02, 0x04, 0x20), 189, "", "F75373S found on %s at $2D", {0x5C, 0x21}},
        {"F75375S", 0x2E, Fintek(0x03, 0x06, 0x15), 192, "", "F75375S found on %s at $2E", {0x5C, 0x16}},
        {"F75387", 0x2D, Fintek(0x04, 0x10, 0x5A), 193, "", "F75387 found on %s at $2D", {0x5B, 0x11}},
        {"F75384", 0x4D, Fintek(0x03, 0x03, 0x99), 191, "", "F75384 found on %s at $4D", {0x5A, 0x04}},
        {"F75383", 0x4C, Fintek(0x03, 0x03, 0x01), 190, "", "F75383 found on %s at $4C", {0x5E, 0x33}},
    });
}

TEST_F(SmbusSignatures, WinbondAndAsusRows) {
    const auto type1 = [](std::uint16_t vendor) { return std::optional<TBankedVendor>(TBankedVendor{0x4E, 0x4F, vendor}); };
    // Type 1 at 2Ah: 58h = id, the vendor through 4Eh bit 7 and 4Fh.
    auto row1 = [&](const char* chip, std::uint8_t id, std::uint16_t vendor, int code) {
        const std::string line = std::string(chip) + Format(" (ID=$%.2x) found on ", {id}) + "%s at $2A";
        return TRow{chip, 0x2A, {{0x58, id}}, code, "", line, {0x58, 0x00}, type1(vendor)};
    };
    check({
        {"MOZART-2", 0x77, ChipId(0x10, 0x5CA3), 44, "", "Asus MOZART-2 (ID=$10) found on %s at $77", {0x4F, 0xA4}},
        {"MOZART-2 9436h", 0x77, ChipId(0x56, 0x9436), 44, "", "Asus MOZART-2 (ID=$56) found on %s at $77", {0x4E, 0x95}},
        {"MOZART-2 9406h", 0x77, ChipId(0x56, 0x9406), 44, "", "Asus MOZART-2 (ID=$56) found on %s at $77", {0x58, 0x57}},
        {"W83L785TS-S", 0x2E, Type2(0x70), 29, "", "Winbond W83L785TS-S (ID=$70) found on %s at $2E", {0x4D, 0x5D}},
        {"W83601R", 0x18, {{0x20, 0x60}, {0x21, 0x13}}, Ph, "W83601R (not used)", "W83601R (rev $03) found on %s at $18",
         {0x21, 0x33}},
        {"W83602R", 0x1B, {{0x20, 0x60}, {0x21, 0x25}}, Ph, "W83602R (not used)", "W83602R (rev $05) found on %s at $1B",
         {0x20, 0x61}},
        {"W83L784R", 0x2A, Type2(0x50), 27, "", "Winbond W83L784R (ID=$50) found on %s at $2A", {0x4C, 0xA4}},
        {"W83L784R 51h", 0x2A, Type2(0x51), 27, "", "Winbond W83L784R (ID=$51) found on %s at $2A", {0x4E, 0x52}},
        {"W83L785R", 0x2A, Type2(0x60), 28, "", "Winbond W83L785R (ID=$60) found on %s at $2A", {0x4E, 0x61}},
        row1("Winbond W83782D", 0x30, 0x5CA3, 26),
        row1("Winbond W83781D", 0x10, 0x5CA3, 25),
        row1("Winbond W83781D(11)", 0x11, 0x5CA3, 25),
        row1("Asus AS97127F(11)", 0x11, 0x12C3, 25),
        row1("Winbond W83627HF", 0x21, 0x5CA3, 33),
        row1("Winbond W83783S", 0x40, 0x5CA3, 35),
        row1("Winbond W83697HF", 0x60, 0x5CA3, 37),
        row1("Winbond W83791D", 0x71, 0x5CA3, 39),
        row1("Winbond W83637HF", 0x80, 0x5CA3, 38),
        row1("Winbond W83627EHF", 0x88, 0x5CA3, 32),
        row1("Winbond W83627EHG", 0xA1, 0x5CA3, 32),
        row1("Winbond W83627THF", 0x90, 0x5CA3, 34),
        row1("Winbond AS99127F(31)", 0x31, 0x5CA3, 36),
        row1("Asus AS99127F(31)", 0x31, 0x12C3, 36),
        row1("Asus ASB100", 0x31, 0x0694, 43),
        {"W83792D", 0x2F, {{0x58, 0x7A}}, 40, "", "Winbond W83792D (ID=$7A) found on %s at $2F", {0x58, 0x7B},
         type1(0x5CA3)},
        {"W83793G", 0x2F, {{0x0E, 0x7B}}, 41, "", "Winbond W83793G (ID=$7B) found on %s at $2F", {0x0E, 0x7C},
         TBankedVendor{0x00, 0x0D, 0x5CA3}},
        {"W83795G", 0x2F, {{0xFE, 0x79}, {0xFB, 0x51}}, 42, "", "Winbond W83795G (ID=$79 REV=$51) found on %s at $2F",
         {0xFB, 0x52}, TBankedVendor{0x00, 0xFD, 0x5CA3}},
    });
}

TEST_F(SmbusSignatures, FujitsuRows) {
    check({
        {"FS Poseidon", 0x73, Letters("ARG", 0x02), 179, "", "FS Poseidon (REV=$02) found on SMBus at $73", {0x02, 0x48}},
        {"FS Hermes", 0x73, Letters("HER", 0x11), 178, "", "FS Hermes (REV=$11) found on SMBus at $73", {0x00, 0x49}},
        {"FS Hades", 0x73, Letters("HDS", 0x00), 226, "", "FS Hades (REV=$00) found on SMBus at $73", {0x01, 0x45}},
        {"FS Scylla", 0x73, Letters("SCY", 0x01), Ph, "FS Scylla (>>>need support<<<)",
         "FS Scylla (REV=$01) found on SMBus at $73", {0x02, 0x5A}},
        {"FS Poseidon PEG", 0x73, Letters("PEG", 0x03), Ph, "FS Poseidon (>>>need support<<<)",
         "FS Poseidon (REV=$03) found on SMBus at $73", {0x00, 0x51}},
        {"FS Heracles", 0x73, Letters("HRC", 0x01), Ph, "FS Heracles (>>>need support<<<)",
         "FS Heracles (REV=$01) found on SMBus at $73", {0x02, 0x44}},
        {"FS Heimdall", 0x73, Letters("HMD", 0x01), Ph, "FS Heimdall (>>>need support<<<)",
         "FS Heimdall (REV=$01) found on SMBus at $73", {0x01, 0x4E}},
        {"FS Syleus", 0x73, Letters("SYL", 0x01), Ph, "FS Syleus (>>>need support<<<)",
         "FS Syleus (REV=$01) found on SMBus at $73", {0x02, 0x4D}},
    });
}

// When two signatures would answer, the section order settles it.
TEST_F(SmbusSignatures, OrderCases) {
    struct Case {
        const char* What;
        std::uint8_t Address;
        Regs Image;
        int Code;  // 0: nothing added
    };
    const std::vector<Case> cases = {
        {"34h at 4Ch is no LM99", 0x4C, ADM2(0, 0x01, 0x34), 0},
        {"31h at 4Dh is no LM99", 0x4D, ADM2(0, 0x01, 0x31), 0},
        {"ADT7463 with 6Ah", 0x2E, ADM6(0x41, 0x27, 0x6A), 107},
        {"ADM1027-like, other revision", 0x2E, ADM6(0x41, 0x27, 0x64), 0},
        {"MAX1805 over MAX1669", 0x4E, ADM2(0, 0x4D, 0x05), 131},
        {"ADM1032 over ADT7461", 0x4C, ADM2(0, 0x41, 0x51), 102},
        {"W83L785TS-S before ADT7468 at 2Eh", 0x2E, [] {
             Regs r = Type2(0x70);
             for (const auto& reg : ADM6(0x41, 0x68, 0x00)) r.push_back(reg);
             return r;
         }(), 29},
        {"F72603R with 11h falls to MAX6640", 0x2F, [] {
             Regs r = Fintek(0x03, 0x02, 0x11);
             for (const auto& reg : ADM6(0x4D, 0x58, 0x00)) r.push_back(reg);
             return r;
         }(), 133},
    };
    for (const Case& c : cases) {
        place({c.What, c.Address, c.Image, 0, "", "", {}}, std::nullopt);
        ProbeSmbusAddress(context, smbus, c.Address);
        if (c.Code == 0) {
            EXPECT_TRUE(monitor.Sensors.empty()) << c.What;
        } else {
            ASSERT_EQ(monitor.Sensors.size(), 1u) << c.What;
            EXPECT_EQ(monitor.Sensors[0]->FChipCode, c.Code) << c.What;
        }
    }
}

// W83791D and W83791SD share a signature: the first row always wins.
TEST_F(SmbusSignatures, UnreachableRowsStayInPlaceAndNeverAnswer) {
    auto at = [](std::string_view section, std::string_view chip) {
        const auto& rows = SignatureRows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].Section == section && chip == rows[i].Chip) return static_cast<int>(i);
        }
        return -1;
    };
    EXPECT_EQ(at("28", "MAX1669"), at("28", "MAX1805") + 1);
    EXPECT_EQ(at("31", "Winbond W83791SD"), at("31", "Winbond W83791D") + 1);
    place({"W83791D", 0x2A, {{0x58, 0x71}}, 0, "", "", {}, TBankedVendor{0x4E, 0x4F, 0x5CA3}}, std::nullopt);
    ProbeSmbusAddress(context, smbus, 0x2A);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 39);
}

// The chain of ISA confirmations at an ISA link's base: the Super I/O
// identification names the chip, and an unconfirmed base reaches "Asus F8000"
// through the index/data pair.
TEST_F(SmbusSignatures, FintekChainAtTheISABase) {
    const int isa = addLink(LinkKinds::ISA, HostKinds::ISA, 0x290);
    link(isa).UpdateName();
    auto regs = std::make_shared<platform::sim::RegisterFile>();
    for (const auto& [reg, value] : Fintek(0x05, 0x08, 0x10)) regs->set(reg, value);
    machine().ports().claim(0x295, 0x296, std::make_shared<platform::sim::IndexDataPort>(regs, 0x295, 0x296));
    const std::vector<std::pair<std::uint8_t, int>> cases = {{195, 195}, {233, 233}, {235, 235}, {223, 223}, {1, 45}};
    for (const auto& [superIO, code] : cases) {
        SuperIOInfo.ChipCode = superIO;
        monitor.Sensors.clear();
        while (registered(isa, 0x290)) link(isa).UnregisterAddress(0x290);
        ProbeSmbusAddress(context, isa, 0x290);
        ASSERT_EQ(monitor.Sensors.size(), 1u) << int(superIO);
        EXPECT_EQ(monitor.Sensors[0]->FChipCode, code) << int(superIO);
    }
}

}  // namespace
