#include "platform/linux/nativepcireveal.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/linux/filehandle.h"

namespace platform::native {
namespace {

// 0, or the errno of the refusal.
int openRefusal(const std::string& path, int flags) {
    const FileHandle file(::open(path.c_str(), flags | O_CLOEXEC));
    return file ? 0 : errno;
}

}  // namespace

int writePciRescan(const std::string& path) {
    const FileHandle file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!file) return errno;
    return ::write(file.get(), "1", 1) == 1 ? 0 : errno;
}

NativePciReveal::Route NativePciReveal::choose(std::string& why) const {
    const int rescan = openRefusal(rescanPath(), O_WRONLY);
    if (rescan == 0) return Route::Rescan;
    const int iopl = requestPortRights_ ? requestPortRights_() : ENOSYS;
    const int devPort = iopl == 0 ? 0 : openRefusal(roots_.dev + "/port", O_RDWR);
    if (iopl == 0 || devPort == 0) return Route::Ports;
    why = rescanPath() + ": " + systemReason(rescan) + "; iopl: " + systemReason(iopl) + "; " + roots_.dev +
          "/port: " + systemReason(devPort);
    return Route::None;
}

bool NativePciReveal::canReveal(std::string& why) { return choose(why) != Route::None; }

std::optional<std::string> NativePciReveal::reveal() {
    std::string why;
    switch (choose(why)) {
        case Route::Rescan:
            if (const int refused = rescan_(rescanPath()); refused != 0)
                return "PCI rescan failed: " + systemReason(refused);
            ++sightings_->rescans;
            return std::string("PCI bus rescanned: the unhidden function is reached through sysfs");
        case Route::Ports:
            sightings_->missesThroughPorts = true;
            return std::string("The unhidden function is reached through configuration mechanism 1 on the ports");
        case Route::None: break;
    }
    return "The unhidden function cannot be reached: " + why;
}

}  // namespace platform::native
