// The simulated machine's system folder: the files a board lists, found and
// copied by path, without regard to case as the system compares them.

#include "platform/asciicase.h"
#include "platform/sim/machine.h"

namespace platform::sim {

std::string Machine::systemDir() const {
    return os_.platformId == 1 ? windowsDir_ + "\\SYSTEM" : Platform::systemDir();
}

void Machine::addSystemFile(const std::string& name) {
    const std::string path = asciiLower(systemDir() + "\\" + name);
    systemFiles_.insert(path);
    startFiles_.insert(path);
}

bool Machine::loadedAtStart(const std::string& name) const {
    return startFiles_.count(asciiLower(systemDir() + "\\" + name)) != 0;
}

bool Machine::fileExists(const std::string& path) { return systemFiles_.count(asciiLower(path)) != 0; }

bool Machine::copyFile(const std::string& from, const std::string& to) {
    if (!fileExists(from)) return false;
    systemFiles_.insert(asciiLower(to));
    return true;
}

}  // namespace platform::sim
