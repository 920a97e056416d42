#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {
Platform* installed = nullptr;
}

Platform& current() {
    if (!installed) {
        std::fputs("caldavor: no platform installed\n", stderr);
        std::abort();
    }
    return *installed;
}

bool isInstalled() { return installed != nullptr; }

ScopedPlatform::ScopedPlatform(Platform& platform) : previous_(installed) { installed = &platform; }

ScopedPlatform::~ScopedPlatform() { installed = previous_; }

}  // namespace platform
