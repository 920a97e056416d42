#pragma once
// ITE Super I/O hardware monitors (the IT8712F family, the IT8620E and the
// IT8693F) on an ISA index/data pair or on an SMBus: one class, its
// per-chip registers chosen once from the chip table (cvitetables).

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "chips/cvitetables.h"
#include "core/cvsensors.h"

class TITSensor : public TSensor {
public:
    TITSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
              std::string boardVendor, std::string boardProduct, std::string systemProduct);
    // Gives back what construction changed: the IT8693F's banks, the
    // IT8702F's output modes.
    ~TITSensor() override;

    std::uint16_t GetReportedSMBus() override;
    std::uint8_t GetFanDivisor(std::uint8_t fan) override;
    bool SetFanDivisor(std::uint8_t fan, std::uint8_t code) override;

protected:
    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;

private:
    static constexpr int BankCount = 3;
    // Registers 51h-5Ch of one bank as saved; only 52h-56h and 59h-5Ch (and
    // bank 0's 51h) are kept, and a register that did not read stays empty.
    using TBankSave = std::array<std::optional<std::uint8_t>, 12>;

    std::optional<std::uint8_t> Read(std::uint8_t reg);
    bool Write(std::uint8_t reg, std::uint8_t value);
    // Answers the value 51h held (the output enables), none when the bank was not selected.
    std::optional<std::uint8_t> SelectBank(int bank);
    std::optional<double> ReadOutput(const ite::TOutput& output, std::uint8_t modes, std::uint8_t states);
    void ReadBankedOutputs(std::span<double> values);
    double SetBankedOutput(int bank, double percent);
    std::optional<double> BankedPercent(std::uint8_t enables, int bank);
    double SetGatedOutput(const ite::TOutput& output, double percent);
    std::optional<int> DivisorCode(std::uint8_t fan);
    bool Offers(int id) const;
    std::optional<int> ReadPropValue(int id);
    bool WritePropValue(int id, int option);
    bool WriteMode(const ite::TOutput& output, int mode);
    bool& EnableFlag(int id) { return id == 99 ? FPwm4Enable : FPwm5Enable; }

    void SetPwmModeOutputs();
    void SaveBanks();
    void RestoreBanks();

    const ite::TITChip* FRow = nullptr;
    std::array<TBankSave, BankCount> FBankRegs{};
    bool FPwm4Enable = false;
    bool FPwm5Enable = false;
    std::optional<std::uint8_t> FSavedModes;  // 13h before construction set the PWM modes
};
