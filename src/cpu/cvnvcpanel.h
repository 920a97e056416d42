#pragma once
// The NVIDIA control panel's library: per monitor the GPU core temperature,
// the ambient temperature and the limit.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gpulibraries.h"
#include "platform/library.h"

class TNVCpl {
public:
    struct TThermal {
        std::uint32_t Core = 0, Ambient = 0, Limit = 0;
    };
    bool Open();
    void Close();
    // Zeros unless the library is open and bound; never raises.
    TThermal GetThermalSettings(std::uint32_t monitorIndex);

private:
    std::unique_ptr<platform::Library> FLibrary;
    std::function<platform::nvcpl::ThermalSettings> FGetThermalSettings;
};

// The unit's start-up: makes the global object and opens it.
void InitNVCpl();
// The global object (nullptr before InitNVCpl or when its creation failed).
TNVCpl* NVCpl();
std::string GetInitError();
// The unit's finalisation: frees the object and clears the error text.
void FinalizeNVCpl();
