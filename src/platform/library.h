#pragma once
// Run-time libraries loaded by path, with their entry points bound by name.
// A caller binds an entry point with the signature it calls it with; a
// library that lacks the name, or exports it with another signature, gives
// nothing. The library stays loaded while its object lives.

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class Library {
public:
    virtual ~Library() = default;  // unloads
    // The handle the system gave the loaded module.
    virtual std::uintptr_t handle() const = 0;
    bool exports(const std::string& name) const { return findEntry(name) != nullptr; }
    // Empty when the library does not export `name` with this signature.
    template <class Signature>
    std::function<Signature> entry(const std::string& name) const {
        const std::any* found = findEntry(name);
        const auto* typed = found ? std::any_cast<std::function<Signature>>(found) : nullptr;
        return typed ? *typed : std::function<Signature>{};
    }

protected:
    // The entry point held as a std::function of its signature; nullptr when absent.
    virtual const std::any* findEntry(const std::string& name) const = 0;
};

class Libraries {
public:
    virtual ~Libraries() = default;
    // Whether a library file lies at `path`.
    virtual bool exists(const std::string& path) = 0;
    // nullptr when nothing loads from `path`.
    virtual std::unique_ptr<Library> load(const std::string& path) = 0;
};

// A machine without the libraries: nothing is there, nothing loads.
class NoLibraries : public Libraries {
public:
    bool exists(const std::string&) override { return false; }
    std::unique_ptr<Library> load(const std::string&) override { return nullptr; }
};

}  // namespace platform
