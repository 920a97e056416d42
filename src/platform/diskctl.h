#pragma once
// The disk control interface: the system's disk, S.M.A.R.T., SCSI and ATA
// pass-through control codes and the byte layouts of their buffers, plus the
// miniport records (3ware, CSMI) that travel inside IOCTL_SCSI_MINIPORT. The
// disk code, the simulated machine and the native backend share this header.
//
// Every pointer-sized field of the system's records is an offset from the
// start of the buffer here, so the layouts have one size on every build.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "platform/driverctl.h"

namespace platform::disk {

enum Code : std::uint32_t {
    DiskGetDriveGeometry = 0x70000,
    SmartGetVersion = 0x74080,
    SmartSendDriveCommand = 0x7C084,
    SmartRcvDriveData = 0x7C088,
    ScsiPassThrough = 0x4D004,
    ScsiMiniport = 0x4D008,
    AtaPassThrough = 0x4D02C,
};

// The system error codes disk requests answer besides the common ones.
constexpr std::uint32_t ErrorInvalidFunction = 1;
constexpr std::uint32_t ErrorSemTimeout = 121;
constexpr std::uint32_t ErrorIoDevice = 1117;

// ATA commands and S.M.A.R.T. sub-commands (features) the disk code sends.
namespace ata {
constexpr std::uint8_t Identify = 0xEC;
constexpr std::uint8_t Smart = 0xB0;
constexpr std::uint8_t ReadData = 0xD0;
constexpr std::uint8_t ReadThresholds = 0xD1;
constexpr std::uint8_t ExecuteOffline = 0xD4;
constexpr std::uint8_t ReadLog = 0xD5;
constexpr std::uint8_t EnableOperations = 0xD8;
constexpr std::uint8_t SmartLbaMid = 0x4F;
constexpr std::uint8_t SmartLbaHigh = 0xC2;
}  // namespace ata

// The S.M.A.R.T. requests of the SCSI miniport ("SCSIDISK") and the 3ware
// miniport's own control codes.
namespace miniport {
constexpr std::uint32_t Identify = 0x1B0501;
constexpr std::uint32_t ReadAttributes = 0x1B0502;
constexpr std::uint32_t ReadThresholds = 0x1B0503;
constexpr std::uint32_t ExecuteOffline = 0x1B0509;
constexpr std::uint32_t ReadLog = 0x1B050B;
constexpr std::uint32_t ThreeWarePassThrough = 0xA0000000;
constexpr std::uint32_t ThreeWareUpdateDeviceMap = 0xCC010014;
constexpr std::uint32_t CsmiDriverInfo = 1;
constexpr std::uint32_t CsmiPhyInfo = 20;
constexpr std::uint32_t CsmiStpPassThrough = 25;
constexpr std::string_view ScsiDiskSignature = "SCSIDISK";
constexpr std::string_view ThreeWareSignature = "<3ware>";
constexpr std::string_view CsmiAllSignature = "CSMIALL";
constexpr std::string_view CsmiSasSignature = "CSMISAS";
}  // namespace miniport

// Capability bits of the version record.
constexpr std::uint32_t CapAtaIdDeviceCommand = 0x01;
constexpr std::uint32_t CapSmartCommands = 0x04;
// The identifier a 3ware controller answers in the version record.
constexpr std::uint16_t ThreeWareIdentifier = 0x13C1;

#pragma pack(push, 1)

// The 8-byte ATA register image every command travels in.
struct TaskFile {
    std::uint8_t features;
    std::uint8_t sectorCount;
    std::uint8_t lbaLow;
    std::uint8_t lbaMid;
    std::uint8_t lbaHigh;
    std::uint8_t device;
    std::uint8_t command;
    std::uint8_t reserved;
};

struct GetVersionInParams {
    std::uint8_t version;
    std::uint8_t revision;
    std::uint8_t reserved;
    std::uint8_t ideDeviceMap;
    std::uint32_t capabilities;
    std::uint32_t reserved2[4];
};

// 33 bytes as declared; 32 are sent (the data byte stays behind).
struct SendCmdInParams {
    std::uint32_t bufferSize;
    TaskFile regs;
    std::uint8_t driveNumber;
    std::uint8_t reserved[3];
    std::uint32_t reserved2[4];
    std::uint8_t buffer[1];
};
constexpr std::size_t SendCmdInSent = 32;

struct DriverStatus {
    std::uint8_t driverError;
    std::uint8_t ideError;
    std::uint8_t reserved[2];
    std::uint32_t reserved2[2];
};

// The header in front of the data of every S.M.A.R.T. answer.
struct SendCmdOutHeader {
    std::uint32_t bufferSize;
    DriverStatus status;
};
constexpr std::size_t SendCmdOutData = 16;

struct DiskGeometry {
    std::int64_t cylinders;
    std::uint32_t mediaType;
    std::uint32_t tracksPerCylinder;
    std::uint32_t sectorsPerTrack;
    std::uint32_t bytesPerSector;
};
constexpr std::uint32_t MediaRemovable = 11;
constexpr std::uint32_t MediaFixed = 12;

// The geometry a disk known only by its size answers: whole cylinders of
// 255 heads of 63 sectors, the rest left out.
constexpr std::uint32_t TracksPerCylinder = 255, SectorsPerTrack = 63;
inline DiskGeometry geometryOfSectors(std::uint64_t sectors, std::uint32_t bytesPerSector, std::uint32_t mediaType) {
    return {static_cast<std::int64_t>(sectors / (TracksPerCylinder * SectorsPerTrack)), mediaType, TracksPerCylinder,
            SectorsPerTrack, bytesPerSector};
}

struct AtaPassThroughEx {
    std::uint16_t length;
    std::uint16_t ataFlags;
    std::uint8_t pathId;
    std::uint8_t targetId;
    std::uint8_t lun;
    std::uint8_t reservedAsUchar;
    std::uint32_t dataTransferLength;
    std::uint32_t timeOutValue;
    std::uint32_t reservedAsUlong;
    std::uint32_t dataBufferOffset;
    TaskFile previousTaskFile;
    TaskFile currentTaskFile;
};
constexpr std::uint16_t AtaFlagsDrdyRequired = 1;
constexpr std::uint16_t AtaFlagsDataIn = 2;
constexpr std::size_t AtaPassThroughData = 44;

struct ScsiPassThroughRequest {
    std::uint16_t length;
    std::uint8_t scsiStatus;
    std::uint8_t pathId;
    std::uint8_t targetId;
    std::uint8_t lun;
    std::uint8_t cdbLength;
    std::uint8_t senseInfoLength;
    std::uint8_t dataIn;
    std::uint8_t padding[3];
    std::uint32_t dataTransferLength;
    std::uint32_t timeOutValue;
    std::uint32_t dataBufferOffset;
    std::uint32_t senseInfoOffset;
    std::uint8_t cdb[16];
};
constexpr std::uint8_t ScsiDataOut = 0;
constexpr std::uint8_t ScsiDataIn = 1;
constexpr std::uint8_t ScsiNoData = 2;
constexpr std::size_t ScsiPassThroughSense = 48;
constexpr std::size_t ScsiPassThroughSenseLength = 24;
constexpr std::size_t ScsiPassThroughData = 80;

// The header of every miniport request; CSMI calls it its I/O control header.
struct SrbIoControl {
    std::uint32_t headerLength;
    char signature[8];
    std::uint32_t timeout;
    std::uint32_t controlCode;
    std::uint32_t returnCode;
    std::uint32_t length;
};

struct CsmiDriverInfo {
    char name[81];
    char description[81];
    std::uint16_t majorRevision;
    std::uint16_t minorRevision;
    std::uint16_t buildRevision;
    std::uint16_t releaseRevision;
    std::uint16_t csmiMajorRevision;
    std::uint16_t csmiMinorRevision;
    std::uint8_t padding[2];  // to the dword alignment of the record
};
constexpr std::size_t CsmiDriverInfoBuffer = 204;

struct CsmiIdentify {
    std::uint8_t deviceType;
    std::uint8_t restricted;
    std::uint8_t initiatorPortProtocol;
    std::uint8_t targetPortProtocol;
    std::uint8_t restricted2[8];
    std::uint8_t sasAddress[8];
    std::uint8_t phyIdentifier;
    std::uint8_t signalClass;
    std::uint8_t reserved[6];
};

struct CsmiPhyEntry {
    CsmiIdentify identify;
    std::uint8_t portIdentifier;
    std::uint8_t negotiatedLinkRate;
    std::uint8_t minimumLinkRate;
    std::uint8_t maximumLinkRate;
    std::uint8_t phyChangeCount;
    std::uint8_t autoDiscover;
    std::uint8_t phyFeatures;
    std::uint8_t reserved;
    CsmiIdentify attached;
};
constexpr std::size_t CsmiMaxPhys = 32;

struct CsmiPhyInfo {
    std::uint8_t numberOfPhys;
    std::uint8_t reserved[3];
    CsmiPhyEntry phy[CsmiMaxPhys];
};
constexpr std::size_t CsmiPhyInfoBuffer = 2080;

struct CsmiStpParameters {
    std::uint8_t phyIdentifier;
    std::uint8_t portIdentifier;
    std::uint8_t connectionRate;
    std::uint8_t reserved;
    std::uint8_t destinationSasAddress[8];
    std::uint8_t reserved2[4];
    std::uint8_t commandFis[20];
    std::uint32_t flags;
    std::uint32_t dataLength;
};
constexpr std::uint32_t CsmiStpRead = 0x01;
constexpr std::uint32_t CsmiStpPio = 0x10;
constexpr std::uint8_t CsmiAnyPort = 0xFF;

struct CsmiStpStatus {
    std::uint8_t connectionStatus;
    std::uint8_t reserved[3];
    std::uint8_t statusFis[20];
    std::uint32_t scr[16];
    std::uint32_t dataBytes;
};

struct CsmiStpBuffer {
    SrbIoControl header;
    CsmiStpParameters parameters;
    CsmiStpStatus status;
};
constexpr std::size_t CsmiStpData = 164;
constexpr std::size_t CsmiStpBufferBase = 168;  // as declared, with one data byte and padding
constexpr std::size_t CsmiStatusFisStatus = 2;   // the status byte of a register FIS

#pragma pack(pop)

static_assert(sizeof(TaskFile) == 8 && sizeof(GetVersionInParams) == 24);
static_assert(sizeof(SendCmdInParams) == 33 && sizeof(SendCmdOutHeader) == SendCmdOutData);
static_assert(sizeof(DiskGeometry) == 24);
static_assert(sizeof(AtaPassThroughEx) == 40);
static_assert(sizeof(ScsiPassThroughRequest) == 44);
static_assert(sizeof(SrbIoControl) == 28);
static_assert(sizeof(CsmiDriverInfo) == 176 && sizeof(SrbIoControl) + sizeof(CsmiDriverInfo) == CsmiDriverInfoBuffer);
static_assert(sizeof(CsmiIdentify) == 28 && sizeof(CsmiPhyEntry) == 64);
static_assert(sizeof(SrbIoControl) + sizeof(CsmiPhyInfo) == CsmiPhyInfoBuffer);
static_assert(sizeof(CsmiStpParameters) == 44 && sizeof(CsmiStpStatus) == 92);
static_assert(sizeof(CsmiStpBuffer) == CsmiStpData);

// The command blocks that carry an ATA register image over SCSI
// pass-through: SAT's ATA PASS-THROUGH (12) and the USB bridges' own blocks.
// The task file's first seven bytes follow the fixed bytes from `taskAt`.
enum class Bridge : std::uint8_t { Sat, SunPlus, Cypress, IoData, Logitech, JMicron };
struct BridgeCdb {
    Bridge bridge;
    std::string_view name;
    std::uint8_t length;
    std::array<std::uint8_t, 6> fixed;
    std::uint8_t fixedCount;
    std::uint8_t taskAt;
};
inline constexpr std::array<BridgeCdb, 6> BridgeCdbs = {{
    {Bridge::Sat, "SAT", 12, {0xA1, 0x08, 0x0E}, 3, 3},
    {Bridge::SunPlus, "SunPlus", 12, {0xF8, 0x00, 0x22, 0x10, 0x01}, 5, 5},
    {Bridge::Cypress, "Cypress", 16, {0x24, 0x24, 0x00, 0xBE, 0x01, 0x00}, 6, 6},
    {Bridge::IoData, "IoData", 12, {0xE3, 0x00}, 2, 2},
    {Bridge::Logitech, "Logitech", 10, {0xE0, 0x00}, 2, 2},
    {Bridge::JMicron, "JMicron", 12, {0xDF, 0x10, 0x00, 0x02, 0x00}, 5, 5},
}};
constexpr const BridgeCdb& bridgeCdb(Bridge bridge) { return BridgeCdbs[static_cast<std::size_t>(bridge)]; }
constexpr std::size_t TaskBytesInCdb = 7;

// The bridge whose block `cdb` is, with its register image; none for
// anything else.
struct BridgeCommand {
    const BridgeCdb* layout = nullptr;
    TaskFile task;
};
inline BridgeCommand decodeBridgeCdb(std::span<const std::uint8_t> cdb) {
    for (const auto& row : BridgeCdbs) {
        if (cdb.size() != row.length) continue;
        if (!std::equal(row.fixed.begin(), row.fixed.begin() + row.fixedCount, cdb.begin())) continue;
        BridgeCommand command{&row, {}};
        std::copy_n(cdb.data() + row.taskAt, TaskBytesInCdb, reinterpret_cast<std::uint8_t*>(&command.task));
        return command;
    }
    return {};
}

// A miniport header with the signature copied and the rest as given.
inline SrbIoControl miniportHeader(std::string_view signature, std::uint32_t timeout, std::uint32_t code,
                                   std::uint32_t length) {
    SrbIoControl header{};
    header.headerLength = sizeof(SrbIoControl);
    std::memcpy(header.signature, signature.data(), std::min(signature.size(), sizeof(header.signature)));
    header.timeout = timeout;
    header.controlCode = code;
    header.length = length;
    return header;
}

inline bool hasSignature(const SrbIoControl& header, std::string_view signature) {
    std::array<char, 8> expected{};
    std::memcpy(expected.data(), signature.data(), std::min(signature.size(), expected.size()));
    return std::memcmp(header.signature, expected.data(), expected.size()) == 0;
}

using drv::bytesOf;
using drv::readLayout;
using drv::writeLayout;

}  // namespace platform::disk
