#include "platform/linux/nativeplatform.h"

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/linux/lockfilemutex.h"
#include "platform/linux/systemlocale.h"
#include "platform/tracesink.h"

namespace platform::native {
namespace {

OsVersion nativeOsVersion() {
    OsVersion os;  // the defaults are a current NT workstation
    utsname names{};
    if (::uname(&names) == 0) {
        os.csdVersion = std::string(names.sysname) + " " + names.release;
        // A 32-bit build on a 64-bit kernel is what WOW64 means there.
        os.isWow64 = sizeof(void*) == 4 && std::string_view(names.machine) == "x86_64";
    }
    return os;
}

std::string homeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

}  // namespace

std::string executableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "./";
    std::string dir = exe.parent_path().string();
    return dir.back() == '/' ? dir : dir + "/";
}

std::string userConfigDir() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
    return homeDir() + "/.config";
}

NativePlatform::NativePlatform(NativeRoots roots, std::function<int()> requestPortRights,
                               std::function<int(const std::string&)> rescanPci)
    : roots_(std::move(roots)),
      requestPortRights_(std::move(requestPortRights)),
      programDir_(executableDir()),
      os_(nativeOsVersion()),
      locale_(systemLocale()),
      registry_(userConfigDir() + "/caldavor/registry.txt"),
      claims_(roots_, [this](const std::string& line) { remark(line); }),
      pciReveal_(roots_, requestPortRights_, std::move(rescanPci), pciSightings_) {}

void NativePlatform::remark(const std::string& line) {
    if (remarked_.insert(line).second) traceLine(line);
}

std::unique_ptr<NamedMutex> NativePlatform::createMutex(const std::string& name) {
    for (const char* folder : {"/run/lock", "/dev/shm"}) {
        if (::access(folder, W_OK) == 0) {
            if (auto mutex = LockFileMutex::open(folder, name)) return mutex;
        }
    }
    return nullptr;
}

}  // namespace platform::native
