#pragma once
// PCI functions of the simulated machine behind configuration mechanism 1:
// a dword address latch at port 0CF8h and the selected register's data at
// 0CFCh-0CFFh. Absent functions read all ones.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/sim/portspace.h"

namespace platform::sim {

struct PciLocation {
    unsigned bus = 0, device = 0, function = 0;
    auto operator<=>(const PciLocation&) const = default;
};

using PciConfigSpace = std::array<std::uint8_t, 256>;

// A function with behaviour of its own: told of each configuration access
// before a read and after a write, so it can bring its registers up to date.
class PciFunctionModel {
public:
    virtual ~PciFunctionModel() = default;
    virtual void beforeRead(PciConfigSpace& config, unsigned offset, int width) = 0;
    virtual void afterWrite(PciConfigSpace& config, unsigned offset, int width) = 0;
};

class PciBus : public PortDevice {
public:
    static constexpr std::uint16_t AddressPort = 0xCF8;
    static constexpr std::uint16_t DataPort = 0xCFC;

    // Throws std::invalid_argument for a location out of range (bus 0-255,
    // device 0-31, function 0-7) or one that already holds a function.
    void addFunction(const PciLocation& at, const PciConfigSpace& config);
    // nullptr when no function is there.
    PciConfigSpace* function(const PciLocation& at);
    // Gives the function at `at` (which must exist) one more behaviour; each
    // sees every access, in the order attached.
    void attachModel(const PciLocation& at, std::shared_ptr<PciFunctionModel> model);
    // The behaviour given to the function at `at`; nullptr when it has none.
    PciFunctionModel* model(const PciLocation& at) const;
    // Bits of a register that the program's writes may change (by default
    // all); the function at `at` must exist.
    void setWriteMask(const PciLocation& at, unsigned offset, std::uint8_t mask);
    // The function answers configuration cycles only while `visible` holds
    // (a function that the chipset hides); the function must exist.
    void setVisibility(const PciLocation& at, std::function<bool()> visible);

    std::uint32_t read(std::uint16_t port, int width) override;
    void write(std::uint16_t port, int width, std::uint32_t value) override;

private:
    // The function and register offset the latch selects for a data access.
    PciConfigSpace* selected(std::uint16_t port, int width, unsigned& offset);
    const std::vector<std::shared_ptr<PciFunctionModel>>& selectedModels() const;

    std::uint32_t address_ = 0;
    std::map<PciLocation, PciConfigSpace> functions_;
    std::map<PciLocation, std::vector<std::shared_ptr<PciFunctionModel>>> models_;
    std::map<PciLocation, std::array<std::uint8_t, 256>> writeMasks_;
    std::map<PciLocation, std::function<bool()>> visibility_;
};

}  // namespace platform::sim
