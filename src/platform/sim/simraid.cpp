#include "platform/sim/simraid.h"

#include <algorithm>
#include <span>

#include "platform/diskctl.h"
#include "platform/sim/simdisk.h"

namespace platform::sim {
namespace {

namespace tw = raidlibraries::threeware;
namespace arc = raidlibraries::areca;

// Writes into a caller's buffer of `size` bytes, never past it.
class Reply {
public:
    Reply(std::uint8_t* buffer, std::uint32_t size) : bytes_(buffer, buffer ? size : 0) {
        std::fill(bytes_.begin(), bytes_.end(), 0);
    }
    void number(std::size_t at, std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width && at + i < bytes_.size(); ++i)
            bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    // Zero-terminated within `length`, or padded with `pad` to it.
    void text(std::size_t at, std::size_t length, const std::string& value, std::uint8_t pad = 0) {
        for (std::size_t i = 0; i < length && at + i < bytes_.size(); ++i)
            bytes_[at + i] = i < value.size() && (pad != 0 || i + 1 < length) ? static_cast<std::uint8_t>(value[i]) : pad;
    }
    void copy(std::size_t at, std::span<const std::uint8_t> from) {
        for (std::size_t i = 0; i < from.size() && at + i < bytes_.size(); ++i) bytes_[at + i] = from[i];
    }

private:
    std::span<std::uint8_t> bytes_;
};

// Adds an entry point unless the board leaves it out; a failing one answers its status.
class EntryAdder {
public:
    EntryAdder(SimLibrary& library, const SimRaidFaults& faults) : library_(library), faults_(faults) {}

    template <class Signature, class F>
    void add(const std::string& name, F function) {
        if (faults_.absent.contains(name)) return;
        const auto failing = faults_.failing.find(name);
        if (failing == faults_.failing.end()) {
            library_.add<Signature>(name, std::move(function));
            return;
        }
        const std::int32_t status = failing->second;
        library_.add<Signature>(name, [status](auto...) { return status; });
    }

private:
    SimLibrary& library_;
    const SimRaidFaults& faults_;
};

constexpr std::int32_t Failed = 1;

// The library holds its own copy of the board's description.
template <class Config>
const Config& keep(SimLibrary& library, const Config& given) {
    auto state = std::make_shared<const Config>(given);
    library.state = state;
    return *state;
}

const SimThreewareController* findController(const SimThreewareConfig& config, const tw::Id& id) {
    for (const auto& c : config.controllers)
        if (c.id == id) return &c;
    return nullptr;
}

const SimThreewareDrive* findDrive(const SimThreewareConfig& config, const tw::Id& id) {
    for (const auto& c : config.controllers)
        for (const auto& d : c.drives)
            if (d.id == id) return &d;
    return nullptr;
}

void controllerInfo(Reply& reply, const SimThreewareController& c) {
    reply.text(0, 128, c.driverVersion);
    if (c.architecture) {
        reply.number(128, 1, 1);
        reply.number(129, *c.architecture, 4);
    }
    const std::pair<std::size_t, const std::optional<std::string>*> texts[] = {
        {133, &c.model}, {198, &c.serial}, {231, &c.firmware}, {264, &c.bios}};
    for (const auto& [at, value] : texts) {
        if (!*value) continue;
        reply.number(at, 1, 1);
        reply.text(at + 1, at == 133 ? 64 : 32, **value);
    }
    for (std::size_t i = 0; i < c.counts.size(); ++i) {
        if (!c.counts[i]) continue;
        reply.number(297 + 5 * i, 1, 1);
        reply.number(298 + 5 * i, *c.counts[i], 4);
    }
}

template <class Items, class IdOf>
std::int32_t idList(Reply& reply, const Items& items, std::optional<std::uint32_t> reported, std::size_t capacity,
                    IdOf idOf) {
    for (std::size_t i = 0; i < std::min(items.size(), capacity); ++i) reply.copy(8 * i, idOf(items[i]));
    reply.number(8 * capacity, reported ? *reported : items.size(), 4);
    return 0;
}

SimAtaDisk* arecaDisk(const SimArecaConfig& config, SimDisks& disks, int controller, int slot, std::int32_t& status) {
    status = 0;
    if (controller < 0 || static_cast<std::size_t>(controller) >= config.controllers.size()) {
        status = Failed;
        return nullptr;
    }
    const auto& slots = config.controllers[static_cast<std::size_t>(controller)].slots;
    const auto it = slots.find(slot);
    SimAtaDisk* disk = it == slots.end() ? nullptr : disks.find(it->second.disk);
    if (!disk) status = 18;  // nothing in the slot
    return disk;
}

}  // namespace

std::vector<std::uint8_t> simLibraryImage(const std::string& block) {
    const std::string marker = "caldavor simulated library " + block;
    return {marker.begin(), marker.end()};
}

SimLibrary makeThreewareLibrary(const SimThreewareConfig& given, SimDisks& disks) {
    SimLibrary library;
    const auto& config = keep(library, given);
    EntryAdder entries(library, config.faults);
    const auto text = [](std::string value) {
        return [value](std::uint8_t* buffer, std::uint32_t size) {
            Reply(buffer, size).text(0, size, value);
            return 0;
        };
    };
    entries.add<tw::Buffer>(tw::GetAPIVersion, text(config.apiVersion));
    entries.add<tw::Buffer>(tw::GetAPICopyright, text("simulated controller library"));
    entries.add<tw::Buffer>(tw::GetControllerIdList, [&config](std::uint8_t* buffer, std::uint32_t size) {
        Reply reply(buffer, size);
        return idList(reply, config.controllers, config.reportedControllerCount, 16,
                      [](const SimThreewareController& c) { return std::span<const std::uint8_t>(c.id); });
    });
    entries.add<tw::IdBuffer>(tw::GetControllerInfo, [&config](tw::Id id, std::uint8_t* buffer, std::uint32_t size) {
        const auto* controller = findController(config, id);
        if (!controller) return Failed;
        Reply reply(buffer, size);
        controllerInfo(reply, *controller);
        return 0;
    });
    entries.add<tw::IdBuffer>(tw::GetDriveIdList, [&config](tw::Id id, std::uint8_t* buffer, std::uint32_t size) {
        const auto* controller = findController(config, id);
        if (!controller) return Failed;
        Reply reply(buffer, size);
        return idList(reply, controller->drives, controller->reportedDriveCount, 128,
                      [](const SimThreewareDrive& d) { return std::span<const std::uint8_t>(d.id); });
    });
    entries.add<tw::IdBuffer>(tw::GetDriveInfo, [&config, &disks](tw::Id id, std::uint8_t* buffer, std::uint32_t size) {
        const auto* drive = findDrive(config, id);
        SimAtaDisk* disk = drive ? disks.find(drive->disk) : nullptr;
        if (!disk) return Failed;
        const auto& spec = disk->spec();
        Reply reply(buffer, size);
        reply.number(0, spec.sectors, 8);
        reply.text(8, 64, spec.model);
        reply.text(72, 32, spec.serial);
        reply.text(104, 32, spec.firmware);
        reply.number(136, drive->identifyValid, 1);
        reply.copy(137, disk->identifyData());
        reply.number(649, drive->interfaceValid, 1);
        return 0;
    });
    entries.add<tw::Passthrough>(
        tw::ATAPassthrough, [&config, &disks](tw::Id id, std::uint32_t, std::uint16_t* features, std::uint16_t* count,
                                              std::uint16_t* lbaLow, std::uint16_t* lbaMid, std::uint16_t* lbaHigh,
                                              std::uint8_t* device, std::uint8_t* command, std::uint8_t* data) {
            const auto* drive = findDrive(config, id);
            SimAtaDisk* disk = drive && !drive->smartFails ? disks.find(drive->disk) : nullptr;
            if (!disk) return Failed;
            const disk::TaskFile task{static_cast<std::uint8_t>(*features), static_cast<std::uint8_t>(*count),
                                      static_cast<std::uint8_t>(*lbaLow),   static_cast<std::uint8_t>(*lbaMid),
                                      static_cast<std::uint8_t>(*lbaHigh),  *device,
                                      *command,                              0};
            return disk->execute(task, std::span<std::uint8_t>(data, 512)) ? 0 : Failed;
        });
    entries.add<tw::ErrorInformation>(tw::GetErrorInformation, [&config](std::uint8_t* buffer) {
        Reply reply(buffer, 1176);
        for (std::size_t i = 0; i < config.error.codes.size(); ++i) reply.number(4 * i, config.error.codes[i], 4);
        reply.text(20, 132, config.error.data);
        reply.text(152, 1024, config.error.text);
        return config.error.result;
    });
    return library;
}

SimLibrary makeArecaLibrary(const SimArecaConfig& given, SimDisks& disks) {
    SimLibrary library;
    const auto& config = keep(library, given);
    EntryAdder entries(library, config.faults);
    const auto controllerAt = [&config](std::int32_t c) -> const SimArecaController* {
        return c >= 0 && static_cast<std::size_t>(c) < config.controllers.size()
                   ? &config.controllers[static_cast<std::size_t>(c)]
                   : nullptr;
    };
    entries.add<arc::NoArgs>(arc::FindControllers, [&config] { return config.findStatus; });
    entries.add<arc::NoArgs>(arc::GetNumControllersFound, [&config] {
        return config.reportedControllerCount ? *config.reportedControllerCount
                                              : static_cast<std::int32_t>(config.controllers.size());
    });
    entries.add<arc::NoArgs>(arc::DLLVersion, [&config] { return config.dllVersion; });
    entries.add<arc::ControllerBuffer>(arc::GetSysInfo, [controllerAt](std::int32_t c, std::uint8_t* buffer, std::uint32_t size) {
        const auto* controller = controllerAt(c);
        if (!controller) return Failed;
        Reply(buffer, size).copy(0, controller->sysInfo);
        return 0;
    });
    entries.add<arc::ControllerBuffer>(arc::GetIdentifyString, [controllerAt](std::int32_t c, std::uint8_t* buffer,
                                                                              std::uint32_t size) {
        const auto* controller = controllerAt(c);
        if (!controller) return Failed;
        Reply(buffer, size).text(0, 128, controller->identify, ' ');
        return 0;
    });
    entries.add<arc::DriveInfo>(arc::GetPhysicalDriveInfo, [&config, &disks](std::int32_t c, std::int32_t, std::int32_t slot,
                                                                            std::uint8_t* buffer, std::uint32_t size) {
        std::int32_t status = 0;
        SimAtaDisk* disk = arecaDisk(config, disks, c, slot, status);
        if (!disk) return status;
        const auto& drive = config.controllers[static_cast<std::size_t>(c)].slots.at(slot);
        if (drive.infoStatus != 0) return drive.infoStatus;
        const auto& spec = disk->spec();
        Reply reply(buffer, size);
        reply.text(0, 40, spec.model, ' ');
        reply.text(40, 20, spec.serial, ' ');
        reply.text(60, 8, spec.firmware, ' ');
        reply.number(68, spec.sectors, 4);
        return 0;
    });
    const auto page = [&config, &disks](bool attributes) {
        return [&config, &disks, attributes](std::int32_t c, std::int32_t slot, std::uint8_t* buffer, std::uint32_t size) {
            std::int32_t status = 0;
            SimAtaDisk* disk = arecaDisk(config, disks, c, slot, status);
            if (!disk) return status;
            const auto& drive = config.controllers[static_cast<std::size_t>(c)].slots.at(slot);
            if (attributes && drive.smartStatus != 0) return drive.smartStatus;
            Reply(buffer, size).copy(0, attributes ? disk->attributeData() : disk->thresholdData());
            return 0;
        };
    };
    entries.add<arc::DriveBuffer>(arc::ReadSmartAttrs, page(true));
    entries.add<arc::DriveBuffer>(arc::ReadSmartThresholds, page(false));
    const auto count = [](const SimArecaController& c, std::size_t g) {
        return c.monitorCounts[g] ? *c.monitorCounts[g] : c.monitor[g].size();
    };
    entries.add<arc::HWMon>(arc::GetHWMon, [controllerAt, count](std::int32_t c, std::int32_t group, std::uint8_t* buffer,
                                                                std::uint32_t size) {
        const auto* controller = controllerAt(c);
        if (!controller) return Failed;
        Reply reply(buffer, size);
        if (group < 1 || group > 3) return 0;
        const auto g = static_cast<std::size_t>(group - 1);
        const auto& values = controller->monitor[g];
        reply.number(0, count(*controller, g), 2);
        for (std::size_t i = 0; i < std::min<std::size_t>(values.size(), 50); ++i) reply.number(2 + 2 * i, values[i], 2);
        return 0;
    });
    entries.add<arc::ControllerBuffer>(arc::GetHWMon5010, [controllerAt, count](std::int32_t c, std::uint8_t* buffer,
                                                                               std::uint32_t size) {
        const auto* controller = controllerAt(c);
        if (!controller) return Failed;
        Reply reply(buffer, size);
        const auto& m = controller->monitor;
        for (std::size_t g = 0; g < 3; ++g) reply.number(g, count(*controller, g), 1);
        // One fan, eight voltages, two temperatures fit the reply.
        const std::tuple<std::size_t, std::size_t, std::size_t, std::size_t> layout[] = {
            {0, 1, 4, 2}, {1, 8, 6, 2}, {2, 2, 22, 1}};
        for (const auto& [g, held, at, width] : layout)
            for (std::size_t i = 0; i < std::min(held, m[g].size()); ++i) reply.number(at + width * i, m[g][i], width);
        return 0;
    });
    return library;
}

}  // namespace platform::sim
