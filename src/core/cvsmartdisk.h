#pragma once
// What the core reads of a disk sensor: its health ratings and its
// S.M.A.R.T. data pages. The disk sensors implement it beside TSensor.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

class TSensor;

// Sent by a disk sensor after each S.M.A.R.T. read, with itself as the disk.
using TSmartReadEvent = std::function<void(const TSensor& disk, int driveNumber, std::optional<double> fitness)>;

class TSmartDisk {
public:
    static constexpr int PageEntries = 30;
    static constexpr int EntrySize = 12;
    static constexpr int FirstEntry = 2;  // byte offset of entry 1 in a page
    // Byte offset of entry n (0-based) in a page.
    static constexpr std::size_t EntryOffset(int n) { return FirstEntry + static_cast<std::size_t>(n) * EntrySize; }

    virtual ~TSmartDisk() = default;
    // Fractions of 1; no value until the first successful read.
    virtual std::optional<double> Fitness() const = 0;
    virtual std::optional<double> Performance() const = 0;
    virtual int GetDriveNumber() const = 0;
    virtual std::string NameText() const = 0;
    // The attribute page (entries: id, flags (2 bytes), current value, worst
    // value, raw bytes) and the threshold page (entries: id, threshold), as
    // the disk answered them.
    virtual std::span<const std::uint8_t> AttributePage() const = 0;
    virtual std::span<const std::uint8_t> ThresholdPage() const = 0;
    // The drive's identity strings, as it reported them.
    virtual std::string Model() const = 0;
    virtual std::string Firmware() const = 0;
    virtual std::string Serial() const = 0;
    // The kind of the link the disk is read through (LinkKinds).
    virtual std::uint8_t LinkKind() const { return 0; }
    // Reads the pages again; a successful read sends OnSmartRead.
    virtual bool ReadSMART() { return false; }
    // A disk of the disk search, which can run self-tests.
    virtual bool FoundBySearch() const { return false; }
    // The self-test execution status byte of the disk's last attribute data.
    virtual std::uint8_t SelfTestStatus() const { return 0; }
    // 0 when the disk took the command.
    virtual int StartSelfTest(int /*kind*/, bool /*captive*/) { return -1; }

    // Set by the sensor factory right after construction.
    TSmartReadEvent OnSmartRead;
};

// Whether the sensor is read through a S.M.A.R.T. or RAID disk link, the
// disks whose health the mail and the report list.
bool IsDiskLink(const TSensor& sensor);
// A health fraction as a whole percent; "???" before the first read.
std::string HealthPercentText(std::optional<double> fraction);
