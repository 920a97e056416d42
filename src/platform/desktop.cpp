#include "platform/desktop.h"

#include "platform/platform.h"

namespace platform {

Desktop& Platform::desktop() {
    static NoDesktop none;
    return none;
}

}  // namespace platform
