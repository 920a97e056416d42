#pragma once
// The ATA disk sensors: a disk's temperature as its one reading, its
// S.M.A.R.T. pages and identity, and the two health ratings recomputed by
// every successful read. TSMARTSensor (code 13) reads through the system's
// S.M.A.R.T. codes; TAdvSMARTSensor (code 16) through the disk the search
// found. The RAID sensors derive from TSMARTSensor too.

#include <memory>
#include <optional>
#include <string>

#include "core/cvsensors.h"
#include "core/cvsmartdisk.h"
#include "disks/cvsmart.h"
#include "platform/diskctl.h"

class TSmartHardDisk;

// 0..1: the threshold rates 0, Fair 0.90, Good 0.97, Best 1.0, linear between.
double RateSmartValue(int value, int threshold, int good, int fair, int best);

struct TSmartRatings {
    double Fitness = 1.0;
    double Performance = 1.0;
};
TSmartRatings ComputeFitnessPerformance(const TSmartPage& attributes, const TSmartPage& thresholds);

// Raw byte 5 of the last entry with id 194, else 190, else 231; -1 without any.
double GetSMARTTemperature(const TSmartPage& attributes);

// IDENTIFY data for a disk that has none of its own (RAID members): the
// strings in ATA order and the words of a S.M.A.R.T.-capable ATA-3 drive of
// that many sectors.
void BuildIdentifyPage(TSmartPage& page, const std::string& model, const std::string& firmware,
                       const std::string& serial, std::uint64_t sectors);

class TSMARTSensor : public TSensor, public TSmartDisk {
public:
    static constexpr std::uint8_t ChipCode = 13;

    TSMARTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // Identity, then the first read; the overrides are in place by now.
    void AfterConstruction() override;

    // Clears both, reads them; on success keeps them and rates the drive.
    bool ReadSMART(TSmartPage& attributes, TSmartPage& thresholds);

    // TSmartDisk.
    std::optional<double> Fitness() const override;
    std::optional<double> Performance() const override;
    int GetDriveNumber() const override { return static_cast<int>(FAddress); }
    std::string NameText() const override { return FChipName; }
    std::span<const std::uint8_t> AttributePage() const override;
    std::span<const std::uint8_t> ThresholdPage() const override;
    std::string Model() const override { return FModel; }
    std::string Firmware() const override { return FFirmware; }
    std::string Serial() const override { return FSerial; }
    std::uint8_t LinkKind() const override;
    bool ReadSMART() override;

    const TSmartPage& IdentifyPage() const { return FIdentifyPage; }
    const platform::disk::DiskGeometry& Geometry() const { return FGeometry; }
    double SizeGB() const { return FSize; }

protected:
    struct TDriveInfo {
        std::string Name, Model, Serial, Firmware;
        double Size = 0;
        platform::disk::DiskGeometry Geometry{};
    };

    void ReadTempsInternal(std::span<double> values) override;
    virtual bool ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds);
    virtual void GetDriveInfo(TDriveInfo& info, TSmartPage& identify);

    std::string FModel, FFirmware, FSerial;
    double FSize = 0;

private:
    TSmartPage FAttributePage{};
    TSmartPage FThresholdPage{};
    TSmartPage FIdentifyPage{};
    platform::disk::DiskGeometry FGeometry{};
    std::optional<TSmartRatings> FRatings;  // none until the first successful read
};

class TAdvSMARTSensor : public TSMARTSensor {
public:
    static constexpr std::uint8_t ChipCode = 16;

    // Takes its disk from FoundDisks at the address and keeps it.
    TAdvSMARTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                    std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // "physicaldrive<n>" of the disk's path; the address for port paths.
    int GetDriveNumber() const override;
    TSmartHardDisk* Disk() const { return disk_.get(); }
    bool FoundBySearch() const override { return true; }
    std::uint8_t SelfTestStatus() const override;
    int StartSelfTest(int kind, bool captive) override;

protected:
    bool ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds) override;
    void GetDriveInfo(TDriveInfo& info, TSmartPage& identify) override;

private:
    std::shared_ptr<TSmartHardDisk> disk_;
};

// A drive behind a 3ware controller; the address is its index in the drive
// list of AMCCRaid.
class TThreeWareSensor : public TSMARTSensor {
public:
    static constexpr std::uint8_t ChipCode = 15;
    using TSMARTSensor::TSMARTSensor;

    void AfterConstruction() override;

protected:
    bool ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds) override;
    void GetDriveInfo(TDriveInfo& info, TSmartPage& identify) override;

private:
    int controllerNumber() const;
};

// A drive behind an Areca controller; the address holds the drive in bits
// 0-7 and the controller in bits 8-15.
class TArecaSensor : public TSMARTSensor {
public:
    static constexpr std::uint8_t ChipCode = 14;
    TArecaSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct);

    void AfterConstruction() override;

protected:
    bool ReadSMARTData(TSmartPage& attributes, TSmartPage& thresholds) override;
    void GetDriveInfo(TDriveInfo& info, TSmartPage& identify) override;

private:
    int controller_, drive_, enclosure_ = 0;
};

// The disk an advanced sensor reads (for self-tests); null for other sensors.
TSmartHardDisk* GetAdvSMARTHardDisk(const TSensor& sensor);
