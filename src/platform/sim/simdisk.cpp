#include "platform/sim/simdisk.h"

#include <algorithm>
#include <cstring>

#include "platform/asciicase.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

using disk::ErrorInvalidFunction;
using disk::ErrorSemTimeout;
constexpr std::uint8_t AtaAbort = 0x04;
constexpr std::uint8_t ScsiCheckCondition = 0x02;
constexpr std::uint8_t ScsiInquiry = 0x12;
constexpr std::uint8_t ScsiLogSense = 0x4D;
constexpr std::uint8_t CsmiNoDevice = 0x13;  // connection status: no destination
constexpr std::uint8_t SelfTestLog = 0x06;
constexpr std::uint8_t LogDirectory = 0x00;

// ATA strings: the first character of each pair in the high byte.
void putString(std::span<std::uint8_t> words, const std::string& text, bool swapped) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        const std::size_t at = swapped ? i : (i ^ 1);
        words[at] = static_cast<std::uint8_t>(c);
    }
}

void putWord(std::span<std::uint8_t> data, int word, std::uint16_t value) {
    data[2 * word] = static_cast<std::uint8_t>(value);
    data[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
}

void seal(std::span<std::uint8_t, 512> data, SimChecksum mode) {
    if (mode == SimChecksum::AllZero) {
        std::fill(data.begin(), data.end(), 0);
        return;
    }
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 511; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
    data[511] = static_cast<std::uint8_t>(-sum + (mode == SimChecksum::Bad ? 1 : 0));
}

std::size_t fill(std::span<std::uint8_t> data, std::span<const std::uint8_t> answer) {
    const std::size_t n = std::min(data.size(), answer.size());
    std::copy_n(answer.begin(), n, data.begin());
    return n;
}

}  // namespace

bool SimDiskFault::strikes() {
    if (kind == Kind::None || times == 0) return false;
    if (times > 0) --times;
    return true;
}

SimAtaDisk::SimAtaDisk(SimDiskSpec spec, Clock& clock) : spec_(std::move(spec)), clock_(clock) {}

std::array<std::uint8_t, 512> SimAtaDisk::identifyData() const {
    std::array<std::uint8_t, 512> data{};
    if (spec_.identifyBytes) {
        fill(data, *spec_.identifyBytes);
        return data;
    }
    const std::uint64_t sectors28 = std::min<std::uint64_t>(spec_.sectors, 0x0FFFFFFF);
    const std::pair<int, std::uint16_t> words[] = {
        {0, 0x0040},  {1, 16383},  {49, 0x0300}, {54, 16383}, {60, static_cast<std::uint16_t>(sectors28)},
        {61, static_cast<std::uint16_t>(sectors28 >> 16)}, {75, 31}, {76, 0x0106}, {80, 0x01F0},
        {82, 0x0009}, {83, static_cast<std::uint16_t>(0x4008 | (spec_.lba48 ? 0x0400 : 0))}, {84, 0x4001},
        {85, 0x0009}, {86, static_cast<std::uint16_t>(spec_.lba48 ? 0x0400 : 0)}, {87, 0x4000}, {88, 0x203F},
    };
    for (const auto& [word, value] : words) putWord(data, word, value);
    if (spec_.lba48)
        for (int w = 0; w < 4; ++w) putWord(data, 100 + w, static_cast<std::uint16_t>(spec_.sectors >> (16 * w)));
    putString(std::span(data).subspan(20, 20), spec_.serial, spec_.swappedStrings);
    putString(std::span(data).subspan(46, 8), spec_.firmware, spec_.swappedStrings);
    putString(std::span(data).subspan(54, 40), spec_.model, spec_.swappedStrings);
    for (const auto& [word, value] : spec_.identifyWords) putWord(data, word, value);
    return data;
}

std::array<std::uint8_t, 512> SimAtaDisk::attributeData() {
    std::array<std::uint8_t, 512> data{};
    putWord(data, 0, spec_.revision);
    const std::uint8_t reading = spec_.temperature ? spec_.temperature() : 0;
    const auto hot = std::find_if(spec_.attributes.begin(), spec_.attributes.end(),
                                  [](const SimAttribute& a) { return a.id == 194; });
    const auto airflow = std::find_if(spec_.attributes.begin(), spec_.attributes.end(),
                                      [](const SimAttribute& a) { return a.id == 190; });
    const auto fed = hot != spec_.attributes.end() ? hot : airflow;
    for (std::size_t i = 0; i < spec_.attributes.size() && i < 30; ++i) {
        const auto& a = spec_.attributes[i];
        std::uint8_t* entry = data.data() + 2 + 12 * i;
        entry[0] = a.id;
        entry[1] = static_cast<std::uint8_t>(a.flags);
        entry[2] = static_cast<std::uint8_t>(a.flags >> 8);
        entry[3] = a.value;
        entry[4] = a.worst;
        for (int b = 0; b < 6; ++b) entry[5 + b] = static_cast<std::uint8_t>(a.raw >> (8 * b));
        if (spec_.temperature && spec_.attributes.begin() + static_cast<std::ptrdiff_t>(i) == fed) entry[5] = reading;
    }
    data[363] = selfTestStatus();
    seal(data, spec_.attributeChecksum);
    return data;
}

std::array<std::uint8_t, 512> SimAtaDisk::thresholdData() const {
    std::array<std::uint8_t, 512> data{};
    putWord(data, 0, spec_.revision);
    for (std::size_t i = 0; i < spec_.attributes.size() && i < 30; ++i) {
        data[2 + 12 * i] = spec_.attributes[i].id;
        data[3 + 12 * i] = i < spec_.thresholds.size() ? spec_.thresholds[i] : 0;
    }
    seal(data, spec_.thresholdChecksum);
    return data;
}

std::uint8_t SimAtaDisk::selfTestStatus() {
    if (!testStartMs_) return 0x00;
    const std::uint64_t duration = std::uint64_t{spec_.selfTestSeconds[testKind_ - 1]} * 1000;
    const std::uint64_t elapsed = clock_.monotonicMs() - *testStartMs_;
    if (elapsed < duration) {
        const auto tenths = std::min<std::uint64_t>(9, ((duration - elapsed) * 10 + duration - 1) / duration);
        return static_cast<std::uint8_t>(0xF0 | tenths);
    }
    // Done: one entry in the self-test log.
    auto& log = spec_.logs[SelfTestLog];
    if (log.size() < 512) {
        log.assign(512, 0);
        log[0] = 1;
    }
    const std::uint8_t index = static_cast<std::uint8_t>(log[508] % 21 + 1);
    std::uint8_t* entry = log.data() + 2 + 24 * (index - 1);
    std::fill_n(entry, 24, 0);
    entry[0] = testKind_;
    log[508] = index;
    seal(std::span<std::uint8_t, 512>(log.data(), 512), SimChecksum::Auto);
    testStartMs_.reset();
    return 0x00;
}

void SimAtaDisk::startSelfTest(std::uint8_t subCommand) {
    const std::uint8_t kind = subCommand & 0x7F;
    selfTests_.push_back(subCommand);
    if (kind < 1 || kind > 3) return;  // off-line data collection: nothing to watch
    testKind_ = kind;
    testStartMs_ = clock_.monotonicMs();
}

std::vector<std::uint8_t> SimAtaDisk::logData(std::uint8_t address, std::uint8_t sectors) {
    selfTestStatus();  // a finished test writes its entry first
    std::vector<std::uint8_t> bytes(std::size_t{sectors} * 512);
    if (address == LogDirectory && !spec_.logs.contains(LogDirectory)) {
        if (!bytes.empty()) {
            bytes[0] = 1;
            for (const auto& [at, log] : spec_.logs) bytes[2 * at] = static_cast<std::uint8_t>(log.size() / 512);
        }
        return bytes;
    }
    const auto found = spec_.logs.find(address);
    if (found == spec_.logs.end()) return {};
    fill(bytes, found->second);
    return bytes;
}

std::optional<std::pair<std::uint8_t, std::vector<std::uint8_t>>> SimAtaDisk::scsiCommand(
    std::span<const std::uint8_t> cdb) const {
    if (!spec_.scsiTarget || cdb.empty()) return std::nullopt;
    const auto& target = *spec_.scsiTarget;
    std::pair<std::uint8_t, std::vector<std::uint8_t>> answer{ScsiCheckCondition, {}};
    if (cdb[0] == ScsiInquiry) {
        auto& data = answer.second;
        data.assign(96, 0);
        data[4] = 91;
        const auto put = [&data](std::size_t at, std::size_t length, const std::string& text) {
            for (std::size_t i = 0; i < length; ++i) data[at + i] = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
        };
        put(8, 8, target.vendor);
        put(16, 16, target.product);
        put(32, 4, target.revision);
        put(36, 8, target.vendorSpecific);
        data.resize(std::min(data.size(), target.inquiryLength));
        answer.first = 0;
    } else if (cdb[0] == ScsiLogSense && cdb.size() >= 3) {
        const std::uint8_t page = cdb[2] & 0x3F;
        if (const auto status = target.status.find(page); status != target.status.end()) {
            answer.first = status->second;
        } else if (const auto found = target.pages.find(page); found != target.pages.end()) {
            answer = {0, found->second};
        } else if (page == 0) {
            std::vector<std::uint8_t> list = {0x00};
            for (const auto& [code, bytes] : target.pages) list.push_back(code);
            answer.second = {0x00, 0x00, 0x00, static_cast<std::uint8_t>(list.size())};
            answer.second.insert(answer.second.end(), list.begin(), list.end());
            answer.first = 0;
        }
    }
    return answer;
}

bool SimAtaDisk::execute(const disk::TaskFile& task, std::span<std::uint8_t> data) {
    std::fill(data.begin(), data.end(), 0);
    if (task.command == disk::ata::Identify) {
        fill(data, identifyData());
        return true;
    }
    if (task.command != disk::ata::Smart || task.lbaMid != disk::ata::SmartLbaMid ||
        task.lbaHigh != disk::ata::SmartLbaHigh)
        return false;
    switch (task.features) {
    case disk::ata::EnableOperations:
        if (spec_.refuseEnable) return false;
        smartEnabled_ = true;
        return true;
    case disk::ata::ReadData:
        fill(data, attributeData());
        return true;
    case disk::ata::ReadThresholds:
        if (spec_.refuseThresholds) return false;
        fill(data, thresholdData());
        return true;
    case disk::ata::ReadLog: {
        const auto log = logData(task.lbaLow, task.sectorCount);
        if (log.empty()) return false;
        fill(data, log);
        return true;
    }
    case disk::ata::ExecuteOffline:
        if ((task.lbaLow & 0x7F) > 3) return false;
        startSelfTest(task.lbaLow);
        return true;
    default:
        return false;
    }
}

// A device path of the disks: a physical drive number or a port number.
class SimDiskDevice : public Device {
public:
    // The Windows 9x driver's one handle serves every drive: each command
    // names its own.
    static constexpr int EveryDrive = -1;

    SimDiskDevice(SimDisks& disks, std::string path, bool port, int number)
        : disks_(disks), path_(std::move(path)), port_(port), number_(number), drive_(number) {}

    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        disks_.record({path_, code, {input.begin(), input.end()}, output.size()});
        returned = 0;
        error_ = ErrorGenFailure;
        auto& fault = disks_.pathFault(path_);
        if (fault.kind != SimDiskFault::Kind::None && fault.strikes()) return struck(fault.kind, output, returned);
        if (!answer(code, input, output, returned)) return false;
        return true;
    }
    std::uint32_t lastError() const override { return error_; }

private:
    bool struck(SimDiskFault::Kind kind, std::span<std::uint8_t> output, std::uint32_t& returned) {
        switch (kind) {
        case SimDiskFault::Kind::Timeout:
            disks_.machine().simClock().advance(10000);
            error_ = ErrorSemTimeout;
            return false;
        case SimDiskFault::Kind::Garbage: {
            std::uint32_t seed = 0x2545F491;
            for (auto& b : output) b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
            returned = static_cast<std::uint32_t>(output.size());
            return true;
        }
        default:
            return false;
        }
    }

    // The disk behind this path that `pick` accepts and whose own fault
    // lets it answer.
    template <class Pick>
    SimAtaDisk* disk(Pick pick, bool& faulted, SimDiskFault::Kind& kind) {
        for (auto& d : disks_.disks()) {
            if (!pick(d->spec())) continue;
            auto& fault = d->spec().fault;
            if (fault.kind != SimDiskFault::Kind::None && fault.kind != SimDiskFault::Kind::Vanish && fault.strikes()) {
                faulted = true;
                kind = fault.kind;
            }
            return d.get();
        }
        return nullptr;
    }

    // Runs one ATA command on a disk, with its own faults.
    bool run(SimAtaDisk* d, bool faulted, SimDiskFault::Kind kind, const disk::TaskFile& task,
             std::span<std::uint8_t> data) {
        if (!d) return false;
        if (faulted) {
            std::uint32_t ignored = 0;
            return struck(kind, data, ignored);
        }
        return d->execute(task, data);
    }

    // The physical path's settings, without meeting a fault.
    const SimDiskSpec::Physical* physicalPath() {
        for (auto& d : disks_.disks())
            if (d->spec().physical && d->spec().physical->drive == drive_) return &*d->spec().physical;
        return nullptr;
    }
    SimAtaDisk* physicalDisk(bool& faulted, SimDiskFault::Kind& kind) {
        return disk([&](const SimDiskSpec& s) { return s.physical && s.physical->drive == drive_; }, faulted, kind);
    }
    bool isThreeWare() {
        return std::any_of(disks_.disks().begin(), disks_.disks().end(), [&](const auto& d) {
            return d->spec().threeWare && d->spec().threeWare->drive == number_;
        });
    }
    SimAtaDisk* threeWareDisk(int port, bool& faulted, SimDiskFault::Kind& kind) {
        return disk([&](const SimDiskSpec& s) { return s.threeWare && s.threeWare->drive == number_ &&
                                                       s.threeWare->port == port; },
                    faulted, kind);
    }

    bool answer(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                std::uint32_t& returned) {
        if (port_) return code == disk::ScsiMiniport && portRequest(input, output, returned);
        if (number_ == EveryDrive) return vxdRequest(code, input, output, returned);
        switch (code) {
        case disk::SmartGetVersion: return version(output, returned);
        case disk::SmartRcvDriveData:
        case disk::SmartSendDriveCommand: return smartCodes(input, output, returned);
        case disk::AtaPassThrough: return ataPassThrough(input, output, returned);
        case disk::ScsiPassThrough: return scsiPassThrough(input, output, returned);
        case disk::DiskGetDriveGeometry: return geometry(output, returned);
        case disk::ScsiMiniport: return threeWareMiniport(input, output, returned);
        default: error_ = ErrorInvalidFunction; return false;
        }
    }

    // The driver knows the S.M.A.R.T. codes only. Drives 0-3 sit on two IDE
    // channels; a command whose device register (A0h master, B0h slave)
    // names the other device of its drive's channel finds no drive.
    bool vxdRequest(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                    std::uint32_t& returned) {
        if (code == disk::SmartGetVersion) return vxdVersion(output, returned);
        if (code != disk::SmartRcvDriveData && code != disk::SmartSendDriveCommand) {
            error_ = ErrorInvalidFunction;
            return false;
        }
        disk::SendCmdInParams in{};
        if (input.size() < disk::SendCmdInSent) return false;
        std::memcpy(&in, input.data(), disk::SendCmdInSent);
        const std::uint8_t device = static_cast<std::uint8_t>(0xA0 | ((in.driveNumber & 1) << 4));
        drive_ = in.driveNumber < VxdDrives && in.regs.device == device ? in.driveNumber : EveryDrive;
        return smartCodes(input, output, returned);
    }

    // What every S.M.A.R.T. driver of ours says of itself, without a device map.
    static disk::GetVersionInParams smartVersion() {
        disk::GetVersionInParams v{};
        v.version = 1;
        v.revision = 1;
        v.capabilities = disk::CapAtaIdDeviceCommand | disk::CapSmartCommands;
        return v;
    }

    bool vxdVersion(std::span<std::uint8_t> output, std::uint32_t& returned) {
        disk::GetVersionInParams v = smartVersion();
        for (auto& d : disks_.disks()) {
            const auto& path = d->spec().physical;
            if (path && path->drive >= 0 && path->drive < VxdDrives && path->smartCodes)
                v.ideDeviceMap = static_cast<std::uint8_t>(v.ideDeviceMap | (1u << path->drive));
        }
        if (!disk::writeLayout(output, v)) return false;
        returned = sizeof v;
        return true;
    }

    bool version(std::span<std::uint8_t> output, std::uint32_t& returned) {
        disk::GetVersionInParams v = smartVersion();
        bool faulted = false;
        SimDiskFault::Kind kind{};
        if (isThreeWare()) {
            std::uint32_t map = 0;
            std::uint16_t controller = 0;
            for (auto& d : disks_.disks()) {
                const auto& t = d->spec().threeWare;
                if (!t || t->drive != number_) continue;
                map |= 1u << (t->port & 31);
                controller = t->controllerId;
            }
            v.ideDeviceMap = 1;
            v.reserved2[0] = map;
            v.reserved2[1] = disk::ThreeWareIdentifier | std::uint32_t{controller} << 16;
        } else {
            const auto* d = physicalDisk(faulted, kind);
            if (!d || faulted || !d->spec().physical->smartCodes) {
                error_ = ErrorInvalidFunction;
                return false;
            }
            v.ideDeviceMap = 1;
        }
        if (!disk::writeLayout(output, v)) return false;
        returned = sizeof v;
        return true;
    }

    bool smartCodes(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned) {
        disk::SendCmdInParams in{};
        if (input.size() < disk::SendCmdInSent || output.size() < disk::SendCmdOutData) return false;
        std::memcpy(&in, input.data(), disk::SendCmdInSent);
        bool faulted = false;
        SimDiskFault::Kind kind{};
        SimAtaDisk* d = nullptr;
        const bool tagged = in.reserved[1] == 0xC1 && in.reserved[2] == 0x13;
        if (isThreeWare()) {
            d = tagged ? threeWareDisk(in.reserved[0], faulted, kind) : nullptr;
        } else {
            const auto* path = physicalPath();
            if (path && !path->smartCodes) {
                refuse(output, path->driverError, path->ideError);
                return false;
            }
            d = physicalDisk(faulted, kind);
        }
        const auto data = output.subspan(disk::SendCmdOutData);
        const auto moved = data.first(std::min<std::size_t>(data.size(), in.bufferSize));
        if (!run(d, faulted, kind, in.regs, moved)) {
            refuse(output, 0x01, AtaAbort);
            return false;
        }
        disk::SendCmdOutHeader header{};
        header.bufferSize = static_cast<std::uint32_t>(moved.size());
        disk::writeLayout(output, header);
        returned = static_cast<std::uint32_t>(disk::SendCmdOutData + moved.size());
        return true;
    }

    void refuse(std::span<std::uint8_t> output, std::uint8_t driverError, std::uint8_t ideError) {
        disk::SendCmdOutHeader header{};
        header.status.driverError = driverError;
        header.status.ideError = ideError;
        disk::writeLayout(output, header);
        error_ = ErrorInvalidFunction;
    }

    bool ataPassThrough(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned) {
        disk::AtaPassThroughEx header{};
        if (!disk::readLayout(input, header) || output.size() < disk::AtaPassThroughData) return false;
        const auto* path = physicalPath();
        if (!path || !path->ataPassThrough) {
            error_ = ErrorInvalidFunction;
            return false;
        }
        bool faulted = false;
        SimDiskFault::Kind kind{};
        SimAtaDisk* d = physicalDisk(faulted, kind);
        std::copy(input.begin(), input.begin() + std::min(input.size(), output.size()), output.begin());
        const auto data = output.subspan(disk::AtaPassThroughData);
        const auto moved = data.first(std::min<std::size_t>(data.size(), header.dataTransferLength));
        if (!run(d, faulted, kind, header.currentTaskFile, moved)) return false;
        returned = static_cast<std::uint32_t>(disk::AtaPassThroughData + moved.size());
        return true;
    }

    bool scsiPassThrough(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned) {
        disk::ScsiPassThroughRequest request{};
        if (!disk::readLayout(input, request) || output.size() < disk::ScsiPassThroughData) return false;
        bool faulted = false;
        SimDiskFault::Kind kind{};
        SimAtaDisk* d = physicalDisk(faulted, kind);
        if (!d) return false;
        if (d->spec().scsiTarget) return scsiTarget(*d, faulted, kind, request, output, returned);
        const auto command = disk::decodeBridgeCdb({request.cdb, std::min<std::size_t>(request.cdbLength, 16)});
        const auto& bridge = d->spec().physical->bridge;
        const auto data = output.subspan(disk::ScsiPassThroughData);
        const auto moved = data.first(std::min<std::size_t>(data.size(), request.dataTransferLength));
        const bool own = bridge && command.layout && command.layout->bridge == *bridge;
        if (!own || !run(d, faulted, kind, command.task, moved)) {
            request.scsiStatus = ScsiCheckCondition;
            std::fill(moved.begin(), moved.end(), 0);
            disk::writeLayout(output, request);
            returned = disk::ScsiPassThroughData;
            return true;
        }
        disk::writeLayout(output, request);
        returned = static_cast<std::uint32_t>(disk::ScsiPassThroughData + moved.size());
        return true;
    }

    bool scsiTarget(SimAtaDisk& d, bool faulted, SimDiskFault::Kind kind, disk::ScsiPassThroughRequest& request,
                    std::span<std::uint8_t> output, std::uint32_t& returned) {
        if (faulted) return struck(kind, output, returned);
        const auto [status, answer] = *d.scsiCommand({request.cdb, std::min<std::size_t>(request.cdbLength, 16)});
        const auto data = output.subspan(disk::ScsiPassThroughData);
        const std::size_t room = std::min<std::size_t>(data.size(), request.dataTransferLength);
        std::fill(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(room), 0);
        const std::size_t moved = status == 0 ? fill(data.first(room), answer) : 0;
        request.scsiStatus = status;
        request.dataTransferLength = static_cast<std::uint32_t>(moved);
        disk::writeLayout(output, request);
        returned = static_cast<std::uint32_t>(disk::ScsiPassThroughData + moved);
        return true;
    }

    bool geometry(std::span<std::uint8_t> output, std::uint32_t& returned) {
        bool faulted = false;
        SimDiskFault::Kind kind{};
        const auto* d = physicalDisk(faulted, kind);
        if (!d || faulted) return false;
        const SimDiskSpec& spec = d->spec();
        if (!spec.geometry && spec.sectors == 0) return false;
        const disk::DiskGeometry geometry =
            spec.geometry.value_or(disk::geometryOfSectors(spec.sectors, 512, disk::MediaFixed));
        if (!disk::writeLayout(output, geometry)) return false;
        returned = sizeof(disk::DiskGeometry);
        return true;
    }

    bool threeWareMiniport(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                           std::uint32_t& returned) {
        disk::SrbIoControl header{};
        if (!isThreeWare() || !disk::readLayout(input, header) ||
            !disk::hasSignature(header, disk::miniport::ThreeWareSignature) || output.size() < input.size())
            return false;
        std::copy(input.begin(), input.end(), output.begin());
        returned = static_cast<std::uint32_t>(input.size());
        if (header.controlCode == disk::miniport::ThreeWareUpdateDeviceMap) return true;
        constexpr std::size_t dataAt = sizeof(disk::SrbIoControl) + sizeof(disk::TaskFile);
        disk::TaskFile task{};
        if (header.controlCode != disk::miniport::ThreeWarePassThrough || input.size() < dataAt) return false;
        std::memcpy(&task, input.data() + sizeof(disk::SrbIoControl), sizeof task);
        bool faulted = false;
        SimDiskFault::Kind kind{};
        SimAtaDisk* d = threeWareDisk(task.reserved, faulted, kind);
        if (!run(d, faulted, kind, task, output.subspan(dataAt))) {
            header.returnCode = 1;
            disk::writeLayout(output, header);
        }
        return true;
    }

    bool portRequest(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned) {
        disk::SrbIoControl header{};
        if (!disk::readLayout(input, header) || output.size() < input.size()) return false;
        std::copy(input.begin(), input.end(), output.begin());
        returned = static_cast<std::uint32_t>(input.size());
        if (disk::hasSignature(header, disk::miniport::ScsiDiskSignature)) return scsiDisk(input, output);
        if (disk::hasSignature(header, disk::miniport::CsmiAllSignature) &&
            header.controlCode == disk::miniport::CsmiDriverInfo)
            return csmiDriverInfo(output);
        if (disk::hasSignature(header, disk::miniport::CsmiSasSignature)) {
            if (header.controlCode == disk::miniport::CsmiPhyInfo) return csmiPhys(output);
            if (header.controlCode == disk::miniport::CsmiStpPassThrough) return csmiStp(output);
        }
        error_ = ErrorInvalidFunction;
        return false;
    }

    bool scsiDisk(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
        constexpr std::size_t inAt = sizeof(disk::SrbIoControl);
        constexpr std::size_t dataAt = inAt + disk::SendCmdOutData;
        disk::SendCmdInParams in{};
        if (input.size() < inAt + disk::SendCmdInSent) return false;
        std::memcpy(&in, input.data() + inAt, disk::SendCmdInSent);
        bool faulted = false;
        SimDiskFault::Kind kind{};
        SimAtaDisk* d = disk([&](const SimDiskSpec& s) { return s.scsi && s.scsi->port == number_ &&
                                                                s.scsi->target == in.driveNumber; },
                             faulted, kind);
        const auto data = output.subspan(dataAt);
        const auto moved = data.first(std::min<std::size_t>(data.size(), in.bufferSize));
        if (!run(d, faulted, kind, in.regs, moved)) return false;
        disk::SendCmdOutHeader out{};
        out.bufferSize = static_cast<std::uint32_t>(moved.size());
        std::memcpy(output.data() + inAt, &out, sizeof out);
        return true;
    }

    std::vector<SimAtaDisk*> csmiDisks() {
        std::vector<SimAtaDisk*> found;
        for (auto& d : disks_.disks())
            if (d->spec().csmi && d->spec().csmi->port == number_) found.push_back(d.get());
        return found;
    }

    bool csmiDriverInfo(std::span<std::uint8_t> output) {
        if (csmiDisks().empty() || output.size() < disk::CsmiDriverInfoBuffer) return false;
        const auto& port = disks_.csmiPort(number_);
        disk::CsmiDriverInfo info{};
        std::strncpy(info.name, port.driverName.c_str(), sizeof info.name - 1);
        std::strncpy(info.description, port.description.c_str(), sizeof info.description - 1);
        info.majorRevision = port.version[0];
        info.minorRevision = port.version[1];
        info.buildRevision = port.version[2];
        info.releaseRevision = port.version[3];
        info.csmiMajorRevision = 0;
        info.csmiMinorRevision = 82;
        std::memcpy(output.data() + sizeof(disk::SrbIoControl), &info, sizeof info);
        return true;
    }

    bool csmiPhys(std::span<std::uint8_t> output) {
        const auto attached = csmiDisks();
        if (attached.empty() || output.size() < disk::CsmiPhyInfoBuffer) return false;
        disk::CsmiPhyInfo info{};
        for (const auto* d : attached) {
            if (info.numberOfPhys >= disk::CsmiMaxPhys) break;
            const auto& c = *d->spec().csmi;
            auto& phy = info.phy[info.numberOfPhys++];
            phy.identify.deviceType = 0x10;
            phy.identify.initiatorPortProtocol = c.initiatorProtocol;
            phy.identify.phyIdentifier = c.phy;
            phy.portIdentifier = c.phy;
            phy.negotiatedLinkRate = c.negotiatedRate;
            phy.minimumLinkRate = c.minimumRate;
            phy.maximumLinkRate = c.maximumRate;
            phy.attached.deviceType = 0x10;
            phy.attached.targetPortProtocol = c.targetProtocol;
            std::copy(c.sasAddress.begin(), c.sasAddress.end(), phy.attached.sasAddress);
            phy.attached.phyIdentifier = c.phy;
        }
        if (const auto reported = disks_.csmiPort(number_).reportedPhys) info.numberOfPhys = *reported;
        std::memcpy(output.data() + sizeof(disk::SrbIoControl), &info, sizeof info);
        return true;
    }

    bool csmiStp(std::span<std::uint8_t> output) {
        disk::CsmiStpBuffer stp{};
        if (!disk::readLayout<disk::CsmiStpBuffer>(output, stp)) return false;
        const auto& p = stp.parameters;
        bool faulted = false;
        SimDiskFault::Kind kind{};
        SimAtaDisk* d = disk([&](const SimDiskSpec& s) {
            return s.csmi && s.csmi->port == number_ &&
                   std::equal(s.csmi->sasAddress.begin(), s.csmi->sasAddress.end(), p.destinationSasAddress);
        }, faulted, kind);
        const disk::TaskFile task{p.commandFis[3], p.commandFis[12], p.commandFis[4], p.commandFis[5],
                                  p.commandFis[6], p.commandFis[7], p.commandFis[2], 0};
        const auto data = output.subspan(disk::CsmiStpData);
        const auto moved = data.first(std::min<std::size_t>(data.size(), p.dataLength));
        auto& status = stp.status;
        status.statusFis[0] = 0x34;
        if (!d) {
            status.connectionStatus = CsmiNoDevice;
        } else {
            const bool ok = run(d, faulted, kind, task, moved);
            status.connectionStatus = d->spec().csmi->connectionStatus;
            const bool error = !ok || d->spec().csmi->statusFisError;
            status.statusFis[disk::CsmiStatusFisStatus] = error ? 0x51 : 0x50;
            status.statusFis[3] = error ? AtaAbort : 0;
            status.dataBytes = ok ? static_cast<std::uint32_t>(moved.size()) : 0;
        }
        disk::writeLayout(output, stp);
        return true;
    }

    SimDisks& disks_;
    std::string path_;
    bool port_;
    int number_;
    int drive_;  // the physical drive a command goes to
    std::uint32_t error_ = ErrorGenFailure;
    static constexpr int VxdDrives = 4;
};

SimDisks::SimDisks(Machine& machine) : machine_(machine) {
    // Windows 9x loads the S.M.A.R.T. driver at its start, when it is in place.
    const std::string vxd = "\\\\.\\SMARTVSD";
    machine_.addDevice(vxd, [this, vxd]() -> std::unique_ptr<Device> {
        if (machine_.osVersion().platformId != 1 || !machine_.loadedAtStart("IOSUBSYS\\SMARTVSD.VXD")) return nullptr;
        return std::make_unique<SimDiskDevice>(*this, vxd, false, SimDiskDevice::EveryDrive);
    });
}

void SimDisks::record(SimDiskRequest request) {
    constexpr std::size_t Kept = 4096;
    if (recorder_.size() >= 2 * Kept) recorder_.erase(recorder_.begin(), recorder_.end() - Kept);
    recorder_.push_back(std::move(request));
}

SimDiskFault& SimDisks::pathFault(const std::string& path) { return pathFaults_[asciiLower(path)]; }

SimAtaDisk* SimDisks::find(const std::string& name) {
    for (auto& d : disks_)
        if (d->spec().name == name) return d.get();
    return nullptr;
}

void SimDisks::expose(const std::string& path, bool port, int number) {
    machine_.addDevice(path, [this, path, port, number]() -> std::unique_ptr<Device> {
        if (pathFault(path).kind == SimDiskFault::Kind::Vanish) return nullptr;
        // A vanished disk takes a path that only it serves with it.
        bool vanished = false, served = false;
        for (auto& d : disks_) {
            const auto& s = d->spec();
            const bool here = port ? ((s.scsi && s.scsi->port == number) || (s.csmi && s.csmi->port == number))
                                   : ((s.physical && s.physical->drive == number) ||
                                      (s.threeWare && s.threeWare->drive == number));
            if (!here) continue;
            (s.fault.kind == SimDiskFault::Kind::Vanish ? vanished : served) = true;
        }
        if (vanished && !served) return nullptr;
        return std::make_unique<SimDiskDevice>(*this, path, port, number);
    });
}

SimAtaDisk& SimDisks::add(SimDiskSpec spec) {
    const auto drivePath = [](int n) { return "\\\\.\\PhysicalDrive" + std::to_string(n); };
    const auto portPath = [](int n) { return "\\\\.\\Scsi" + std::to_string(n) + ":"; };
    if (spec.physical) expose(drivePath(spec.physical->drive), false, spec.physical->drive);
    if (spec.threeWare) expose(drivePath(spec.threeWare->drive), false, spec.threeWare->drive);
    if (spec.scsi) expose(portPath(spec.scsi->port), true, spec.scsi->port);
    if (spec.csmi) expose(portPath(spec.csmi->port), true, spec.csmi->port);
    disks_.push_back(std::make_unique<SimAtaDisk>(std::move(spec), machine_.clock()));
    return *disks_.back();
}

SimDisks& Machine::disks() {
    if (!disks_) disks_ = std::make_shared<SimDisks>(*this);
    return *disks_;
}

}  // namespace platform::sim
