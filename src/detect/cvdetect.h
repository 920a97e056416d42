#pragma once
// The identification probes that tell which monitoring chip answers at a bus
// address. A probe reads identification registers through one link of the
// global list, reports what it saw through three outputs and answers a
// Boolean or a chip code (1: nothing found). It adds no sensor itself.

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/cvdatetime.h"

class TLink;
class TLogSinks;

// One JC-42.4 temperature sensor model: manufacturer (register 6) and device
// (register 7 under the mask).
struct TChipData {
    std::uint16_t Manufacturer;
    std::uint16_t Device;
    std::uint16_t DeviceMask;
    const char* Name;
    std::uint8_t ChipCode;
};
extern const std::array<TChipData, 13> JedecChips;

// The decoded content of an IPMI FRU EEPROM.
struct TIPMIFRU {
    std::uint8_t FormatVersion = 0;
    struct {
        std::uint8_t Present = 0;
        std::uint8_t ChassisType = 0;
        std::string PartNumber, SerialNumber;
        std::vector<std::string> Custom;
    } Chassis;
    struct {
        std::uint8_t Present = 0;
        std::uint32_t Language = 0;
        TDateTime MfgDateTime = 0;
        std::string Manufacturer, ProductName, SerialNumber, PartNumber, FRUFileId;
        std::vector<std::string> Custom;
    } Board;
    struct {
        std::uint8_t Present = 0;
        std::uint32_t Language = 0;
        std::string Manufacturer, ProductName, PartModelNumber, Version, SerialNumber, AssetTag, FRUFileId;
        std::vector<std::string> Custom;
    } Product;
};

// One FRU area as read: 256 bytes, of which Length are the area's own.
struct TFRUArea {
    std::array<std::uint8_t, 256> Bytes{};
    int Length = 0;
};

// Holds a link's bus access for one probe, released on every path.
class TAccessGuard {
public:
    explicit TAccessGuard(TLink& link);
    ~TAccessGuard();
    TAccessGuard(const TAccessGuard&) = delete;
    TAccessGuard& operator=(const TAccessGuard&) = delete;

private:
    TLink& link_;
};

// A register read whose success a probe does not test: a failure counts as
// FFh, what a floating bus answers.
std::uint8_t ReadUnchecked(TLink& link, std::uint32_t address, std::uint8_t reg);

// The name of a vendor-5CA3h chip code ("<not found>" for 1).
std::string WinbondChipName(std::uint8_t chipCode);

class TDetectionEngine {
public:
    using TDebugOutput = std::function<void(const std::string& msg, std::uint8_t flag)>;
    using TFoundOutput = std::function<void(const std::string& msg)>;
    using TLogOutput = std::function<void(const std::string& msg, int level)>;

    TDetectionEngine(TDebugOutput debug, TFoundOutput found, TLogOutput log);
    // Bound by role to the window's sinks: debug to the untraced boxes, found
    // to both boxes, log to the trace.
    static TDetectionEngine ForSinks(TLogSinks& sinks);

    void Debug(const std::string& msg, std::uint8_t flag) const;
    void Found(const std::string& msg) const;
    void Log(const std::string& msg, int level) const;
    // True the first time a key is noted in this detection run: for lines
    // written once per run.
    bool NoteOnce(std::string_view key);

    // ---- Winbond bank-switched vendor words
    // An empty name writes no found line.
    bool ProbeWinbondType1(int linkIndex, std::uint32_t address, const std::string& name, std::uint8_t chipId,
                           std::uint16_t vendor) const;
    bool ProbeWinbondType2(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                           std::uint8_t chipId, std::uint16_t vendor) const;
    bool ProbeWinbondType3(int linkIndex, std::uint32_t address, bool survey, const std::string& name, bool bank0,
                           bool revision, std::uint8_t expectedRevision, std::uint8_t chipId,
                           std::uint16_t vendor) const;
    bool ProbeWinbondType4(int linkIndex, std::uint32_t address, bool survey, const std::string& name, bool bank0,
                           bool revision, std::uint8_t expectedRevision, std::uint8_t chipId,
                           std::uint16_t vendor) const;
    bool ProbeWinbondChipId(int linkIndex, std::uint32_t address, const std::string& name, std::uint8_t chipId,
                            std::uint16_t vendor) const;

    // ---- vendor, id and revision signatures; survey mode drops the vendor
    // test and lists what answers as "Unknown ..."
    bool ProbeADM1(int linkIndex, std::uint32_t address, bool survey, const std::string& name, std::uint8_t vendor,
                   std::uint8_t id) const;
    bool ProbeADM2(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                   std::uint8_t statusMask, std::uint8_t vendor, std::uint8_t revisionHigh, bool anyHigh,
                   std::uint8_t revisionLow, bool anyLow) const;
    bool ProbeADM3(int linkIndex, std::uint32_t address, bool survey, const std::string& name, std::uint8_t vendor,
                   std::uint8_t id) const;
    bool ProbeADM4(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                   std::uint8_t vendor) const;
    bool ProbeADM5(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                   std::uint8_t configRegister, std::uint8_t configMask, std::uint8_t vendor,
                   std::uint8_t revisionHigh, bool anyHigh, std::uint8_t revisionLow, bool anyLow) const;
    bool ProbeADM6(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                   std::uint8_t statusRegister, std::uint8_t statusMask, std::uint8_t vendor, std::uint8_t deviceId,
                   std::uint8_t revisionMask, std::uint8_t revisionValue) const;
    bool ProbeADM7(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                   std::uint8_t manufacturer, std::uint8_t deviceId, std::uint8_t revisionMask,
                   std::uint8_t revisionValue) const;
    bool ProbeSMSC(int linkIndex, std::uint32_t address, bool survey, const std::string& name,
                   std::uint8_t manufacturer, std::uint8_t productId, std::uint8_t revisionMask,
                   std::uint8_t revisionValue) const;
    bool ProbeADM1026(int linkIndex, std::uint32_t address) const;
    bool ProbeChipIdRev(int linkIndex, std::uint32_t address, const std::string& name, std::uint8_t revision,
                        std::uint8_t id) const;
    bool ProbeMTP008(int linkIndex, std::uint32_t address) const;
    bool ProbeMAX1617(int linkIndex, std::uint32_t address, const std::string& name) const;
    bool ProbeLIS331DL(int linkIndex, std::uint32_t address) const;

    // ---- Fintek
    bool ProbeFintekID(int linkIndex, std::uint32_t address, const std::string& name, bool checkVersion,
                       std::uint8_t idHigh, std::uint8_t idLow, std::uint8_t version, std::uint8_t vendorHigh,
                       std::uint8_t vendorLow) const;
    bool ProbeF71872F(int linkIndex, std::uint32_t address) const;
    bool ProbeF71882OrF71889F(int linkIndex, std::uint32_t address) const;
    std::uint8_t ProbeF7188xFamily(int linkIndex, std::uint32_t address) const;
    // ISA confirmations of the Super I/O identification; they read nothing.
    bool ProbeF71811U(int linkIndex, std::uint32_t address) const;
    bool ProbeF71878A(int linkIndex, std::uint32_t address) const;
    bool ProbeF71809(int linkIndex, std::uint32_t address) const;
    bool ProbeF71869AD(int linkIndex, std::uint32_t address) const;

    // ---- chip-code probes
    std::uint8_t ProbeJedecJC424(int linkIndex, std::uint32_t address) const;
    std::uint8_t ProbeWinbond5CA3(int linkIndex, std::uint32_t address) const;

    // ---- ACPI: 217 when the ATK0110 device answers its MBIF method, else 1
    std::uint8_t ProbeATK0110() const;

    // ---- IPMI FRU EEPROM
    bool ProbeIPMIFRU(int linkIndex, std::uint32_t address, TIPMIFRU& fru) const;
    // One type/length byte and its data at Pos, never past the area's end;
    // Pos moves past the field.
    static std::string DecodeFRUField(const TFRUArea& area, int& pos);

private:
    // The object name of the last ATK0110 in the ACPI device list; empty when none.
    std::string FindATK0110() const;
    bool EvaluateMBIF(const std::string& objectName) const;
    bool ProbeSuperIOConfirmed(int linkIndex, std::uint32_t address, std::uint8_t chipCode,
                               const char* name) const;
    std::uint8_t IdentifyWinbondByRegisters(TLink& link, std::uint32_t address) const;
    bool ReadFRUArea(TLink& link, std::uint32_t address, int offset, TFRUArea& area) const;
    void DecodeFRUBoard(const TFRUArea& area, TIPMIFRU& fru) const;
    void DecodeFRUProduct(const TFRUArea& area, TIPMIFRU& fru) const;

    TDebugOutput debug_;
    TFoundOutput found_;
    TLogOutput log_;
    std::set<std::string, std::less<>> notes_;
};
