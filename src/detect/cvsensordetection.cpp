#include "detect/cvsensordetection.h"

#include "core/cvmonitor.h"
#include "detect/cvdetect.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvdiscoveredsensors.h"
#include "detect/cvsmbusprobe.h"

namespace {

class TEngineRun : public TDetectionRun {
public:
    TEngineRun(TMonitor& monitor, TSensorFactory& factory)
        : engine_(TDetectionEngine::ForSinks(monitor.Log)), context_{monitor, factory, engine_} {}
    TDetectionContext& Context() override { return context_; }

private:
    TDetectionEngine engine_;
    TDetectionContext context_;
};

}  // namespace

std::unique_ptr<TDetectionRun> TSensorDetection::BeginDetection() {
    return std::make_unique<TEngineRun>(monitor_, factory_);
}

void TSensorDetection::Install() {
    monitor_.Detection = this;
    monitor_.AddDiscoveredSensor = DiscoveredSensorSink(monitor_, factory_);
    monitor_.DetectionSteps.ProbeSmbusAddress = [](TDetectionContext& context, int linkIndex, std::uint32_t address) {
        ::ProbeSmbusAddress(context, linkIndex, address);
    };
}
