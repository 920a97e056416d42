#include "platform/sim/pcibus.h"

#include <stdexcept>
#include <string>

namespace platform::sim {

namespace {
std::string describe(const PciLocation& at) {
    return "bus " + std::to_string(at.bus) + " device " + std::to_string(at.device) + " function " +
           std::to_string(at.function);
}
}  // namespace

void PciBus::addFunction(const PciLocation& at, const PciConfigSpace& config) {
    if (at.bus > 255 || at.device > 31 || at.function > 7)
        throw std::invalid_argument("PCI function out of range: " + describe(at));
    if (!functions_.emplace(at, config).second) throw std::invalid_argument("two PCI functions at " + describe(at));
}

PciConfigSpace* PciBus::function(const PciLocation& at) {
    const auto found = functions_.find(at);
    return found == functions_.end() ? nullptr : &found->second;
}

void PciBus::attachModel(const PciLocation& at, std::shared_ptr<PciFunctionModel> model) {
    if (!function(at)) throw std::invalid_argument("no PCI function at " + describe(at));
    models_[at].push_back(std::move(model));
}

PciFunctionModel* PciBus::model(const PciLocation& at) const {
    const auto found = models_.find(at);
    return found == models_.end() || found->second.empty() ? nullptr : found->second.front().get();
}

void PciBus::setWriteMask(const PciLocation& at, unsigned offset, std::uint8_t mask) {
    if (!function(at)) throw std::invalid_argument("no PCI function at " + describe(at));
    if (offset > 255) throw std::invalid_argument("no PCI register " + std::to_string(offset));
    auto [masks, added] = writeMasks_.try_emplace(at);
    if (added) masks->second.fill(0xFF);
    masks->second[offset] = mask;
}

void PciBus::setVisibility(const PciLocation& at, std::function<bool()> visible) {
    if (!function(at)) throw std::invalid_argument("no PCI function at " + describe(at));
    visibility_[at] = std::move(visible);
}

const std::vector<std::shared_ptr<PciFunctionModel>>& PciBus::selectedModels() const {
    static const std::vector<std::shared_ptr<PciFunctionModel>> none;
    const auto found = models_.find({(address_ >> 16) & 0xFFu, (address_ >> 11) & 0x1Fu, (address_ >> 8) & 0x7u});
    return found == models_.end() ? none : found->second;
}

PciConfigSpace* PciBus::selected(std::uint16_t port, int width, unsigned& offset) {
    if ((address_ & 0x80000000u) == 0) return nullptr;
    offset = (address_ & 0xFCu) + (port - DataPort);
    if (offset + static_cast<unsigned>(width) > 256) return nullptr;
    const PciLocation at{(address_ >> 16) & 0xFFu, (address_ >> 11) & 0x1Fu, (address_ >> 8) & 0x7u};
    const auto visible = visibility_.find(at);
    if (visible != visibility_.end() && !visible->second()) return nullptr;
    return function(at);
}

std::uint32_t PciBus::read(std::uint16_t port, int width) {
    if (port < DataPort) return port == AddressPort && width == 4 ? address_ : 0xFFFFFFFFu;
    unsigned offset = 0;
    PciConfigSpace* config = selected(port, width, offset);
    if (!config) return 0xFFFFFFFFu;
    for (const auto& model : selectedModels()) model->beforeRead(*config, offset, width);
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) value |= std::uint32_t{(*config)[offset + i]} << (8 * i);
    return value;
}

void PciBus::write(std::uint16_t port, int width, std::uint32_t value) {
    if (port < DataPort) {
        if (port == AddressPort && width == 4) address_ = value;
        return;
    }
    unsigned offset = 0;
    PciConfigSpace* config = selected(port, width, offset);
    if (!config) return;
    const auto masks = writeMasks_.find({(address_ >> 16) & 0xFFu, (address_ >> 11) & 0x1Fu, (address_ >> 8) & 0x7u});
    for (int i = 0; i < width; ++i) {
        const std::uint8_t mask = masks == writeMasks_.end() ? 0xFF : masks->second[offset + i];
        std::uint8_t& reg = (*config)[offset + i];
        reg = static_cast<std::uint8_t>((reg & ~mask) | (static_cast<std::uint8_t>(value >> (8 * i)) & mask));
    }
    for (const auto& model : selectedModels()) model->afterWrite(*config, offset, width);
}

}  // namespace platform::sim
