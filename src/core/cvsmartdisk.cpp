#include "core/cvsmartdisk.h"

#include "base/cvformat.h"
#include "core/cvsensors.h"
#include "hw/cvlink.h"

bool IsDiskLink(const TSensor& sensor) {
    if (!sensor.FLink) return false;
    switch (sensor.FLink->LinkKind()) {
    case LinkKinds::SMART:
    case LinkKinds::ArecaRAID:
    case LinkKinds::AMCC3wareRAID:
    case LinkKinds::AdvSMART:
        return true;
    default:
        return false;
    }
}

std::string HealthPercentText(std::optional<double> fraction) {
    return fraction ? cvformat::Format("%.0f", {*fraction * 100}) : "???";
}
