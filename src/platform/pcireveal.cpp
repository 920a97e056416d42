#include "platform/pcireveal.h"

#include "platform/platform.h"

namespace platform {
namespace {

// Configuration cycles reach every function, hidden a moment ago or not.
class BusAnswersDirectly : public PciReveal {
public:
    bool canReveal(std::string&) override { return true; }
    std::optional<std::string> reveal() override { return std::nullopt; }
};

}  // namespace

PciReveal& Platform::pciReveal() {
    static BusAnswersDirectly direct;
    return direct;
}

}  // namespace platform
