#pragma once
// The SMBus chips that identify themselves through vendor, id and revision
// registers: one row per signature {section, chip, form and its expected
// values, result}. The rows of a section are in the order the section tries
// them; a row that tries several ids (or vendors) tries them in order.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "detect/cvdetectcontext.h"

// What answering adds at the address.
enum class TAdds : std::uint8_t {
    Chip,          // the chip code, through the factory
    Placeholder,   // a placeholder named after the chip
    NeedsSupport,  // the same, marked as needing support
    Nothing,
};

struct TSignatureResult {
    TAdds Adds;
    std::uint8_t ChipCode;  // for Chip
};

// A revision byte whose open nibbles are 0: "hi 3" is 30h, "any" 00h.
struct TRevisionNibbles {
    std::uint8_t Value;
    bool AnyHigh, AnyLow;
};

// 3Eh = vendor, 3Fh = id.
struct TFormADM1 {
    std::uint8_t Vendor;
    std::vector<std::uint8_t> Ids;
};
// 02h AND status mask = 0, FEh = vendor, FFh by nibbles.
struct TFormADM2 {
    std::uint8_t StatusMask;
    std::vector<std::uint8_t> Vendors;
    TRevisionNibbles Revision;
};
// 40h bit 7 clear, 48h = the address (or ISA), 3Eh = vendor.
struct TFormADM4 {
    std::uint8_t Vendor;
};
// Configuration register AND mask = 0, 3Eh = vendor, 3Fh by nibbles.
struct TFormADM5 {
    std::uint8_t ConfigRegister, ConfigMask, Vendor;
    TRevisionNibbles Revision;
};
// Status register AND mask = 0, 3Eh = vendor, 3Dh = device, 3Fh AND mask = value.
struct TFormADM6 {
    std::uint8_t StatusRegister, StatusMask, Vendor, DeviceId, RevisionMask, RevisionValue;
};
// 4Eh = manufacturer, 4Dh = device, 4Fh AND mask = value.
struct TFormADM7 {
    std::uint8_t Manufacturer, DeviceId, RevisionMask, RevisionValue;
};
// FEh = manufacturer, FDh = product, FFh AND mask = value.
struct TFormSMSC {
    std::uint8_t Manufacturer, ProductId, RevisionMask, RevisionValue;
};
// 5Ah:5Bh = chip id, 5Ch = version when given, vendor 19h:34h.
struct TFormFintek {
    std::uint8_t IdHigh, IdLow;
    std::optional<std::uint8_t> Version;
};

enum class TWinbondProbe : std::uint8_t { Type1, Type2, Type3, Type4, ChipId };

// The engine's Winbond identifications; types 3 and 4 may select bank 0 and
// check a revision.
struct TFormWinbond {
    TWinbondProbe Probe;
    std::uint8_t ChipId;
    std::uint16_t Vendor;
    bool Bank0 = false;
    std::optional<std::uint8_t> Revision = std::nullopt;
};
// 20h = id, high nibble of 21h = the revision's.
struct TFormChipIdRev {
    std::uint8_t Id, Revision;
};
// 00h-02h: three letters; 03h: the revision.
struct TFormFujitsu {
    std::array<std::uint8_t, 3> Letters;
};

using TSignatureForm = std::variant<TFormADM1, TFormADM2, TFormADM4, TFormADM5, TFormADM6, TFormADM7, TFormSMSC,
                                    TFormFintek, TFormWinbond, TFormChipIdRev, TFormFujitsu>;

struct TSignatureRow {
    std::string_view Section;  // "12", "32.3"; "58h/5Ch" for the unnumbered row
    const char* Chip;          // the found line's and the placeholder's name
    TSignatureForm Form;
    TSignatureResult Result;
};

const std::vector<TSignatureRow>& SignatureRows();

// Whether the row's chip answers at the address; its probe writes the found line.
bool SignatureAnswers(const TSignatureRow& row, TDetectionContext& context, int linkIndex, std::uint32_t address);
