#include "platform/sim/simgpulibraries.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/gpulibraries.h"

namespace platform::sim {
namespace {

namespace nv = platform::nvapi;
namespace ad = platform::adl;
using Graphics = std::shared_ptr<SimGraphics>;

constexpr nv::Status NvError = -1, NvInvalidArgument = -5, NvEndEnumeration = -7, NvIncompatibleVersion = -9,
                     NvI2CFailed = -112;
constexpr int AdlError = -1, AdlNotSupported = -8;

// Applies a configured fault: throws, or answers its status (0: no fault).
std::int32_t faultOf(const std::map<std::string, SimCallFault>& faults, const std::string& name) {
    const auto it = faults.find(name);
    if (it == faults.end()) return 0;
    if (it->second.raises) throw std::runtime_error("Access violation in " + name);
    return it->second.status;
}

void putText(char* target, const std::string& text) {
    const std::size_t n = std::min(text.size(), nv::TextSize - 1);
    std::memcpy(target, text.data(), n);
    target[n] = 0;
}

std::uintptr_t handleOf(const SimNvApi& api, const SimNvGpu& gpu) {
    return gpu.handle + static_cast<std::uintptr_t>(api.enumerations) * 0x100;
}

const SimNvGpu* gpuOf(const SimNvApi& api, nv::Handle handle) {
    for (const SimNvGpu& gpu : api.gpus)
        if (handleOf(api, gpu) == reinterpret_cast<std::uintptr_t>(handle)) return &gpu;
    return nullptr;
}

const SimNvDisplay* displayOf(const SimNvApi& api, nv::Handle handle) {
    for (const auto* list : {&api.displays, &api.unattached})
        for (const SimNvDisplay& display : *list)
            if (display.handle == reinterpret_cast<std::uintptr_t>(handle)) return &display;
    return nullptr;
}

// One NVAPI function: checks the fault list, then runs the body.
template <class Shape, class Body>
std::any nvFunction(const Graphics& graphics, const std::string& name, Body body) {
    return std::function<Shape>([graphics, name, body](auto... args) -> nv::Status {
        if (const auto status = faultOf(graphics->nvapi.faults, name)) return status;
        return body(graphics->nvapi, args...);
    });
}

// A GPU function: an unknown handle is an error.
template <class Shape, class Body>
std::any gpuFunction(const Graphics& graphics, const std::string& name, Body body) {
    return nvFunction<Shape>(graphics, name, [body](SimNvApi& api, nv::Handle handle, auto... args) -> nv::Status {
        const SimNvGpu* gpu = gpuOf(api, handle);
        return gpu ? body(*gpu, args...) : NvInvalidArgument;
    });
}

nv::Status enumDisplays(const std::vector<SimNvDisplay>& list, std::uint32_t index, nv::Handle* handle) {
    if (index >= list.size()) return NvEndEnumeration;
    *handle = reinterpret_cast<nv::Handle>(static_cast<std::uintptr_t>(list[index].handle));
    return 0;
}

bool versionIs(const std::uint8_t* record, std::uint32_t version) { return getDWord(record, 0) == version; }

// One I2C transaction on the GPU's port: the register address bytes, then
// the data written, or read after a repeated start.
nv::Status i2cTransfer(const SimNvGpu& gpu, nv::I2CRequest* request, bool read) {
    if (!request || request->Version != nv::I2CRequestVersion) return NvIncompatibleVersion;
    if ((request->RegisterSize && !request->RegisterAddress) || (request->DataSize && !request->Data))
        return NvInvalidArgument;
    const auto port = gpu.i2c.find(request->Port);
    if (port == gpu.i2c.end()) return NvI2CFailed;
    I2CSlaves& bus = *port->second;
    const auto address = static_cast<std::uint8_t>(request->DeviceAddress & 0xFE);
    bool ok = bus.address(address);
    for (std::uint32_t i = 0; ok && i < request->RegisterSize; ++i) ok = bus.write(request->RegisterAddress[i]);
    if (ok && read) {
        ok = bus.address(address | 1);
        for (std::uint32_t i = 0; ok && i < request->DataSize; ++i) request->Data[i] = bus.read();
    } else {
        for (std::uint32_t i = 0; ok && i < request->DataSize; ++i) ok = bus.write(request->Data[i]);
    }
    bus.stop();
    return ok ? 0 : NvI2CFailed;
}

std::map<std::string, std::any> nvFunctions(const Graphics& g) {
    namespace r = nv::record;
    std::map<std::string, std::any> f;
    f["NVAPI_GetErrorMessage"] = nvFunction<nv::StatusText>(g, "NVAPI_GetErrorMessage",
        [](SimNvApi&, nv::Status status, char* text) {
            putText(text, "NVAPI_STATUS_" + std::to_string(status));
            return 0;
        });
    f["NVAPI_GetInterfaceVersionString"] = nvFunction<nv::TextOut>(g, "NVAPI_GetInterfaceVersionString",
        [](SimNvApi& api, char* text) {
            putText(text, api.interfaceVersion);
            return 0;
        });
    f["NVAPI_SYS_GetDriverAndBranchVersion"] = nvFunction<nv::VersionAndText>(g,
        "NVAPI_SYS_GetDriverAndBranchVersion", [](SimNvApi& api, std::uint32_t* version, char* text) {
            *version = api.driverVersion;
            putText(text, api.branch);
            return 0;
        });
    f["NVAPI_EnumNvidiaDisplayHandle"] = nvFunction<nv::EnumHandle>(g, "NVAPI_EnumNvidiaDisplayHandle",
        [](SimNvApi& api, std::uint32_t index, nv::Handle* handle) { return enumDisplays(api.displays, index, handle); });
    f["NVAPI_EnumNvidiaUnAttachedDisplayHandle"] = nvFunction<nv::EnumHandle>(g,
        "NVAPI_EnumNvidiaUnAttachedDisplayHandle", [](SimNvApi& api, std::uint32_t index, nv::Handle* handle) {
            return enumDisplays(api.unattached, index, handle);
        });
    f["NVAPI_GetDisplayDriverVersion"] = nvFunction<nv::HandleRecord>(g, "NVAPI_GetDisplayDriverVersion",
        [](SimNvApi& api, nv::Handle display, std::uint8_t* record) {
            if (!displayOf(api, display)) return NvInvalidArgument;
            if (!versionIs(record, r::DisplayDriverVersion)) return NvIncompatibleVersion;
            putDWord(record, 4, api.driverVersion);
            putDWord(record, 8, api.buildChangeList);
            putText(reinterpret_cast<char*>(record + 12), api.branch);
            return 0;
        });
    f["NVAPI_GetDriverMemoryInfo"] = nvFunction<nv::HandleRecord>(g, "NVAPI_GetDriverMemoryInfo",
        [](SimNvApi& api, nv::Handle handle, std::uint8_t* record) {
            const SimNvDisplay* display = displayOf(api, handle);
            if (!display) return NvInvalidArgument;
            if (!versionIs(record, r::DriverMemoryInfo)) return NvIncompatibleVersion;
            putDWord(record, 4, display->dedicated);
            putDWord(record, 8, display->system);
            putDWord(record, 12, display->shared);
            return 0;
        });
    f["NVAPI_GetDisplayDriverMemoryInfo"] = nvFunction<nv::HandleRecord>(g, "NVAPI_GetDisplayDriverMemoryInfo",
        [](SimNvApi& api, nv::Handle handle, std::uint8_t* record) {
            const SimNvDisplay* display = displayOf(api, handle);
            if (!display) return NvInvalidArgument;
            if (!versionIs(record, r::DisplayDriverMemoryInfo)) return NvIncompatibleVersion;
            const std::uint32_t values[] = {display->dedicated, display->available, display->system, display->shared,
                                            display->currentAvailable};
            for (std::size_t i = 0; i < 5; ++i) putDWord(record, 4 + 4 * i, values[i]);
            return 0;
        });
    f["NVAPI_EnumPhysicalGPUs"] = nvFunction<nv::EnumGpus>(g, "NVAPI_EnumPhysicalGPUs",
        [](SimNvApi& api, nv::Handle* handles, std::uint32_t* count) {
            ++api.enumerations;
            const std::size_t n = std::min(api.gpus.size(), nv::MaxGpus);
            for (std::size_t i = 0; i < n; ++i) handles[i] = reinterpret_cast<nv::Handle>(handleOf(api, api.gpus[i]));
            *count = api.claimedGpus ? api.claimedGpus : static_cast<std::uint32_t>(n);
            return 0;
        });
    f["NVAPI_GPU_GetFullName"] = gpuFunction<nv::HandleText>(g, "NVAPI_GPU_GetFullName",
        [](const SimNvGpu& gpu, char* text) {
            putText(text, gpu.name);
            return 0;
        });
    f["NVAPI_GPU_GetPCIIdentifiers"] = gpuFunction<nv::PciIdentifiers>(g, "NVAPI_GPU_GetPCIIdentifiers",
        [](const SimNvGpu& gpu, std::uint32_t* device, std::uint32_t* sub, std::uint32_t* rev, std::uint32_t* ext) {
            *device = gpu.deviceId;
            *sub = gpu.subSystemId;
            *rev = gpu.revisionId;
            *ext = gpu.extDeviceId;
            return 0;
        });
    const std::pair<const char*, std::uint32_t SimNvGpu::*> values[] = {{"NVAPI_GPU_GetBusId", &SimNvGpu::bus},
                                                                        {"NVAPI_GPU_GetBusSlotId", &SimNvGpu::slot},
                                                                        {"NVAPI_GPU_GetTachReading", &SimNvGpu::tach},
                                                                        {"NVAPI_GPU_GetRamType", &SimNvGpu::ramType}};
    for (const auto& [name, field] : values)
        f[name] = gpuFunction<nv::HandleValue>(g, name, [member = field](const SimNvGpu& gpu, std::uint32_t* value) {
            *value = gpu.*member;
            return 0;
        });
    f["NvAPI_GPU_GetThermalSettings"] = gpuFunction<nv::HandleIndexRecord>(g, "NvAPI_GPU_GetThermalSettings",
        [](const SimNvGpu& gpu, std::uint32_t, std::uint8_t* record) {
            if (!versionIs(record, r::ThermalSettings)) return NvIncompatibleVersion;
            const std::size_t n = std::min(gpu.sensors.size(), r::MaxThermalSensors);
            putDWord(record, r::ThermalCount, gpu.claimedSensors ? gpu.claimedSensors : static_cast<std::uint32_t>(n));
            for (std::size_t i = 0; i < n; ++i) {
                const SimNvThermalSensor& s = gpu.sensors[i];
                const std::uint32_t fields[] = {s.controller, s.defaultMin, s.defaultMax, s.current, s.target};
                for (std::size_t k = 0; k < 5; ++k)
                    putDWord(record, r::ThermalSensors + i * r::ThermalSensorSize + 4 * k, fields[k]);
            }
            return 0;
        });
    f["NVAPI_GPU_GetCoolerSettings"] = gpuFunction<nv::HandleIndexRecord>(g, "NVAPI_GPU_GetCoolerSettings",
        [](const SimNvGpu& gpu, std::uint32_t, std::uint8_t* record) {
            if (!versionIs(record, r::CoolerSettings)) return NvIncompatibleVersion;
            const std::size_t n = std::min(gpu.coolers.size(), r::MaxCoolers);
            putDWord(record, r::CoolerCount, gpu.claimedCoolers ? gpu.claimedCoolers : static_cast<std::uint32_t>(n));
            for (std::size_t i = 0; i < n; ++i) {
                const SimNvCooler& c = gpu.coolers[i];
                const std::uint32_t fields[] = {c.type,      c.controller,   c.defaultMin,    c.defaultMax,
                                                c.currentMin, c.currentMax,   c.currentLevel,  c.defaultPolicy,
                                                c.currentPolicy, c.target};
                for (std::size_t k = 0; k < 10; ++k) putDWord(record, r::Coolers + i * r::CoolerSize + 4 * k, fields[k]);
            }
            return 0;
        });
    f["NVAPI_GPU_GetVoltages"] = gpuFunction<nv::HandleRecord>(g, "NVAPI_GPU_GetVoltages",
        [](const SimNvGpu& gpu, std::uint8_t* record) {
            if (!versionIs(record, r::Voltages)) return NvIncompatibleVersion;
            const std::size_t n = std::min(gpu.voltageDomains.size(), r::MaxVoltageDomains);
            putDWord(record, r::VoltageDomainCount, static_cast<std::uint32_t>(n));
            for (std::size_t d = 0; d < n; ++d) {
                std::uint8_t* domain = record + r::VoltageDomains + d * r::VoltageDomainSize;
                const auto& voltages = gpu.voltageDomains[d].voltages;
                const std::size_t entries = std::min(voltages.size(), r::MaxVoltageEntries);
                putDWord(domain, 0, gpu.voltageDomains[d].id);
                putDWord(domain, r::VoltageEntryCount, static_cast<std::uint32_t>(entries));
                for (std::size_t e = 0; e < entries; ++e)
                    putDWord(domain, r::VoltageEntries + e * r::VoltageEntrySize + 4, voltages[e]);
            }
            return 0;
        });
    for (const bool read : {true, false}) {
        const char* name = read ? "NvAPI_I2CRead" : "NVAPI_I2CWrite";
        const char* nameEx = read ? "NVAPI_I2CReadEx" : "NVAPI_I2CWriteEx";
        f[name] = gpuFunction<nv::I2C>(g, name, [read](const SimNvGpu& gpu, nv::I2CRequest* request) {
            return i2cTransfer(gpu, request, read);
        });
        f[nameEx] = gpuFunction<nv::I2CEx>(g, nameEx, [read](const SimNvGpu& gpu, nv::I2CRequest* request, std::uint32_t*) {
            return i2cTransfer(gpu, request, read);
        });
    }
    return f;
}

SimLibrary nvApiLibrary(const Graphics& g) {
    auto functions = std::make_shared<const std::map<std::string, std::any>>(nvFunctions(g));
    SimLibrary library;
    library.handle = 0x30000000;
    library.add<nv::QueryInterface>(nv::QueryInterfaceName, [g, functions](std::uint32_t id) {
        if (id == nv::InitializeId)
            return nv::Entry{0x30001000, std::function<nv::NoArguments>([g] { return g->nvapi.initStatus; })};
        for (std::size_t i = 0; i < nv::Functions.size(); ++i) {
            const std::string name(nv::Functions[i].name);
            if (nv::Functions[i].id != id || g->nvapi.missing.contains(name)) continue;
            const auto it = functions->find(name);
            // Functions the program binds but never calls answer an error.
            std::any function = it != functions->end() ? it->second
                                                        : std::any(std::function<nv::NoArguments>([] { return NvError; }));
            return nv::Entry{0x30002000 + 0x10 * i, std::move(function)};
        }
        return nv::Entry{};
    });
    return library;
}

SimLibrary nvCplLibrary(const Graphics& g) {
    SimLibrary library;
    library.handle = 0x31000000;
    if (!g->nvcpl.linked) return library;
    library.add<platform::nvcpl::ThermalSettings>(platform::nvcpl::GetThermalSettings,
        [g](std::uint32_t monitor, std::uint32_t* core, std::uint32_t* ambient, std::uint32_t* limit) {
            const auto it = g->nvcpl.monitors.find(monitor);
            if (it == g->nvcpl.monitors.end()) return 0;
            *core = static_cast<std::uint32_t>(it->second[0]);
            *ambient = static_cast<std::uint32_t>(it->second[1]);
            *limit = static_cast<std::uint32_t>(it->second[2]);
            return 1;
        });
    return library;
}

SimAdlCard* adlCardOf(SimAdl& adl, int adapter) {
    for (SimAdlCard& card : adl.cards)
        if (std::find(card.adapters.begin(), card.adapters.end(), adapter) != card.adapters.end()) return &card;
    return nullptr;
}

// One card function: an unknown adapter is an error; the card's faults apply.
template <class Shape, class Body>
void addCardFunction(SimLibrary& library, const Graphics& g, const std::string& name, Body body) {
    if (g->adl.missing.contains(name)) return;
    library.add<Shape>(name, [g, name, body](int adapter, auto... args) -> int {
        SimAdlCard* card = adlCardOf(g->adl, adapter);
        if (!card) return AdlError;
        if (const int status = faultOf(card->faults, name)) return status;
        return body(*card, args...);
    });
}

void putAdapterText(std::uint8_t* record, std::size_t offset, const std::string& text) {
    std::memcpy(record + offset, text.data(), std::min(text.size(), ad::NameSize - 1));
}

void addAdlControl(SimLibrary& library, const Graphics& g) {
    const auto add = [&](const char* name, auto function) {
        if (!g->adl.missing.contains(name)) library.entries[name] = function;
    };
    add(ad::MainControlCreate, std::function<ad::Create>([g](ad::Allocate allocate, int) {
            ++g->adl.creates;
            // The library keeps a buffer of its own from the caller's routine.
            if (allocate && allocate(64)) ++g->adl.allocations;
            return 0;
        }));
    add(ad::MainControlDestroy, std::function<ad::NoArguments>([g] {
            ++g->adl.destroys;
            return 0;
        }));
    add(ad::GraphicsPlatformGet, std::function<ad::IntOut>([](int* value) {
            *value = 0;
            return 0;
        }));
    add(ad::NumberOfAdaptersGet, std::function<ad::IntOut>([g](int* count) {
            int n = 0;
            for (const SimAdlCard& card : g->adl.cards) n += static_cast<int>(card.adapters.size());
            *count = n;
            return 0;
        }));
    add(ad::AdapterInfoGet, std::function<ad::BufferIn>([g](std::uint8_t* buffer, int size) {
            int at = 0;
            for (const SimAdlCard& card : g->adl.cards) {
                for (const int adapter : card.adapters) {
                    if (static_cast<std::size_t>(at + 1) * ad::AdapterInfoSize > static_cast<std::size_t>(size))
                        return AdlError;
                    std::uint8_t* record = buffer + static_cast<std::size_t>(at++) * ad::AdapterInfoSize;
                    namespace a = ad::adapter;
                    putDWord(record, 0, ad::AdapterInfoSize);
                    putDWord(record, a::Index, static_cast<std::uint32_t>(adapter));
                    putDWord(record, a::Bus, static_cast<std::uint32_t>(card.bus));
                    putDWord(record, a::Device, static_cast<std::uint32_t>(card.device));
                    putDWord(record, a::Function, static_cast<std::uint32_t>(card.function));
                    putDWord(record, a::VendorId, 0x1002);
                    putAdapterText(record, a::AdapterName, card.name);
                    putAdapterText(record, a::DisplayName, "\\\\.\\DISPLAY" + std::to_string(adapter + 1));
                    putDWord(record, a::Present, 1);
                    putDWord(record, a::Exist, 1);
                }
            }
            return 0;
        }));
    add(ad::ODClockInfoGet, std::function<ad::AdapterRecord>([](int, std::uint8_t*) { return AdlNotSupported; }));
}

void addAdlCardFunctions(SimLibrary& library, const Graphics& g) {
    addCardFunction<ad::AdapterTwoInts>(library, g, ad::I2CRevGet, [](SimAdlCard&, int* major, int* minor) {
        *major = 1;
        *minor = 0;
        return 0;
    });
    addCardFunction<ad::AdapterRecord>(library, g, ad::WriteAndReadI2C, [](SimAdlCard& card, std::uint8_t* record) {
        ad::I2CRequest request;
        std::memcpy(&request, record, sizeof request);
        const auto line = card.i2c.find(request.Line);
        if (line == card.i2c.end()) return AdlError;
        const auto device = line->second.find(request.Address >> 1);
        if (device == line->second.end() || request.Action != ad::I2CRead || !request.Data) return AdlError;
        const auto& registers = device->second;
        const auto offset = static_cast<std::size_t>(request.Offset);
        *request.Data = static_cast<char>(offset < registers.size() ? registers[offset] : 0xFF);
        return 0;
    });
    addCardFunction<ad::AdapterRecord>(library, g, ad::CurrentActivityGet, [](SimAdlCard& card, std::uint8_t* record) {
        const std::int32_t fields[] = {card.engineClock, card.memoryClock, card.vddc, card.activity};
        for (std::size_t i = 0; i < 4; ++i) putDWord(record, 4 + 4 * i, static_cast<std::uint32_t>(fields[i]));
        return 0;
    });
    addCardFunction<ad::ControllerRecord>(library, g, ad::TemperatureGet, [](SimAdlCard& card, int, std::uint8_t* record) {
        putDWord(record, 4, static_cast<std::uint32_t>(card.millidegrees));
        return 0;
    });
    addCardFunction<ad::ControllerRecord>(library, g, ad::FanSpeedInfoGet, [](SimAdlCard& card, int, std::uint8_t* record) {
        namespace f = ad::fan;
        const std::pair<std::size_t, std::int32_t> fields[] = {{f::Flags, card.fanFlags},   {f::MinPercent, card.minPercent},
                                                               {f::MaxPercent, card.maxPercent}, {f::MinRPM, card.minRPM},
                                                               {f::MaxRPM, card.maxRPM}};
        for (const auto& [offset, value] : fields) putDWord(record, offset, static_cast<std::uint32_t>(value));
        return 0;
    });
    addCardFunction<ad::ControllerRecord>(library, g, ad::FanSpeedGet, [](SimAdlCard& card, int, std::uint8_t* record) {
        namespace f = ad::fan;
        const auto type = static_cast<int>(getDWord(record, f::SpeedType));
        if (type != f::Percent && type != f::RPM) return AdlError;
        putDWord(record, f::Speed, static_cast<std::uint32_t>(type == f::RPM ? card.rpm : card.percent));
        putDWord(record, f::ValueFlags, card.manual ? f::UserDefined : 0);
        return 0;
    });
    addCardFunction<ad::ControllerRecord>(library, g, ad::FanSpeedSet, [](SimAdlCard& card, int, std::uint8_t* record) {
        namespace f = ad::fan;
        const auto speed = static_cast<std::int32_t>(getDWord(record, f::Speed));
        if (static_cast<int>(getDWord(record, f::SpeedType)) != f::Percent || card.refuseAll || speed < card.acceptMin ||
            speed > card.acceptMax)
            return AdlError;
        card.lastSet = speed;
        card.percent = speed;
        card.manual = (getDWord(record, f::ValueFlags) & f::UserDefined) != 0;
        return 0;
    });
    addCardFunction<ad::AdapterController>(library, g, ad::FanSpeedToDefaultSet, [](SimAdlCard& card, int) {
        ++card.toDefaultCalls;
        card.manual = false;
        return 0;
    });
}

SimLibrary adlLibrary(const Graphics& g) {
    SimLibrary library;
    library.handle = 0x32000000;
    addAdlControl(library, g);
    addAdlCardFunctions(library, g);
    return library;
}

}  // namespace

void placeGraphicsLibraries(SimLibraries& libraries, const std::shared_ptr<SimGraphics>& graphics) {
    if (graphics->nvapi.present) libraries.place(nv::FileName, nvApiLibrary(graphics));
    if (graphics->nvcpl.present) libraries.place(platform::nvcpl::FileName, nvCplLibrary(graphics));
    if (!graphics->adl.path.empty()) libraries.place(graphics->adl.path, adlLibrary(graphics));
}

}  // namespace platform::sim
