#include "hw/hwtrace.h"

namespace {
HwTraceSink& sink() {
    static HwTraceSink installed;
    return installed;
}
}  // namespace

void SetHwTraceSink(HwTraceSink newSink) { sink() = std::move(newSink); }

void HwTrace(std::string picture, std::initializer_list<HwTraceArg> args) {
    if (sink()) sink()(HwTraceLine{std::move(picture), args});
}
