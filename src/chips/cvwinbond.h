#pragma once
// Winbond W83xxx, Nuvoton NCT67xx/NCT6106D and Asus AS99127F/ASB100/MOZART-2
// hardware monitors, and the ADP3228 fan monitor, behind a Super I/O ISA base
// or on an SMBus: one class, its per-chip registers chosen once from the chip
// table (cvwinbondtables).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chips/cvwinbondtables.h"
#include "core/cvsensors.h"

class TWinbondSensor : public TSensor {
public:
    TWinbondSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                   std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // The caller brackets the access.
    void SelectBank(int bank);
    // 0 when the read fails.
    std::uint8_t ReadBankedByte(std::uint8_t reg, int bank);

    std::uint16_t GetReportedSMBus() override;
    std::uint8_t GetFanDivisor(std::uint8_t fan) override;
    bool SetFanDivisor(std::uint8_t fan, std::uint8_t code) override;
    std::string GetPropName(int index) override;

    bool IsaBaseUnused() const { return FIsaBaseUnused; }
    double VoltFactor(int i) const { return FVoltFactors[static_cast<std::size_t>(i)]; }
    double VoltOffset(int i) const { return FVoltOffsets[static_cast<std::size_t>(i)]; }

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
    std::string GetDebugInfoInternal() override;
    void ResumeFromSuspendInternal() override;

private:
    std::optional<std::uint8_t> Read(std::uint8_t reg);
    std::optional<std::uint8_t> ReadIn(int bank, std::uint8_t reg);
    bool Write(std::uint8_t reg, std::uint8_t value);
    std::uint8_t FlatPort(int offset);
    std::optional<double> HalfDegree(std::uint8_t high, std::uint8_t low);
    void ApplyPrefix(winbond::DivisorPrefix prefix);
    std::optional<std::uint8_t> DivisorCode(std::uint8_t fan);
    double DividedRpm(std::optional<std::uint8_t> count, int fan);
    std::optional<double> ReadPwmOutput(int index);
    // False when the outputs are not reached.
    bool EnterPwms(winbond::PwmEntry entry);
    void SwitchBank(winbond::BankSwitch banks, int bank);
    bool UsesFlatWindow(const winbond::TBankAccess& access) const;
    bool BanksUnreachable(const winbond::TBankAccess& access) const;
    // Switches only when the bank differs from the group's current one.
    void EnterBank(const winbond::TBankAccess& access, int& current, int bank);
    void LeaveBanks(const winbond::TBankAccess& access, int current);
    // The values a group's entry read once: its gates and shared low register.
    struct TGroupState {
        std::vector<std::pair<std::uint8_t, std::optional<std::uint8_t>>> gates;
        int sharedLowReg = -1;
        std::optional<std::uint8_t> sharedLow;
    };
    // None when the group reads nothing.
    std::optional<TGroupState> EnterGroup(const winbond::TBankAccess& access);
    // None when the gate register did not answer.
    static std::optional<bool> GateOpen(const TGroupState& group, const winbond::TInputGate& gate);
    // The shared value, or a read after the input's own.
    std::optional<std::uint8_t> LowRegister(const TGroupState& group, std::uint8_t reg);
    void ReadTempBytes(const winbond::TTempTable& table, std::span<double> values);
    void ReadFanCounts(const winbond::TFanTable& table, std::span<double> values);
    void ReadVoltBytes(const winbond::TVoltTable& table, std::span<double> values);
    // Null when the property has no register fields, or they are out of reach.
    const winbond::TPropRow* PropField(int id) const;
    std::optional<int> ReadPropValue(int id);
    bool WritePropValue(int id, int value);

    void ApplyFactorRow();
    void CorrectFactors();
    void CheckIsaBase();
    bool IsIsaBaseUnused(std::uint32_t address);
    void FixBoardVoltages();
    bool UsesSuperIOInfo() const;

    const winbond::TWinbondChip* FRow = nullptr;
    bool FIsaBaseUnused = false;
    std::array<double, 32> FVoltFactors{};
    std::array<double, 32> FVoltOffsets{};
    int FBankWidth = 3;
};

// x - 256 above 127.6, else x.
double WinbondSignedTemp(double x);
// 1350000 / (count x divisor); 0 for the counts 0 and 255.
double ByteToRPM(int count, int divisor);
// 1350000 / count; 0 for the counts 0, 4095, 8191 and 65535.
double WinbondRpm16(int count);
// "manual", or "Automatic on " and the names of the source bits.
std::string FanControlSourcesText(int value);
// "%.1f MHz" / "KHz" / "Hz" with the invariant decimal point.
std::string FormatPwmFrequency(double hertz);
// Equal in upper case to an entry of the list.
bool TextInList(const std::string& text, const std::vector<std::string>& list);
