#include "detect/cvscanexceptions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvsensorsfile.h"
#include "core/cvtext.h"
#include "hw/cvlink.h"

using cvformat::Format;

namespace {

struct TRange {
    std::uint8_t First, Last;
};

// Addresses given as ranges, or as the ranges that stay open.
struct TAddresses {
    bool AllBut;
    std::initializer_list<TRange> Ranges;

    TScanExceptionSet Set() const {
        TScanExceptionSet set;
        for (const TRange& r : Ranges)
            for (int a = r.First; a <= r.Last; ++a) set.set(static_cast<std::size_t>(a));
        return AllBut ? ~set : set;
    }
};

constexpr bool Only = false;
constexpr bool AllBut = true;

// Which SMBus links a row looks at.
enum class TScope : std::uint8_t {
    Chipsets,  // host kinds 2, 3, 4, 7, 8, 9, 11, 12, 14 and 15
    Intel,     // host kind 2
    NForce2,   // host kind 12, at the row's base
    Any,       // every SMBus link
};

struct TBoardRow {
    TScope Scope;
    std::string_view Maker;
    std::string_view Product;
    TAddresses Adds;
    std::optional<std::uint32_t> Base = std::nullopt;
    bool ProductPrefix = false;  // Product is the beginning of the board's product
    bool SystemIdentity = false;  // Maker and Product are the system's, not the board's
};

constexpr std::string_view Asus = "ASUSTeK Computer INC.";
constexpr std::string_view Intel = "Intel Corporation";
constexpr std::string_view Dell = "Dell Inc.";
constexpr std::string_view HP = "Hewlett-Packard";

const TBoardRow BoardRows[] = {
    {TScope::Chipsets, "DFI Corp,LTD", "LP ", {Only, {{0x2E, 0x2E}, {0x57, 0x57}}}, std::nullopt, true},
    {TScope::Chipsets, "DFI Inc.", "LP ", {Only, {{0x2E, 0x2E}, {0x57, 0x57}}}, std::nullopt, true},

    {TScope::Intel, Intel, "DH87RL", {AllBut, {{0x10, 0x10}, {0x44, 0x44}, {0x50, 0x53}}}},
    {TScope::Intel, Intel, "DP67BG", {Only, {{0x30, 0x30}, {0x4B, 0x4B}}}},
    {TScope::Intel, Intel, "DX58SO", {AllBut, {{0x2E, 0x2E}, {0x50, 0x57}}}},
    {TScope::Intel, Intel, "DX58OG", {Only, {{0x00, 0x0C}}}},
    {TScope::Intel, Intel, "D5400XS", {Only, {{0x40, 0x4F}}}},
    {TScope::Intel, Intel, "DX38BT", {Only, {{0x4C, 0x4C}, {0x4F, 0x4F}}}},
    {TScope::Intel, Asus, "Rampage Formula", {Only, {{0x2F, 0x2F}}}},
    {TScope::Intel, Asus, "P7F-M", {Only, {{0x18, 0x18}, {0x1A, 0x1A}}}},
    {TScope::Intel, Dell, "0G841G", {Only, {{0x18, 0x1B}, {0x30, 0x33}}}},
    {TScope::Intel, Intel, "DP55SB", {Only, {{0x0C, 0x0C}}}},

    {TScope::NForce2, HP, "0A1Ch", {Only, {{0x00, 0x4F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x4000},
    {TScope::NForce2, HP, "0A1Ch", {AllBut, {}}, 0x4040},
    {TScope::NForce2, Asus, "P5N-T DELUXE", {Only, {{0x00, 0x4F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x1C00},
    {TScope::NForce2, Asus, "P5N-T DELUXE", {Only, {{0x00, 0x1D}, {0x21, 0x5F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x1C80},
    {TScope::NForce2, Asus, "M2N-E", {Only, {{0x00, 0x4F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x1C00},
    {TScope::NForce2, Asus, "M2N-E", {Only, {{0x00, 0x2D}, {0x2F, 0x5F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x1C40},
    {TScope::NForce2, Asus, "P5N32-E SLI", {Only, {{0x00, 0x4F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x1C00},
    {TScope::NForce2, Asus, "P5N32-E SLI",
     {Only, {{0x00, 0x1E}, {0x20, 0x2C}, {0x2F, 0x5F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x1C80},
    {TScope::NForce2, Asus, "P5N-D", {Only, {{0x00, 0x4F}, {0x73, 0x73}, {0x77, 0x77}}}, 0x1C00},
    {TScope::NForce2, Asus, "P5N-D", {Only, {{0x00, 0x1D}, {0x1F, 0x1F}, {0x21, 0x77}}}, 0x1C80},
    {TScope::NForce2, Asus, "P5NT WS", {Only, {{0x5F, 0x5F}}}, 0x1C80},
    {TScope::NForce2, Asus, "M2N32-SLI DELUXE",
     {Only, {{0x1B, 0x1B}, {0x2B, 0x2B}, {0x32, 0x33}, {0x3A, 0x3A}, {0x49, 0x49}}}, 0x1C00},
    {TScope::NForce2, Asus, "StrikerExtreme", {Only, {{0x00, 0x4F}}}, 0x1C00},
    {TScope::NForce2, Asus, "StrikerExtreme", {AllBut, {{0x1F, 0x1F}, {0x2D, 0x2E}}}, 0x1C80},
    {TScope::NForce2, "Compal", "08A0", {AllBut, {}}, 0x2000},
    {TScope::NForce2, Dell, "0UY253", {Only, {{0x2E, 0x2E}}}, 0x5000},
    {TScope::NForce2, Dell, "0YF432", {Only, {{0x00, 0x4F}}}, 0x5000},
    {TScope::NForce2, "EVGA", "NFORCE 680i LT SLI", {Only, {{0x14, 0x4F}}}, 0xF400},
    {TScope::NForce2, "First International Computer, Inc.", "AU31", {AllBut, {}}, 0x5100},
    {TScope::NForce2, "FOXCONN", "Destroyer", {AllBut, {{0x50, 0x57}, {0x69, 0x69}}}, 0x1C00},
    {TScope::NForce2, "FOXCONN", "Destroyer",
     {AllBut, {{0x22, 0x22}, {0x2E, 0x2F}, {0x46, 0x46}, {0x50, 0x57}, {0x69, 0x69}}}, 0x1C80},
    {TScope::NForce2, NForce2WebMaker, "NF7-S/NF7,NF7-V (nVidia-nForce2)",
     {Only, {{0x30, 0x30}, {0x32, 0x32}, {0x4E, 0x4E}}}, 0x5000},
    {TScope::NForce2, NForce2WebMaker, "AN8 Series(NF-CK804)", {Only, {{0x4F, 0x4F}}}, 0x1C40},
    {TScope::NForce2, "Quanta", "30B7", {Only, {{0x00, 0x55}}}, 0x3000},
    {TScope::NForce2, "Supermicro", "H8DCE", {Only, {{0x32, 0x33}, {0x36, 0x37}}}, 0x4C00},
    {TScope::NForce2, "TYAN Computer Corporation", "S2927", {AllBut, {}}, 0x2E00},

    {TScope::Any, "MICRO-STAR INTERNATIONAL CO.,LTD", "MS-7345", {Only, {{0x28, 0x28}, {0x46, 0x46}}}},
    {TScope::Any, "MSI", "MS-7280", {Only, {{0x10, 0x4B}, {0x4D, 0x7F}}}},
    {TScope::Any, Intel, "D975XBX2", {Only, {{0x4C, 0x4C}, {0x4F, 0x4F}}}},
    {TScope::Any, "AOpen", "i975Xa-YDG", {Only, {{0x15, 0x15}}}},
    {TScope::Any, "Sun Microsystems", "2864", {AllBut, {}}, 0x1C40},
    {TScope::Any, "TOSHIBA", "Satellite A215", {AllBut, {{0x50, 0x53}, {0x69, 0x69}}}, std::nullopt, false, true},
};

bool InScope(TScope scope, std::uint8_t hostKind) {
    switch (scope) {
        case TScope::Chipsets: {
            static constexpr std::array<std::uint8_t, 10> kinds = {2, 3, 4, 7, 8, 9, 11, 12, 14, 15};
            return std::find(kinds.begin(), kinds.end(), hostKind) != kinds.end();
        }
        case TScope::Intel: return hostKind == HostKinds::Intel;
        case TScope::NForce2: return hostKind == HostKinds::nForce2;
        case TScope::Any: return true;
    }
    return false;
}

bool RowMatches(const TBoardRow& row, const TLink& link, const TBoardIdentity& board) {
    if (!InScope(row.Scope, link.HostKind())) return false;
    if (row.Base && *row.Base != link.BaseAddress()) return false;
    const std::string& maker = row.SystemIdentity ? board.SystemManufacturer : board.BoardManufacturer;
    const std::string& product = row.SystemIdentity ? board.SystemProduct : board.BoardProduct;
    if (maker != row.Maker) return false;
    return row.ProductPrefix ? std::string_view(product).starts_with(row.Product) : product == row.Product;
}

constexpr std::uint32_t ClosedISABases[] = {0x0CCB, 0x0CD1};

// The NVIDIA graphics I2C bus: its monitor and EEPROM addresses stay open.
TScanExceptionSet GraphicsI2CSet(bool usesNvapi) {
    if (usesNvapi) return TAddresses{Only, {{0x00, 0x1F}, {0x51, 0x6F}, {0x71, 0xFF}}}.Set();
    return TAddresses{Only,
                      {{0x00, 0x1F}, {0x37, 0x37}, {0x51, 0xFF}, {0x4A, 0x4B}, {0x30, 0x3F}, {0x20, 0x2C}, {0x2F, 0x2F},
                       {0x40, 0x47}, {0x4A, 0x4A}, {0x4D, 0x4F}, {0x50, 0x50}}}
        .Set();
}

}  // namespace

void InitializeCvscanexceptions() { WriteDebugLog("Initializing CVSCANEXCEPTIONS"); }

TScanExceptionSet GetScanExceptions(const TLink& link, const TBoardIdentity* board) {
    TScanExceptionSet set;
    if (link.LinkKind() == LinkKinds::ISA &&
        std::find(std::begin(ClosedISABases), std::end(ClosedISABases), link.BaseAddress()) !=
            std::end(ClosedISABases)) {
        WriteDebugLog(Format("Preventing access to ISA @$%.4x", {link.BaseAddress()}));
        set.set(0);
    }
    if (link.LinkKind() != LinkKinds::SMBus) return set;

    if (link.HostKind() == HostKinds::IntelMCH) set = TAddresses{AllBut, {{0x50, 0x53}}}.Set();
    if (link.HostKind() == HostKinds::I2CNVidia) set = GraphicsI2CSet(link.UsesNVAPI());
    if (!board) return set;
    for (const TBoardRow& row : BoardRows)
        if (RowMatches(row, link, *board)) set |= row.Adds.Set();
    return set;
}

bool IsAddressExcluded(const TLink& link, int address, const TBoardIdentity* board) {
    if (link.LinkKind() == LinkKinds::ISA) {
        WriteDebugLog(Format("ISA@%x access test...", {link.BaseAddress()}));
        const bool prevented = GetScanExceptions(link, board).test(0);
        WriteDebugLog(prevented ? "  --> PREVENTED" : "  --> NOT PREVENTED");
        return prevented;
    }
    if (address < 0 || address > 255) return false;
    return GetScanExceptions(link, board).test(static_cast<std::size_t>(address));
}

bool IsDellWithoutSMI(const TBoardIdentity* board) {
    static constexpr std::array<std::string_view, 5> models = {"Studio 1747", "XPS L501X", "PowerEdge R415",
                                                               "Inspiron 530", "Studio 1558"};
    if (!board || Trim(board->BoardManufacturer) != "Dell Inc.") return false;
    const std::string product = Trim(board->SystemProduct);
    return std::find(models.begin(), models.end(), product) != models.end();
}
