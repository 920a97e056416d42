#include "app/wireservices.h"

#include "core/cvmonitor.h"
#include "cpu/noscpuidmsr.h"
#include "detect/cvsensordetection.h"

namespace {

class TServices : public TWiredServices {
public:
    explicit TServices(TMonitor& monitor) : detection_(monitor) {
        detection_.Install();
        monitor.Cpu.SetMsrReader = [](std::function<std::uint64_t(std::uint32_t)> reader) {
            SetMsrReader(std::move(reader));
        };
    }

private:
    TSensorDetection detection_;
};

}  // namespace

std::unique_ptr<TWiredServices> WireServices(TMonitor& monitor) { return std::make_unique<TServices>(monitor); }
