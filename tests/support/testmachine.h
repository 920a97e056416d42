#pragma once
// A simulated machine installed for one test, with its program folder in a
// fresh temporary directory that is removed afterwards.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/machine.h"

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

class TestMachine {
public:
    TestMachine();
    platform::sim::Machine& machine() { return machine_; }
    platform::sim::Machine* operator->() { return &machine_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    std::string programDir() const { return machine_.programDir(); }

private:
    TempDir dir_;
    platform::sim::Machine machine_;
    platform::ScopedPlatform scope_;
};

std::string readFile(const std::string& path);
// Makes the folders on the way.
void writeFile(const std::string& path, const std::string& content);
// The lines of a debug trace file without their time stamps.
std::vector<std::string> traceLines(const std::string& path);
// The pieces of text between separators; a last piece without one counts too.
std::vector<std::string> splitLines(const std::string& text, const std::string& separator);

}  // namespace testsupport
