#include "detect/cvsmbussignatures.h"

#include "detect/cvchipprobes.h"
#include "detect/cvdetect.h"

namespace {

constexpr TRevisionNibbles Exactly(std::uint8_t value) { return {value, false, false}; }
constexpr TRevisionNibbles HighNibble(std::uint8_t nibble) {
    return {static_cast<std::uint8_t>(nibble << 4), false, true};
}
constexpr TRevisionNibbles AnyRevision{0x00, true, true};

constexpr TSignatureResult Code(std::uint8_t chipCode) { return {TAdds::Chip, chipCode}; }
constexpr TSignatureResult PhResult{TAdds::Placeholder, 0};
constexpr TSignatureResult PhNeedResult{TAdds::NeedsSupport, 0};

constexpr std::uint16_t Winbond = 0x5CA3;
constexpr std::uint16_t Asus = 0x12C3;

TFormWinbond Type1(std::uint8_t chipId, std::uint16_t vendor = Winbond) {
    return {TWinbondProbe::Type1, chipId, vendor};
}
TFormWinbond Type2(std::uint8_t chipId) { return {TWinbondProbe::Type2, chipId, Winbond}; }
TFormWinbond ByChipId(std::uint8_t chipId, std::uint16_t vendor) { return {TWinbondProbe::ChipId, chipId, vendor}; }

TFormFujitsu Letters(const char (&letters)[4]) {
    return {{static_cast<std::uint8_t>(letters[0]), static_cast<std::uint8_t>(letters[1]),
             static_cast<std::uint8_t>(letters[2])}};
}

// Every Fintek row expects the vendor 19h, 34h.
constexpr std::uint8_t FintekVendorHigh = 0x19;
constexpr std::uint8_t FintekVendorLow = 0x34;

template <class... Visitors>
struct TOverloaded : Visitors... {
    using Visitors::operator()...;
};
template <class... Visitors>
TOverloaded(Visitors...) -> TOverloaded<Visitors...>;

}  // namespace

const std::vector<TSignatureRow>& SignatureRows() {
    static const std::vector<TSignatureRow> rows = {
        {"58h/5Ch", "ADT7462", TFormADM6{0x00, 0x00, 0x41, 0x62, 0xFF, 0x04}, Code(106)},
        {"2", "F75111R", TFormFintek{0x03, 0x00, 0x10}, PhResult},
        {"2", "F75121R", TFormFintek{0x03, 0x01, 0x10}, PhResult},
        {"2", "F75122R", TFormFintek{0x03, 0x01, 0x11}, PhResult},
        {"2", "Unknown FINTEK (F7512xR?)", TFormFintek{0x03, 0x01, 0x12}, PhResult},
        {"2.5", "F75125R", TFormFintek{0x07, 0x03, 0x30}, PhResult},
        {"2.5", "EMC2103-1", TFormSMSC{0x5D, 0x24, 0xF0, 0x00}, Code(220)},
        {"2.5", "EMC2103-2", TFormSMSC{0x5D, 0x26, 0xF0, 0x00}, Code(221)},
        {"3", "F72603R", TFormFintek{0x03, 0x02, 0x10}, PhResult},
        {"3", "F72603R", TFormFintek{0x03, 0x02, 0x12}, PhResult},
        {"3", "F72569DG", TFormFintek{0x05, 0x10, 0x10}, PhResult},
        {"3", "MAX6640", TFormADM6{0x04, 0x00, 0x4D, 0x58, 0x00, 0x00}, Code(133)},
        {"4", "LM99", TFormADM2{0x00, {0x01}, Exactly(0x31)}, Code(68)},
        {"4", "LM63", TFormADM2{0x00, {0x01}, Exactly(0x41)}, Code(53)},
        {"4", "W83L771", TFormADM2{0x00, {0x5C}, HighNibble(0x1)}, Code(47)},
        {"5", "F75133S", TFormFintek{0x04, 0x02, std::nullopt}, PhResult},
        {"6", "LM99", TFormADM2{0x00, {0x01}, Exactly(0x34)}, Code(68)},
        {"6.5", "EMC2113", TFormSMSC{0x5D, 0x2E, 0xFF, 0x81}, Code(126)},
        {"7", "EMC1402", TFormSMSC{0x5D, 0x20, 0xFF, 0x01}, Code(125)},
        {"8", "Asus MOZART-2", ByChipId(0x10, 0x5CA3), Code(44)},
        {"8", "Asus MOZART-2", ByChipId(0x56, 0x9436), Code(44)},
        {"8", "Asus MOZART-2", ByChipId(0x56, 0x9406), Code(44)},
        {"9", "FS Poseidon", Letters("ARG"), Code(179)},
        {"9", "FS Hermes", Letters("HER"), Code(178)},
        {"9", "FS Hades", Letters("HDS"), Code(226)},
        {"9", "FS Scylla", Letters("SCY"), PhNeedResult},
        {"9", "FS Poseidon", Letters("PEG"), PhNeedResult},
        {"9", "FS Heracles", Letters("HRC"), PhNeedResult},
        {"9", "FS Heimdall", Letters("HMD"), PhNeedResult},
        {"9", "FS Syleus", Letters("SYL"), PhNeedResult},
        {"10", "LM64", TFormADM2{0x00, {0x01}, Exactly(0x51)}, PhNeedResult},
        {"11", "ADT7316", TFormADM7{0x41, 0x01, 0x00, 0x00}, PhNeedResult},
        {"11", "ADT7411", TFormADM7{0x41, 0x02, 0xFF, 0x00}, Code(105)},
        {"11", "ADT7516", TFormADM7{0x41, 0x03, 0x00, 0x00}, PhNeedResult},
        {"11", "ADT7318", TFormADM7{0x41, 0x05, 0x00, 0x00}, PhNeedResult},
        {"11", "ADT7517", TFormADM7{0x41, 0x07, 0x00, 0x00}, PhNeedResult},
        {"11", "ADT7317", TFormADM7{0x41, 0x09, 0x00, 0x00}, PhNeedResult},
        {"11", "ADT7518", TFormADM7{0x41, 0x0B, 0x00, 0x00}, PhNeedResult},
        {"11.5", "ADP3228", TFormADM6{0x40, 0x00, 0x41, 0x28, 0xFF, 0x30}, Code(49)},
        {"12", "ADT7476", TFormADM6{0x00, 0x00, 0x41, 0x76, 0x00, 0x00}, Code(112)},
        {"12", "ADM1027", TFormADM6{0x40, 0x00, 0x41, 0x27, 0xFF, 0x60}, Code(98)},
        {"12", "ADT7490", TFormADM1{0x41, {0x6E, 0x6F}}, Code(113)},
        {"12", "ADT7463", TFormADM6{0x40, 0x00, 0x41, 0x27, 0xFF, 0x62}, Code(107)},
        {"12", "ADT7463", TFormADM6{0x40, 0x00, 0x41, 0x27, 0xFF, 0x6A}, Code(107)},
        {"12", "LM85C", TFormADM1{0x01, {0x60}}, Code(61)},
        {"12", "LM85B", TFormADM1{0x01, {0x62}}, Code(62)},
        {"12", "LM96000", TFormADM1{0x01, {0x68, 0x69}}, Code(67)},
        {"12", "ADM1031", TFormADM6{0x00, 0x00, 0x41, 0x31, 0x00, 0x00}, Code(101)},
        {"12", "EMC6D100", TFormADM1{0x5C, {0x60}}, Code(119)},
        {"12", "EMC6D102", TFormADM1{0x5C, {0x65}}, Code(120)},
        {"12", "EMC6D103", TFormADM1{0x5C, {0x68}}, Code(121)},
        {"12", "EMC2300 or EMC6D103S", TFormADM1{0x5C, {0x6A}}, PhNeedResult},
        {"12", "EMC2710P", TFormADM1{0x5C, {0xA0}}, Code(124)},
        {"12", "EMC6W201", TFormADM1{0x5C, {0xB0, 0xB1}}, Code(123)},
        {"12", "aSC7611", TFormADM1{0x61, {0x69}}, Code(23)},
        {"12", "aSC7621", TFormADM1{0x61, {0x6C, 0x6D}}, Code(24)},
        {"13", "Asus F8000", TFormFintek{0x05, 0x08, 0x10}, Code(45)},
        {"15", "Winbond W83L785TS-S", Type2(0x70), Code(29)},
        {"15", "ADT7468", TFormADM6{0x00, 0x00, 0x41, 0x68, 0x00, 0x00}, Code(108)},
        {"16", "F75373S", TFormFintek{0x02, 0x04, 0x20}, Code(189)},
        {"16", "F75375S", TFormFintek{0x03, 0x06, 0x15}, Code(192)},
        {"16", "F75387", TFormFintek{0x04, 0x10, std::nullopt}, Code(193)},
        {"17", "F75384", TFormFintek{0x03, 0x03, std::nullopt}, Code(191)},
        {"18", "SMSC H/M Block", TFormADM1{0x55, {0x20}}, Code(177)},
        {"20", "W83601R", TFormChipIdRev{0x60, 0x10}, PhResult},
        {"21", "W83602R", TFormChipIdRev{0x60, 0x20}, PhResult},
        {"22", "ADM1028", TFormADM5{0x40, 0x84, 0x41, HighNibble(0xD)}, Code(99)},
        {"22", "ADT7473", TFormADM6{0x00, 0x00, 0x41, 0x73, 0x00, 0x00}, Code(110)},
        {"22", "ADT7475", TFormADM6{0x00, 0x00, 0x41, 0x75, 0x00, 0x00}, Code(111)},
        {"23", "ADM1032", TFormADM2{0x00, {0x41}, AnyRevision}, Code(102)},
        {"23", "LM86", TFormADM2{0x00, {0x01}, Exactly(0x11)}, Code(63)},
        {"23", "LM90", TFormADM2{0x00, {0x01}, Exactly(0x21)}, Code(65)},
        {"23", "ADT7461", TFormADM2{0x00, {0x41}, Exactly(0x51)}, PhNeedResult},
        {"23", "MAX6648", TFormADM2{0x00, {0x4D}, Exactly(0x59)}, Code(134)},
        {"23", "NE1618", TFormADM2{0x00, {0xA1}, Exactly(0x00)}, Code(70)},
        {"23", "F75383", TFormFintek{0x03, 0x03, std::nullopt}, Code(190)},
        {"25", "NE1619", TFormADM5{0x40, 0x00, 0xA1, Exactly(0x21)}, Code(69)},
        {"26", "ADM9240", TFormADM4{0x23}, Code(103)},
        {"26", "LM81", TFormADM4{0x01}, Code(59)},
        {"26", "DS1780", TFormADM4{0xDA}, PhNeedResult},
        {"26", "ADT7470", TFormADM6{0x00, 0x00, 0x41, 0x70, 0xFF, 0x02}, Code(109)},
        {"27", "THMC50", TFormADM5{0x3E, 0x00, 0x49, HighNibble(0xC)}, PhNeedResult},
        {"27", "ADM1025", TFormADM5{0x41, 0x00, 0x41, HighNibble(0x2)}, Code(96)},
        {"27", "ADM1024", TFormADM5{0x41, 0x00, 0x41, HighNibble(0x1)}, Code(95)},
        {"27", "ADM1022", TFormADM5{0x41, 0x00, 0x41, HighNibble(0xC)}, PhNeedResult},
        {"27", "ADM1030", TFormADM6{0x00, 0x00, 0x41, 0x30, 0x00, 0x00}, Code(100)},
        {"27", "FMS2701", TFormADM5{0x40, 0x80, 0xFC, HighNibble(0xC)}, PhNeedResult},
        {"27", "LM93", TFormADM1{0x01, {0x73}}, Code(71)},
        {"27", "DME1737", TFormADM1{0x5C, {0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F}}, Code(168)},
        {"28", "ADM1021", TFormADM2{0x03, {0x41}, AnyRevision}, Code(94)},
        {"28", "ADM1023", TFormADM2{0x00, {0x41}, HighNibble(0x3)}, PhNeedResult},
        {"28", "ADT7483A", TFormADM2{0x00, {0x41}, Exactly(0x94)}, PhNeedResult},
        {"28", "THMC10", TFormADM2{0x03, {0x49}, AnyRevision}, Code(116)},
        {"28", "MAX1617A", TFormADM2{0x03, {0x4D}, Exactly(0x01)}, Code(128)},
        {"28", "GL523SM", TFormADM2{0x03, {0x23}, AnyRevision}, PhNeedResult},
        {"28", "MAX1618", TFormADM2{0x03, {0x4D}, Exactly(0x02)}, PhNeedResult},
        {"28", "MAX1619", TFormADM2{0x01, {0x4D}, Exactly(0x04)}, PhNeedResult},
        {"28", "MAX6655", TFormADM2{0x00, {0x4D}, Exactly(0x0A)}, PhNeedResult},
        {"28", "MAX1668", TFormADM2{0x00, {0x4D}, Exactly(0x03)}, Code(129)},
        {"28", "MAX1805", TFormADM2{0x00, {0x4D}, Exactly(0x05)}, Code(131)},
        // Shares the MAX1805 signature, so never answers; kept where it stands.
        {"28", "MAX1669", TFormADM2{0x00, {0x4D}, Exactly(0x05)}, Code(130)},
        {"28", "MAX6654", TFormADM2{0x00, {0x4D}, Exactly(0x08)}, PhNeedResult},
        {"28", "MC1066", TFormADM2{0x03, {0x54}, AnyRevision}, Code(138)},
        {"29", "SA56004X", TFormADM2{0x00, {0xA1}, Exactly(0x00)}, Code(176)},
        {"30", "Winbond W83L784R", Type2(0x50), Code(27)},
        {"30", "Winbond W83L784R", Type2(0x51), Code(27)},
        {"30", "Winbond W83L785R", Type2(0x60), Code(28)},
        {"31", "Winbond W83782D", Type1(0x30), Code(26)},
        {"31", "Winbond W83781D", Type1(0x10), Code(25)},
        {"31", "Winbond W83781D(11)", Type1(0x11), Code(25)},
        {"31", "Asus AS97127F(11)", Type1(0x11, Asus), Code(25)},
        {"31", "Winbond W83627HF", Type1(0x21), Code(33)},
        {"31", "Winbond W83783S", Type1(0x40), Code(35)},
        {"31", "Winbond W83697HF", Type1(0x60), Code(37)},
        {"31", "Winbond W83791D", Type1(0x71), Code(39)},
        // Shares the W83791D signature, so never answers; kept where it stands.
        {"31", "Winbond W83791SD", Type1(0x71), PhNeedResult},
        {"31", "Winbond W83637HF", Type1(0x80), Code(38)},
        {"31", "Winbond W83627EHF", Type1(0x88), Code(32)},
        {"31", "Winbond W83627EHG", Type1(0xA1), Code(32)},
        {"31", "Winbond W83627THF", Type1(0x90), Code(34)},
        {"31", "Winbond AS99127F(31)", Type1(0x31), Code(36)},
        {"31", "Asus AS99127F(31)", Type1(0x31, Asus), Code(36)},
        {"31", "Asus ASB100", Type1(0x31, 0x0694), Code(43)},
        {"32", "Winbond W83792D", Type1(0x7A), Code(40)},
        {"32", "Winbond W83793G", TFormWinbond{TWinbondProbe::Type3, 0x7B, Winbond}, Code(41)},
        {"32", "Winbond W83795G", TFormWinbond{TWinbondProbe::Type4, 0x79, Winbond, false, 0x51}, Code(42)},
        {"32.3", "EMCT03", TFormADM2{0x00, {0x5C, 0x5D}, Exactly(0x01)}, Code(122)},
    };
    return rows;
}

bool SignatureAnswers(const TSignatureRow& row, TDetectionContext& context, int linkIndex, std::uint32_t address) {
    const TDetectionEngine& e = context.Engine;
    const std::string name = row.Chip;
    const auto anyOf = [](const std::vector<std::uint8_t>& values, auto answers) {
        for (std::uint8_t value : values) {
            if (answers(value)) return true;
        }
        return false;
    };
    return std::visit(
        TOverloaded{
            [&](const TFormADM1& f) {
                return anyOf(f.Ids, [&](std::uint8_t id) {
                    return e.ProbeADM1(linkIndex, address, false, name, f.Vendor, id);
                });
            },
            [&](const TFormADM2& f) {
                const TRevisionNibbles& r = f.Revision;
                return anyOf(f.Vendors, [&](std::uint8_t vendor) {
                    return e.ProbeADM2(linkIndex, address, false, name, f.StatusMask, vendor, r.Value, r.AnyHigh,
                                       r.Value, r.AnyLow);
                });
            },
            [&](const TFormADM4& f) { return e.ProbeADM4(linkIndex, address, false, name, f.Vendor); },
            [&](const TFormADM5& f) {
                const TRevisionNibbles& r = f.Revision;
                return e.ProbeADM5(linkIndex, address, false, name, f.ConfigRegister, f.ConfigMask, f.Vendor, r.Value,
                                   r.AnyHigh, r.Value, r.AnyLow);
            },
            [&](const TFormADM6& f) {
                return e.ProbeADM6(linkIndex, address, false, name, f.StatusRegister, f.StatusMask, f.Vendor,
                                   f.DeviceId, f.RevisionMask, f.RevisionValue);
            },
            [&](const TFormADM7& f) {
                return e.ProbeADM7(linkIndex, address, false, name, f.Manufacturer, f.DeviceId, f.RevisionMask,
                                   f.RevisionValue);
            },
            [&](const TFormSMSC& f) {
                return e.ProbeSMSC(linkIndex, address, false, name, f.Manufacturer, f.ProductId, f.RevisionMask,
                                   f.RevisionValue);
            },
            [&](const TFormFintek& f) {
                return e.ProbeFintekID(linkIndex, address, name, f.Version.has_value(), f.IdHigh, f.IdLow,
                                       f.Version.value_or(0), FintekVendorHigh, FintekVendorLow);
            },
            [&](const TFormWinbond& f) {
                switch (f.Probe) {
                    case TWinbondProbe::Type1:
                        return e.ProbeWinbondType1(linkIndex, address, name, f.ChipId, f.Vendor);
                    case TWinbondProbe::Type2:
                        return e.ProbeWinbondType2(linkIndex, address, false, name, f.ChipId, f.Vendor);
                    case TWinbondProbe::Type3:
                        return e.ProbeWinbondType3(linkIndex, address, false, name, f.Bank0, f.Revision.has_value(),
                                                   f.Revision.value_or(0), f.ChipId, f.Vendor);
                    case TWinbondProbe::Type4:
                        return e.ProbeWinbondType4(linkIndex, address, false, name, f.Bank0, f.Revision.has_value(),
                                                   f.Revision.value_or(0), f.ChipId, f.Vendor);
                    case TWinbondProbe::ChipId:
                        return e.ProbeWinbondChipId(linkIndex, address, name, f.ChipId, f.Vendor);
                }
                return false;
            },
            [&](const TFormChipIdRev& f) { return e.ProbeChipIdRev(linkIndex, address, name, f.Revision, f.Id); },
            [&](const TFormFujitsu& f) { return ProbeFujitsuChip(context, linkIndex, address, f.Letters, name); },
        },
        row.Form);
}
