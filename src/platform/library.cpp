#include "platform/library.h"

#include "platform/platform.h"

namespace platform {

Libraries& Platform::libraries() {
    static NoLibraries none;
    return none;
}

}  // namespace platform
