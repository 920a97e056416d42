#include "disks/cvlibrarycopy.h"

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "platform/platform.h"
#include "platform/tempfiles.h"

using cvformat::Format;

namespace {

constexpr int LastNumber = 1999;

}  // namespace

std::string GetTempDir() { return platform::current().tempFiles().folder(); }

std::string CreateUniqueDLL(TLibraryCopy& copy) {
    if (!copy.Remembered.empty()) return copy.Remembered;
    auto& machine = platform::current();
    const std::vector<std::uint8_t> image = machine.libraryImage(copy.ImageBlock);
    if (image.empty()) return {};
    const std::string temp = GetTempDir();
    WriteDebugLog(Format("temporary path is %s", {temp}));
    if (temp.empty()) {
        WriteDebugLog(copy.NoTempPathLine);
        return {};
    }
    auto& files = machine.tempFiles();
    // Other users share the temporary folder: only a folder of our own is trusted.
    const std::string folder = Format("%scaldavor-%d/", {temp, files.userId()});
    if (const std::string refused = files.usePrivateFolder(folder); !refused.empty()) {
        WriteDebugLog(Format("Library folder %s refused: %s", {folder, refused}));
        return {};
    }
    for (int n = 1; n <= LastNumber; ++n) {
        const std::string name = Format(copy.NamePattern, {folder, n});
        if (files.exists(name) && !files.remove(name)) continue;  // another instance has it loaded
        if (files.createExclusive(name, image)) {
            copy.Remembered = name;
            break;
        }
    }
    return copy.Remembered;
}

void RemoveLibraryCopy(TLibraryCopy& copy) {
    if (copy.Remembered.empty()) return;
    platform::current().tempFiles().remove(copy.Remembered);
    copy.Remembered.clear();
}
