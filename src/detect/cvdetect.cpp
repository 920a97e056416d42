#include "detect/cvdetect.h"

#include <algorithm>
#include <initializer_list>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvlogsinks.h"
#include "core/cvvars.h"
#include "firmware/cvacpi.h"
#include "hw/cvdriver.h"
#include "hw/cvsetupapi.h"
#include "hw/cvlink.h"
#include "hw/cvsuperioinfo.h"
#include "platform/driverctl.h"
#include "platform/platform.h"

using cvformat::Format;

const std::array<TChipData, 13> JedecChips = {{
    {0x11D4, 0x0801, 0xFFFF, "ADT7408", 104},
    {0x004D, 0x3E00, 0xFFFF, "MAX6604", 132},
    {0x00B3, 0x2903, 0xFFFF, "TS3000B3", 206},
    {0x0054, 0x2000, 0xFFFC, "MCP98242", 213},
    {0x0054, 0x2100, 0xFF00, "MCP98243", 214},
    {0x0054, 0x0000, 0xFF00, "MCP9843", 215},
    {0x1131, 0xA200, 0xFFFC, "SE97", 207},
    {0x1131, 0xA100, 0xFFFC, "SE98", 208},
    {0x1B09, 0x0800, 0xFFE0, "CAT34TS02", 216},
    {0x104A, 0x0101, 0xFFFF, "STTS424", 209},
    {0x104A, 0x0000, 0xFFFE, "STTS424E", 210},
    {0x104A, 0x0200, 0xFFFF, "STTS3000", 211},
    {0x104A, 0x0300, 0xFFFF, "STTS2002", 212},
}};

namespace {

TLink* LinkAt(int linkIndex) {
    if (linkIndex < 0 || static_cast<std::size_t>(linkIndex) >= Links().size()) return nullptr;
    return Links()[static_cast<std::size_t>(linkIndex)].get();
}

int Bus(std::uint32_t address) { return static_cast<int>(address); }

bool Read(TLink& link, std::uint32_t address, std::uint8_t reg, std::uint8_t& value) {
    return link.ReadByteData(Bus(address), reg, value);
}

void Write(TLink& link, std::uint32_t address, std::uint8_t reg, std::uint8_t value) {
    link.WriteByteData(Bus(address), reg, value);
}

// Reads the registers in order; False at the first that fails.
template <std::size_t N>
bool ReadAll(TLink& link, std::uint32_t address, const std::array<std::uint8_t, N>& regs,
             std::array<std::uint8_t, N>& values) {
    for (std::size_t i = 0; i < N; ++i) {
        if (!Read(link, address, regs[i], values[i])) return false;
    }
    return true;
}

bool IsISAAtBase(const TLink& link, std::uint32_t address) {
    return link.LinkKind() == LinkKinds::ISA && link.BaseAddress() == address;
}

bool NibblesMatch(std::uint8_t value, std::uint8_t high, bool anyHigh, std::uint8_t low, bool anyLow) {
    return (anyHigh || (value & 0xF0) == (high & 0xF0)) && (anyLow || (value & 0x0F) == (low & 0x0F));
}

bool Blank(std::uint8_t a, std::uint8_t b) { return (a == 0xFF && b == 0xFF) || (a == 0x00 && b == 0x00); }

// Whether every register from Last down to First reads FFh; stops at the
// first that does not.
bool RunAllOnes(TLink& link, std::uint32_t address, std::uint8_t first, std::uint8_t last) {
    for (int reg = last; reg >= first; --reg) {
        if (ReadUnchecked(link, address, static_cast<std::uint8_t>(reg)) != 0xFF) return false;
    }
    return true;
}

// Whether any register of the run reads successfully with a value other than FFh.
bool RunAnswers(TLink& link, std::uint32_t address, std::uint8_t first, std::uint8_t last) {
    for (int reg = first; reg <= last; ++reg) {
        std::uint8_t value = 0;
        if (Read(link, address, static_cast<std::uint8_t>(reg), value) && value != 0xFF) return true;
    }
    return false;
}

// Registers of the Winbond types 3 and 4.
struct TWinbondBankedRegs {
    int Type;
    std::uint8_t Vendor, ChipId, Revision;
};
constexpr TWinbondBankedRegs WinbondType3Regs{3, 0x0D, 0x0E, 0x0F};
constexpr TWinbondBankedRegs WinbondType4Regs{4, 0xFD, 0xFE, 0xFB};

}  // namespace

TAccessGuard::TAccessGuard(TLink& link) : link_(link) { link_.BeginAccess(); }
TAccessGuard::~TAccessGuard() { link_.EndAccess(); }

std::uint8_t ReadUnchecked(TLink& link, std::uint32_t address, std::uint8_t reg) {
    std::uint8_t value = 0;
    return Read(link, address, reg, value) ? value : 0xFF;
}

std::string WinbondChipName(std::uint8_t chipCode) {
    static const std::pair<std::uint8_t, const char*> names[] = {
        {30, "W83627DHG"}, {31, "W83627DHG-P"}, {48, "NCT6776F"}, {50, "W83667HG"},  {51, "W83667HG-B"},
        {52, "W83677HG-I"}, {229, "NCT6779D"}, {230, "NCT6791D"}, {231, "NCT6792D"}, {234, "NCT6106D"},
        {0, "<unknown>"},   {1, "<not found>"},
    };
    for (const auto& [code, name] : names) {
        if (code == chipCode) return name;
    }
    return "unknown";
}

TDetectionEngine::TDetectionEngine(TDebugOutput debug, TFoundOutput found, TLogOutput log)
    : debug_(std::move(debug)), found_(std::move(found)), log_(std::move(log)) {}

TDetectionEngine TDetectionEngine::ForSinks(TLogSinks& sinks) {
    return TDetectionEngine([&sinks](const std::string& msg, std::uint8_t flag) { sinks.LogMessageEx(msg, flag != 0); },
                            [&sinks](const std::string& msg) { sinks.LogMessage(msg); },
                            [&sinks](const std::string& msg, int level) { sinks.TraceMessage(msg, level); });
}

void TDetectionEngine::Debug(const std::string& msg, std::uint8_t flag) const {
    if (debug_) debug_(msg, flag);
}
void TDetectionEngine::Found(const std::string& msg) const {
    if (found_) found_(msg);
}
void TDetectionEngine::Log(const std::string& msg, int level) const {
    if (log_) log_(msg, level);
}

bool TDetectionEngine::NoteOnce(std::string_view key) { return notes_.emplace(key).second; }

// ---- Winbond -----------------------------------------------------------------

bool TDetectionEngine::ProbeWinbondType1(int linkIndex, std::uint32_t address, const std::string& name,
                                         std::uint8_t chipId, std::uint16_t vendor) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::uint8_t bank = 0;
    if (!Read(*link, address, 0x4E, bank)) return false;
    const bool highFirst = bank & 0x80;
    const std::uint8_t v1 = ReadUnchecked(*link, address, 0x4F);
    if (highFirst ? (v1 << 8) != (vendor & 0xFF00) : v1 != (vendor & 0x00FF)) return false;
    bool failed = false;
    bool idRead = false;
    std::uint8_t id = 0;
    if ((bank & 0x0F) == 0) {
        idRead = Read(*link, address, 0x58, id);
        failed = !idRead || id != chipId;
    }
    if (failed) return false;
    Write(*link, address, 0x4E, bank ^ 0x80);
    const std::uint8_t v2 = ReadUnchecked(*link, address, 0x4F);
    Write(*link, address, 0x4E, bank);
    const int word = highFirst ? v1 << 8 | v2 : v2 << 8 | v1;
    if (word != vendor) {
        Write(*link, address, 0x4E, bank);
        return false;
    }
    if (!idRead) {
        Write(*link, address, 0x4E, bank & 0xF0);
        idRead = Read(*link, address, 0x58, id);
        failed = !idRead || id != chipId;
    }
    if (!idRead) Debug(Format("!!!Serious internal detection error in ProbeWinbondType1 ($%.4x)!!! ", {0xFFFF}), 1);
    if (!failed && !name.empty())
        Found(Format("%s (ID=$%.2x) found on %s at $%.2x", {name, chipId, link->DisplayName(), address}));
    Write(*link, address, 0x4E, bank);
    return !failed;
}

namespace {

struct TBankedArgs {
    bool Survey, Bank0, Revision;
    std::uint8_t ExpectedRevision, ChipId;
    std::uint16_t Vendor;
    const std::string& Name;
};

bool ProbeWinbondBanked(const TDetectionEngine& engine, TLink& link, std::uint32_t address,
                        const TWinbondBankedRegs& regs, const TBankedArgs& a) {
    TAccessGuard guard(link);
    std::uint8_t bank = 0;
    if (!Read(link, address, 0x00, bank)) return false;
    const std::uint8_t v1 = ReadUnchecked(link, address, regs.Vendor);
    if (!a.Survey && v1 != (a.Vendor >> 8) && v1 != (a.Vendor & 0xFF)) return false;
    Write(link, address, 0x00, bank ^ 0x80);
    const std::uint8_t v2 = ReadUnchecked(link, address, regs.Vendor);
    Write(link, address, 0x00, bank);
    const int word = (bank & 0x80) ? v1 << 8 | v2 : v2 << 8 | v1;
    if (regs.Type == 4) engine.Debug(Format("Vendor : $%.4x", {word}), 1);
    if (word == 0xFFFF || word == 0x0000 || (!a.Survey && word != a.Vendor)) return false;
    if (a.Bank0) Write(link, address, 0x00, 0x00);
    bool found = false;
    std::uint8_t id = 0;
    if (Read(link, address, regs.ChipId, id)) {
        const std::uint8_t revision = a.Revision ? ReadUnchecked(link, address, regs.Revision) : 0;
        if (regs.Type == 4) engine.Debug(Format("ChipID : $%.2x", {id}), 1);
        const std::string on = link.DisplayName();
        if (id != 0xFF && id != 0x00 && (a.Survey || id == a.ChipId)) {
            if (a.Survey) {
                const std::string family = Format("Unknown Winbond%d=$%.4x ID=$%.2x", {regs.Type, word, id});
                engine.Found(a.Revision ? Format("%s REV=$%.2x on %s at $%.2x", {family, revision, on, address})
                                        : Format("%s on %s at $%.2x", {family, on, address}));
            } else if (a.Revision) {
                found = revision == a.ExpectedRevision;
                if (found)
                    engine.Found(Format("%s (ID=$%.2x REV=$%.2x) found on %s at $%.2x",
                                        {a.Name, a.ChipId, a.ExpectedRevision, on, address}));
            } else {
                found = true;
                engine.Found(Format("%s (ID=$%.2x) found on %s at $%.2x", {a.Name, a.ChipId, on, address}));
            }
        }
    }
    if (a.Bank0) Write(link, address, 0x00, bank);
    return found;
}

}  // namespace

bool TDetectionEngine::ProbeWinbondType3(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                         bool bank0, bool revision, std::uint8_t expectedRevision,
                                         std::uint8_t chipId, std::uint16_t vendor) const {
    TLink* link = LinkAt(linkIndex);
    return link && ProbeWinbondBanked(*this, *link, address, WinbondType3Regs,
                                      {survey, bank0, revision, expectedRevision, chipId, vendor, name});
}

bool TDetectionEngine::ProbeWinbondType4(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                         bool bank0, bool revision, std::uint8_t expectedRevision,
                                         std::uint8_t chipId, std::uint16_t vendor) const {
    TLink* link = LinkAt(linkIndex);
    return link && ProbeWinbondBanked(*this, *link, address, WinbondType4Regs,
                                      {survey, bank0, revision, expectedRevision, chipId, vendor, name});
}

bool TDetectionEngine::ProbeWinbondType2(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                         std::uint8_t chipId, std::uint16_t vendor) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::uint8_t id = 0;
    if (!Read(*link, address, 0x4E, id) || (!survey && id != chipId)) return false;
    std::array<std::uint8_t, 2> v{};
    if (!ReadAll(*link, address, std::array<std::uint8_t, 2>{0x4C, 0x4D}, v)) return false;
    const int word = v[1] << 8 | v[0];
    const bool result = word == vendor;
    if (survey) {
        if (word != 0xFFFF && word != 0x0000)
            Found(Format("Unknown Winbond2=$%.4x ID=$%.2x on %s at $%.2x", {word, id, link->DisplayName(), address}));
    } else if (result) {
        Found(Format("%s (ID=$%.2x) found on %s at $%.2x", {name, chipId, link->DisplayName(), address}));
    }
    return result;
}

bool TDetectionEngine::ProbeWinbondChipId(int linkIndex, std::uint32_t address, const std::string& name,
                                          std::uint8_t chipId, std::uint16_t vendor) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::uint8_t id = 0;
    if (!Read(*link, address, 0x58, id) || id != chipId) return false;
    std::array<std::uint8_t, 2> v{};
    if (!ReadAll(*link, address, std::array<std::uint8_t, 2>{0x4F, 0x4E}, v)) return false;
    if ((v[1] << 8 | v[0]) != vendor) return false;
    Found(Format("%s (ID=$%.2x) found on %s at $%.2x", {name, chipId, link->DisplayName(), address}));
    return true;
}

// ---- vendor, id and revision signatures -----------------------------------------

namespace {

// What one signature read, judged: Matches without the vendor test, and the
// vendor test alone; the bytes of the survey line and the id of the found line.
struct TSignatureOutcome {
    bool Matches;
    bool VendorMatches;
    std::uint8_t SurveyVendor, SurveyId, ShownId;
};

bool Conclude(const TDetectionEngine& engine, const TLink& link, std::uint32_t address, bool survey,
              const char* family, const std::string& name, const TSignatureOutcome& o) {
    if (survey) {
        if (!Blank(o.SurveyVendor, o.SurveyId))
            engine.Found(Format("Unknown %s Vendor=$%.2x ID=$%.2x on %s at $%.2x",
                                {family, o.SurveyVendor, o.SurveyId, link.DisplayName(), address}));
        return o.Matches;
    }
    const bool found = o.Matches && o.VendorMatches;
    if (found) engine.Found(Format("%s (ID=$%.2x) found on %s at $%.2x", {name, o.ShownId, link.DisplayName(), address}));
    return found;
}

// Runs a signature: reads Regs in order under the bus access, then judges.
template <std::size_t N, class Judge>
bool RunSignature(const TDetectionEngine& engine, int linkIndex, std::uint32_t address, bool survey,
                  const char* family, const std::string& name, const std::array<std::uint8_t, N>& regs,
                  Judge judge) {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, N> v{};
    if (!ReadAll(*link, address, regs, v)) return false;
    return Conclude(engine, *link, address, survey, family, name, judge(*link, v));
}

template <class... Regs>
constexpr auto RegList(Regs... regs) {
    return std::array<std::uint8_t, sizeof...(Regs)>{static_cast<std::uint8_t>(regs)...};
}

}  // namespace

bool TDetectionEngine::ProbeADM1(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t vendor, std::uint8_t id) const {
    return RunSignature(*this, linkIndex, address, survey, "ADM1", name, RegList(0x3E, 0x3F),
                        [&](const TLink&, const auto& v) {
                            return TSignatureOutcome{v[1] == id, v[0] == vendor, v[0], v[1], id};
                        });
}

bool TDetectionEngine::ProbeADM2(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t statusMask, std::uint8_t vendor, std::uint8_t revisionHigh,
                                 bool anyHigh, std::uint8_t revisionLow, bool anyLow) const {
    return RunSignature(*this, linkIndex, address, survey, "ADM2", name, RegList(0x02, 0xFE, 0xFF),
                        [&](const TLink&, const auto& v) {
                            const bool matches = (v[0] & statusMask) == 0 &&
                                                 NibblesMatch(v[2], revisionHigh, anyHigh, revisionLow, anyLow);
                            return TSignatureOutcome{matches, v[1] == vendor, v[1], v[2], revisionHigh};
                        });
}

bool TDetectionEngine::ProbeADM3(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t vendor, std::uint8_t id) const {
    return RunSignature(*this, linkIndex, address, survey, "ADM3", name, RegList(0x16, 0x17),
                        [&](const TLink&, const auto& v) {
                            return TSignatureOutcome{v[1] == id, v[0] == vendor, v[0], v[1], id};
                        });
}

bool TDetectionEngine::ProbeADM4(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t vendor) const {
    return RunSignature(*this, linkIndex, address, survey, "ADM4", name, RegList(0x40, 0x48, 0x3E, 0x3F),
                        [&](const TLink& link, const auto& v) {
                            const bool matches = (v[0] & 0x80) == 0 &&
                                                 (v[1] == address || link.LinkKind() == LinkKinds::ISA);
                            return TSignatureOutcome{matches, v[2] == vendor, v[2], v[3], v[3]};
                        });
}

bool TDetectionEngine::ProbeADM5(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t configRegister, std::uint8_t configMask, std::uint8_t vendor,
                                 std::uint8_t revisionHigh, bool anyHigh, std::uint8_t revisionLow,
                                 bool anyLow) const {
    return RunSignature(*this, linkIndex, address, survey, "ADM5", name, RegList(configRegister, 0x3E, 0x3F),
                        [&](const TLink&, const auto& v) {
                            const bool matches = (v[0] & configMask) == 0 &&
                                                 NibblesMatch(v[2], revisionHigh, anyHigh, revisionLow, anyLow);
                            return TSignatureOutcome{matches, v[1] == vendor, v[1], v[2], v[2]};
                        });
}

bool TDetectionEngine::ProbeADM6(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t statusRegister, std::uint8_t statusMask, std::uint8_t vendor,
                                 std::uint8_t deviceId, std::uint8_t revisionMask, std::uint8_t revisionValue) const {
    return RunSignature(*this, linkIndex, address, survey, "ADM6", name, RegList(statusRegister, 0x3E, 0x3D, 0x3F),
                        [&](const TLink&, const auto& v) {
                            const bool matches =
                                (v[0] & statusMask) == 0 && v[2] == deviceId && (v[3] & revisionMask) == revisionValue;
                            return TSignatureOutcome{matches, v[1] == vendor, v[1], v[2], v[2]};
                        });
}

bool TDetectionEngine::ProbeADM7(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t manufacturer, std::uint8_t deviceId, std::uint8_t revisionMask,
                                 std::uint8_t revisionValue) const {
    return RunSignature(*this, linkIndex, address, survey, "ADM7", name, RegList(0x4E, 0x4D, 0x4F),
                        [&](const TLink&, const auto& v) {
                            const bool matches = v[1] == deviceId && (v[2] & revisionMask) == revisionValue;
                            return TSignatureOutcome{matches, v[0] == manufacturer, v[0], v[1], v[1]};
                        });
}

bool TDetectionEngine::ProbeSMSC(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                                 std::uint8_t manufacturer, std::uint8_t productId, std::uint8_t revisionMask,
                                 std::uint8_t revisionValue) const {
    return RunSignature(*this, linkIndex, address, survey, "SMSC", name, RegList(0xFE, 0xFD, 0xFF),
                        [&](const TLink&, const auto& v) {
                            const bool matches = v[1] == productId && (v[2] & revisionMask) == revisionValue;
                            return TSignatureOutcome{matches, v[0] == manufacturer, v[0], v[1], v[1]};
                        });
}

bool TDetectionEngine::ProbeADM1026(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 2> v{};
    if (!ReadAll(*link, address, RegList(0x16, 0x17), v) || v[0] != 0x41 || (v[1] & 0xF0) != 0x40) return false;
    Found(Format("%s (rev $%.2x) found on %s at $%.2x", {"ADM1026", v[1] & 0x0F, link->DisplayName(), address}));
    return true;
}

bool TDetectionEngine::ProbeChipIdRev(int linkIndex, std::uint32_t address, const std::string& name,
                                      std::uint8_t revision, std::uint8_t id) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 2> v{};
    if (!ReadAll(*link, address, RegList(0x20, 0x21), v) || v[0] != id || (v[1] & 0xF0) != (revision & 0xF0))
        return false;
    Found(Format("%s (rev $%.2x) found on %s at $%.2x", {name, v[1] & 0x0F, link->DisplayName(), address}));
    return true;
}

bool TDetectionEngine::ProbeMTP008(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 3> v{};
    if (!ReadAll(*link, address, RegList(0x58, 0x40, 0x48), v)) return false;
    if (v[0] != 0xAC || (v[1] & 0x80) || !(v[2] == address || link->LinkKind() == LinkKinds::ISA)) return false;
    Found(Format("MTP008 found on %s at $%.2x", {link->DisplayName(), address}));
    return true;
}

bool TDetectionEngine::ProbeMAX1617(int linkIndex, std::uint32_t address, const std::string& name) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    struct Check {
        std::uint8_t Reg;
        const char* Line;
        bool (*Passes)(std::uint8_t);
    };
    static const Check checks[] = {
        {0x03, "MAX1617 configuration byte=$%.2x ($%.2x)", [](std::uint8_t v) { return (v & 0x3F) == 0; }},
        {0x04, "MAX1617 conversion rate=$%.2x ($%.2x)", [](std::uint8_t v) { return v >= 1 && v <= 7; }},
        {0x02, "MAX1617 status byte=$%.2x ($%.2x)", [](std::uint8_t v) { return (v & 0x03) == 0; }},
    };
    for (const Check& check : checks) {
        std::uint8_t value = 0;
        if (!Read(*link, address, check.Reg, value)) return false;
        Debug(Format(check.Line, {value, address}), 0);
        if (!check.Passes(value)) return false;
    }
    Found(Format("%s found on %s at $%.2x", {name, link->DisplayName(), address}));
    return true;
}

bool TDetectionEngine::ProbeLIS331DL(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 2> v{};
    if (!ReadAll(*link, address, RegList(0x0F, 0x8F), v) || v[0] != 0x3B || v[1] != 0x3B) return false;
    Found(Format("LIS331DL found on %s at $%.2x", {link->DisplayName(), address}));
    return true;
}

// ---- Fintek ------------------------------------------------------------------

namespace {

constexpr auto FintekIdRegs = RegList(0x5A, 0x5B, 0x5C, 0x5D, 0x5E);

bool IsFintek0304(const std::array<std::uint8_t, 5>& v) {
    return v[0] == 0x03 && v[1] == 0x04 && v[3] == 0x19 && v[4] == 0x34;
}

}  // namespace

bool TDetectionEngine::ProbeFintekID(int linkIndex, std::uint32_t address, const std::string& name,
                                     bool checkVersion, std::uint8_t idHigh, std::uint8_t idLow,
                                     std::uint8_t version, std::uint8_t vendorHigh, std::uint8_t vendorLow) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 5> v{};
    if (!ReadAll(*link, address, FintekIdRegs, v)) return false;
    if (v[0] != idHigh || v[1] != idLow || v[3] != vendorHigh || v[4] != vendorLow) return false;
    if (checkVersion && v[2] != version) return false;
    Found(Format("%s found on %s at $%.2x", {name, link->DisplayName(), address}));
    return true;
}

bool TDetectionEngine::ProbeF71872F(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 5> v{};
    if (!ReadAll(*link, address, FintekIdRegs, v) || !IsFintek0304(v) || (v[2] != 0x10 && v[2] != 0x11)) return false;
    std::uint8_t config = 0;
    if (!Read(*link, address, 0x00, config) || (config & 0x80)) return false;
    Found(Format("F71872F found on %s at $%.2x", {link->DisplayName(), address}));
    return true;
}

bool TDetectionEngine::ProbeF71882OrF71889F(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 5> v{0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    bool found = ReadAll(*link, address, FintekIdRegs, v) && IsFintek0304(v) && v[2] == 0x10;
    std::uint8_t config = 0;
    found = found && Read(*link, address, 0x00, config) && (config & 0x80);
    if (found) WriteDebugLog(Format("F71882F or F71889F found on %s at $%.2x", {link->DisplayName(), address}));
    WriteDebugLog(Format("F71882F or F71889F check found $%.2x $%.2x $%.2x $%.2x $%.2x", {v[0], v[1], v[2], v[3], v[4]}));
    return found;
}

std::uint8_t TDetectionEngine::ProbeF7188xFamily(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return 1;
    TAccessGuard guard(*link);
    if (!ProbeF71882OrF71889F(linkIndex, address)) return 1;
    const std::string on = link->DisplayName();
    if (RunAllOnes(*link, address, 0xE0, 0xEF)) {
        Found(Format("F71882F found on %s at $%.2x", {on, address}));
        return 186;
    }
    if (!RunAllOnes(*link, address, 0xD0, 0xDF)) return 1;
    const char* name = RunAllOnes(*link, address, 0x40, 0x4F) ? "F71889A" : "F71889F";
    Found(Format("%s found on %s at $%.2x", {name, on, address}));
    return 197;
}

bool TDetectionEngine::ProbeSuperIOConfirmed(int linkIndex, std::uint32_t address, std::uint8_t chipCode,
                                             const char* name) const {
    TLink* link = LinkAt(linkIndex);
    if (!link || !IsISAAtBase(*link, address) || SuperIOInfo.ChipCode != chipCode) return false;
    Found(Format("%s found on %s at $%.2x", {name, link->DisplayName(), address}));
    return true;
}

bool TDetectionEngine::ProbeF71811U(int linkIndex, std::uint32_t address) const {
    return ProbeSuperIOConfirmed(linkIndex, address, 233, "F71811U");
}
bool TDetectionEngine::ProbeF71878A(int linkIndex, std::uint32_t address) const {
    return ProbeSuperIOConfirmed(linkIndex, address, 235, "F71878A");
}
bool TDetectionEngine::ProbeF71809(int linkIndex, std::uint32_t address) const {
    return ProbeSuperIOConfirmed(linkIndex, address, 195, "F71809");
}
bool TDetectionEngine::ProbeF71869AD(int linkIndex, std::uint32_t address) const {
    return ProbeSuperIOConfirmed(linkIndex, address, 223, "F71869AD");
}

// ---- JEDEC JC-42.4 -------------------------------------------------------------

std::uint8_t TDetectionEngine::ProbeJedecJC424(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return 1;
    std::array<std::uint16_t, 8> regs{};
    std::string dump;
    {
        TAccessGuard guard(*link);
        for (std::size_t reg = 0; reg < regs.size(); ++reg) {
            std::uint16_t value = 0;
            const bool read = link->ReadWordData(Bus(address), static_cast<std::uint8_t>(reg), value);
            regs[reg] = read ? value : 0xA596;
            dump += read ? Format(" %.4x", {regs[reg]}) : std::string(" ----");
        }
    }
    Debug(Format("ProbeJedecJC424 on %s at $%.2x : %s", {link->DisplayName(), address, dump}), 0);
    for (const TChipData& chip : JedecChips) {
        if (chip.Manufacturer == regs[6] && (regs[7] & chip.DeviceMask) == chip.Device) {
            Found(Format("%s (ID=$%.4x) found on %s at $%.2x", {chip.Name, regs[7], link->DisplayName(), address}));
            return chip.ChipCode;
        }
    }
    return 1;
}

// ---- vendor 5CA3h, chip id C1h -----------------------------------------------------

std::uint8_t TDetectionEngine::IdentifyWinbondByRegisters(TLink& link, std::uint32_t address) const {
    TAccessGuard guard(link);
    Write(link, address, 0x4E, ReadUnchecked(link, address, 0x4E) & 0xF0);
    if (!RunAnswers(link, address, 0x70, 0x7F)) return 30;
    const std::uint8_t cf = ReadUnchecked(link, address, 0xCF);
    if (cf != 0x5C && cf != 0xA3) return 52;
    return RunAnswers(link, address, 0x63, 0x67) ? 50 : 51;
}

std::uint8_t TDetectionEngine::ProbeWinbond5CA3(int linkIndex, std::uint32_t address) const {
    TLink* link = LinkAt(linkIndex);
    if (!link) return 1;
    static constexpr std::uint8_t superIOCodes[] = {30, 31, 48, 50, 51, 52, 229, 230, 231, 234};
    std::uint8_t bySuperIO = 1;
    for (std::uint8_t code : superIOCodes) {
        if (SuperIOInfo.ChipCode == code) bySuperIO = code;
    }
    const std::uint8_t byRegisters =
        ProbeWinbondType1(linkIndex, address, "", 0xC1, 0x5CA3) ? IdentifyWinbondByRegisters(*link, address) : 1;
    if (bySuperIO == 1 && byRegisters == 1) return 1;
    std::uint8_t result = byRegisters;
    const char* using_ = "registers";
    if (bySuperIO > 1) {
        bool validated = false;
        const std::uint32_t base = link->BaseAddress();
        if (link->LinkKind() == LinkKinds::ISA) {
            validated = base == address;
            Debug(Format(validated ? "INFO: Winbond($5CA3,$C1) - $%.4x=$%.4x - Address validated OK"
                                   : "INFO: Winbond($5CA3,$C1) - $%.4x<>$%.4x - Address validated KO",
                         {base, address}),
                  0);
        } else if (link->LinkKind() == LinkKinds::SMBus) {
            Debug(Format("WARNING: Winbond($5CA3,$C1) - unable to validate addresses $%.4x and $%.4x", {base, address}),
                  0);
        }
        if (!validated) return 1;
        result = bySuperIO;
        using_ = "SuperIO";
        if (byRegisters > 1 && byRegisters != bySuperIO)
            Found(Format("WARNING: bad Winbond($5CA3,$C1) identify (%s,%s)",
                         {WinbondChipName(bySuperIO), WinbondChipName(byRegisters)}));
    }
    Found(Format("%s (ID=$%.2x) found (using %s) on %s at $%.2x",
                 {WinbondChipName(result), 0xC1, using_, link->DisplayName(), address}));
    return result;
}

// ---- IPMI FRU ----------------------------------------------------------------------

namespace {

constexpr std::string_view BcdPlusChars = "0123456789 -.???";

char PackedAsciiChar(int value) { return static_cast<char>(0x20 + (value & 0x3F)); }

}  // namespace

std::string TDetectionEngine::DecodeFRUField(const TFRUArea& area, int& pos) {
    const int end = std::min(area.Length, static_cast<int>(area.Bytes.size()));
    if (pos < 0 || pos >= end) {
        pos = end;
        return {};
    }
    const std::uint8_t typeLength = area.Bytes[static_cast<std::size_t>(pos)];
    const int length = typeLength & 0x3F;
    const int first = pos + 1;
    const int last = std::min(first + length, end);  // bounded by the area
    pos = first + length;
    std::string text;
    auto byte = [&](int i) { return area.Bytes[static_cast<std::size_t>(i)]; };
    switch (typeLength >> 6) {
        case 1:
            for (int i = first; i < last; ++i) {
                text += BcdPlusChars[byte(i) >> 4];
                text += BcdPlusChars[byte(i) & 0x0F];
            }
            break;
        case 2: {
            const int bits = (last - first) * 8;
            for (int bit = 0; bit + 6 <= bits; bit += 6) {
                int value = 0;
                for (int k = 0; k < 6; ++k) {
                    const int at = bit + k;
                    value |= ((byte(first + at / 8) >> (at % 8)) & 1) << k;
                }
                text += PackedAsciiChar(value);
            }
            break;
        }
        default:
            for (int i = first; i < last; ++i) text += static_cast<char>(byte(i));
            break;
    }
    return text;
}

bool TDetectionEngine::ReadFRUArea(TLink& link, std::uint32_t address, int offset, TFRUArea& area) const {
    area = {};
    std::uint8_t version = 0;
    std::uint8_t length = 0;
    if (!Read(link, address, static_cast<std::uint8_t>(offset), version) ||
        !Read(link, address, static_cast<std::uint8_t>(offset + 1), length))
        return false;
    const int size = length * 8;
    // An area may end at byte 255, the last of the EEPROM's 256.
    if (size < 2 || offset + size - 1 > 255) return false;
    area.Bytes[0] = version;
    area.Bytes[1] = length;
    for (int i = 2; i < size; ++i) {
        if (!Read(link, address, static_cast<std::uint8_t>(offset + i), area.Bytes[static_cast<std::size_t>(i)]))
            return false;
    }
    area.Length = size;
    return true;
}

namespace {

void ReadCustomFields(const TFRUArea& area, int pos, std::vector<std::string>& custom) {
    while (pos < std::min(area.Length, 255) && area.Bytes[static_cast<std::size_t>(pos)] != 0xC1)
        custom.push_back(TDetectionEngine::DecodeFRUField(area, pos));
}

}  // namespace

void TDetectionEngine::DecodeFRUBoard(const TFRUArea& area, TIPMIFRU& fru) const {
    auto& board = fru.Board;
    board.Present = 1;
    board.Language = area.Bytes[2];
    const int minutes = area.Bytes[3] | area.Bytes[4] << 8 | area.Bytes[5] << 16;
    board.MfgDateTime = EncodeDateTime({1996, 1, 1, 0, 0, 0, 0}) + minutes / 1440.0;
    int pos = 6;
    for (std::string* field :
         {&board.Manufacturer, &board.ProductName, &board.SerialNumber, &board.PartNumber, &board.FRUFileId})
        *field = DecodeFRUField(area, pos);
    ReadCustomFields(area, pos, board.Custom);
    Debug("  Board Info", 0);
    Debug(Format("    Mfg Date=%s",
                 {FormatDateTime("yyyymmdd hhnn", board.MfgDateTime, platform::current().locale())}),
          0);
    Debug(Format("    Manufacturer=%s", {board.Manufacturer}), 0);
    Debug(Format("    Product Name=%s", {board.ProductName}), 0);
    Debug(Format("    Serial Number=%s", {board.SerialNumber}), 0);
    Debug(Format("    Part Number=%s", {board.PartNumber}), 0);
}

void TDetectionEngine::DecodeFRUProduct(const TFRUArea& area, TIPMIFRU& fru) const {
    auto& product = fru.Product;
    product.Present = 1;
    product.Language = area.Bytes[2];
    int pos = 3;
    for (std::string* field : {&product.Manufacturer, &product.ProductName, &product.PartModelNumber,
                               &product.Version, &product.SerialNumber, &product.AssetTag, &product.FRUFileId})
        *field = DecodeFRUField(area, pos);
    ReadCustomFields(area, pos, product.Custom);
    Debug("  Product Info", 0);
    Debug(Format("    Language Code=%d", {product.Language}), 0);
    Debug(Format("    Manufacturer=%s", {product.Manufacturer}), 0);
    Debug(Format("    Product Name=%s", {product.ProductName}), 0);
    Debug(Format("    Part/Model Number=%s", {product.PartModelNumber}), 0);
    Debug(Format("    Version=%s", {product.Version}), 0);
    Debug(Format("    Serial Number=%s", {product.SerialNumber}), 0);
    Debug(Format("    Asset Tag=%s", {product.AssetTag}), 0);
}

bool TDetectionEngine::ProbeIPMIFRU(int linkIndex, std::uint32_t address, TIPMIFRU& fru) const {
    fru = {};
    TLink* link = LinkAt(linkIndex);
    if (!link) return false;
    TAccessGuard guard(*link);
    std::array<std::uint8_t, 8> header{};
    if (!Read(*link, address, 6, header[6]) || header[6] != 0x00) return false;
    if (!Read(*link, address, 0, header[0]) || header[0] >= 0x10) return false;
    for (std::uint8_t i : {1, 2, 3, 4, 5, 7}) header[i] = ReadUnchecked(*link, address, i);
    unsigned sum = 0;
    for (std::uint8_t b : header) sum += b;
    if (sum % 256 != 0) return false;
    Debug(Format("IPMI FRU found on %s at $%.2x", {link->DisplayName(), address}), 0);
    fru.FormatVersion = header[0] & 0x0F;
    auto inRange = [](std::uint8_t offset) { return offset >= 1 && offset <= 31; };
    TFRUArea area;
    if (inRange(header[2]) && ReadFRUArea(*link, address, header[2] * 8, area)) {
        auto& chassis = fru.Chassis;
        chassis.Present = 1;
        chassis.ChassisType = static_cast<std::uint8_t>(area.Bytes[2] - 1);
        int pos = 3;
        chassis.PartNumber = DecodeFRUField(area, pos);
        chassis.SerialNumber = DecodeFRUField(area, pos);
        ReadCustomFields(area, pos, chassis.Custom);
    }
    if (inRange(header[3]) && ReadFRUArea(*link, address, header[3] * 8, area)) DecodeFRUBoard(area, fru);
    if (inRange(header[4]) && ReadFRUArea(*link, address, header[4] * 8, area)) DecodeFRUProduct(area, fru);
    // The multi-record area is read and left undecoded.
    if (inRange(header[5])) ReadFRUArea(*link, address, header[5] * 8, area);
    return true;
}

// ---- ATK0110 -------------------------------------------------------------------------

std::uint8_t TDetectionEngine::ProbeATK0110() const {
    constexpr std::uint8_t ATK0110Code = 217;
    Log("ProbeATK0110 is starting...", 0);
    const std::string objectName = FindATK0110();
    const bool found = !objectName.empty() && DriverHas(&TIOPort::CanEvalACPI) && EvaluateMBIF(objectName);
    Log("End of ACPI devices scanning", 0);
    Log("End of ProbeATK0110", 0);
    return found ? ATK0110Code : 1;
}

std::string TDetectionEngine::FindATK0110() const {
    Log("About to scan ACPI devices...", 0);
    std::string objectName;
    try {
        TSDDevices devices;
        devices.Enumerator = "ACPI";
        devices.PresentOnly = false;
        devices.DeviceInterface = false;
        devices.Scan();
        devices.OutputListOfDevices(false);
        for (int i = 0; i < devices.Count(); ++i) {
            const TSDDevice device = devices.GetDevice(i);
            if (!TextContains(device.HardwareID, "acpi\\atk0110")) continue;
            objectName = PdoObjectName(device);
            Log(Format("Found ATK0110 -> %s (%s)", {device.PhysicalDeviceObject, objectName}), 0);
        }
    } catch (const std::exception& e) {
        Log(Format("Error scanning ACPI devices (%s)", {e.what()}), 0);
    }
    return objectName;
}

bool TDetectionEngine::EvaluateMBIF(const std::string& objectName) const {
    const std::string path = platform::drv::NamespacePrefix + objectName;
    const auto opened = platform::current().openDevice(path);
    if (!opened.device) {
        Log(Format("Unable to open %s (error $%.8x)", {path, opened.error}), 0);
        return false;
    }
    try {
        TAcpiVariantArray results;
        EVAL(opened.device.get(), "MBIF", {}, results, nullptr, false);
        for (std::size_t i = 0; i < results.size(); ++i)
            Log(Format("  Returned argument[%d]=%s (%s)",
                       {static_cast<int>(i), results[i].AsText(), VariantTypeName(results[i].VarType())}),
                0);
        std::string board = "<unknown>";
        if (results.size() > 1) {
            board = results[1].AsText();
            Log(Format("  Motherboard is <%s>", {board}), 0);
        }
        Found(Format("ATK0110 (MB=%s) found on ACPI", {board}));
        return true;
    } catch (const std::exception& e) {
        Log(Format("Error executing ACPI method MBIF (%s)", {e.what()}), 0);
        return false;
    }
}
