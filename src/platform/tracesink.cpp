#include "platform/tracesink.h"

#include <atomic>

namespace platform {
namespace {
std::atomic<TraceSink> sink{nullptr};
}

void setTraceSink(TraceSink to) { sink.store(to); }

void traceLine(const std::string& line) {
    if (const TraceSink to = sink.load()) to(line);
}

}  // namespace platform
