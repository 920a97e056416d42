#pragma once
// Simulated ATA disks and the paths that reach them: a physical drive (the
// S.M.A.R.T. codes, ATA pass-through, a USB bridge's SCSI pass-through), a
// SCSI miniport port, a 3ware controller and CSMI ports. Each disk answers
// as an ATA drive does, or with a SCSI target as a SCSI disk (INQUIRY, LOG
// SENSE) on its physical path; every request is recorded.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/diskctl.h"
#include "platform/platform.h"
#include "platform/sim/valuegenerator.h"

namespace platform::sim {

class Machine;

// What a disk or a path does instead of answering: fail `times` requests
// (-1: every one), vanish (does not open), time out on virtual time, or
// answer garbage.
struct SimDiskFault {
    enum class Kind : std::uint8_t { None, Fail, Vanish, Timeout, Garbage };
    Kind kind = Kind::None;
    int times = -1;
    // True when this request meets the fault (and counts it).
    bool strikes();
};

struct SimAttribute {
    std::uint8_t id = 0;
    std::uint16_t flags = 0;
    std::uint8_t value = 100;
    std::uint8_t worst = 100;
    std::uint64_t raw = 0;  // 48 bits
};

enum class SimChecksum : std::uint8_t { Auto, Bad, AllZero };

struct SimDiskSpec {
    std::string name;
    std::string model, firmware, serial;
    bool swappedStrings = false;  // stored with each pair swapped, as some drives do
    std::uint64_t sectors = 0;
    bool lba48 = false;
    std::optional<disk::DiskGeometry> geometry;
    std::map<int, std::uint16_t> identifyWords;     // over the built words
    std::optional<std::vector<std::uint8_t>> identifyBytes;  // replaces them
    std::uint16_t revision = 16;
    std::vector<SimAttribute> attributes;
    SimChecksum attributeChecksum = SimChecksum::Auto;
    std::vector<std::uint8_t> thresholds;  // by entry position
    SimChecksum thresholdChecksum = SimChecksum::Auto;
    ValueGenerator temperature;  // raw byte 0 of attribute 194 (else 190)
    bool refuseThresholds = false;
    bool refuseEnable = false;
    std::map<std::uint8_t, std::vector<std::uint8_t>> logs;  // by log address
    std::array<std::uint32_t, 3> selfTestSeconds = {120, 3600, 300};  // short, extended, conveyance
    SimDiskFault fault;

    struct Physical {
        int drive = 0;
        bool smartCodes = true;
        bool ataPassThrough = true;
        std::uint8_t driverError = 0x01;  // in the refusal's driver status
        std::uint8_t ideError = 0x04;
        std::optional<disk::Bridge> bridge;  // a USB bridge answering SCSI pass-through
        // The USB device in front of the disk, as WMI lists it.
        std::optional<std::uint16_t> usbVendor, usbProduct;
        bool fireWire = false;  // listed under a 1394 controller instead
    };
    struct Scsi {
        int port = 0;
        int target = 0;
    };
    struct ThreeWare {
        int drive = 0;
        int port = 0;
        std::uint16_t controllerId = 0;
    };
    struct Csmi {
        int port = 0;
        std::uint8_t phy = 0;
        std::array<std::uint8_t, 8> sasAddress{};
        std::uint8_t connectionStatus = 0;
        bool statusFisError = false;
        // The PHY's answer: the port's initiator protocols, the disk's target
        // protocols and the link rates (a SATA disk on a 3 Gb/s link).
        std::uint8_t initiatorProtocol = 0x07;
        std::uint8_t targetProtocol = 0x01;
        std::uint8_t negotiatedRate = 9, minimumRate = 0, maximumRate = 0;
    };
    // A SCSI or SAS disk on the physical path: INQUIRY and LOG SENSE.
    struct ScsiTarget {
        std::string vendor, product, revision, vendorSpecific;
        std::size_t inquiryLength = 96;  // bytes the INQUIRY answers
        // Whole pages as they come back, by the page asked for; page 0 is
        // built from them unless given.
        std::map<std::uint8_t, std::vector<std::uint8_t>> pages;
        std::map<std::uint8_t, std::uint8_t> status;  // a non-zero SCSI status by page
    };
    std::optional<Physical> physical;
    std::optional<ScsiTarget> scsiTarget;
    std::optional<Scsi> scsi;
    std::optional<ThreeWare> threeWare;
    std::optional<Csmi> csmi;
};

// One ATA drive.
class SimAtaDisk {
public:
    SimAtaDisk(SimDiskSpec spec, Clock& clock);

    // Runs one command with the bytes it moves in `data`; false when the
    // drive aborts it.
    bool execute(const disk::TaskFile& task, std::span<std::uint8_t> data);

    std::array<std::uint8_t, 512> identifyData() const;
    std::array<std::uint8_t, 512> attributeData();
    std::array<std::uint8_t, 512> thresholdData() const;
    // A SCSI command's answer and status; none when the disk has no SCSI target.
    std::optional<std::pair<std::uint8_t, std::vector<std::uint8_t>>> scsiCommand(std::span<const std::uint8_t> cdb) const;
    std::vector<std::uint8_t> logData(std::uint8_t address, std::uint8_t sectors);

    SimDiskSpec& spec() { return spec_; }
    const SimDiskSpec& spec() const { return spec_; }
    bool smartEnabled() const { return smartEnabled_; }
    // The sub-commands of the self-tests run so far.
    const std::vector<std::uint8_t>& selfTests() const { return selfTests_; }

private:
    std::uint8_t selfTestStatus();
    void startSelfTest(std::uint8_t subCommand);

    SimDiskSpec spec_;
    Clock& clock_;
    bool smartEnabled_ = true;
    std::optional<std::uint64_t> testStartMs_;
    std::uint8_t testKind_ = 0;
    std::vector<std::uint8_t> selfTests_;
};

struct SimDiskRequest {
    std::string path;
    std::uint32_t code;
    std::vector<std::uint8_t> input;
    std::size_t outputSize;
};

struct SimCsmiPort {
    std::string driverName = "simcsmi";
    std::string description = "Simulated CSMI driver";
    std::array<std::uint16_t, 4> version = {1, 0, 0, 0};
    std::optional<std::uint8_t> reportedPhys;  // a PHY count that differs from the disks listed
};

// Every disk of a machine, the devices that reach them and the recorder.
class SimDisks {
public:
    explicit SimDisks(Machine& machine);
    SimAtaDisk& add(SimDiskSpec spec);
    SimAtaDisk* find(const std::string& name);
    std::vector<std::unique_ptr<SimAtaDisk>>& disks() { return disks_; }

    // The latest requests, oldest first; a long run keeps only the last few thousand.
    std::vector<SimDiskRequest>& recorder() { return recorder_; }
    void record(SimDiskRequest request);
    // A fault on one device path, whichever disk is behind it.
    SimDiskFault& pathFault(const std::string& path);
    SimCsmiPort& csmiPort(int port) { return csmiPorts_[port]; }

    Machine& machine() { return machine_; }

private:
    void expose(const std::string& path, bool port, int number);

    Machine& machine_;
    std::vector<std::unique_ptr<SimAtaDisk>> disks_;
    std::vector<SimDiskRequest> recorder_;
    std::map<std::string, SimDiskFault> pathFaults_;  // by lower-case path
    std::map<int, SimCsmiPort> csmiPorts_;
};

}  // namespace platform::sim
