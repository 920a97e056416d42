#pragma once
// The run-time libraries of the simulated machine: each is a set of entry
// points by name, placed at a path, and counts how often it is loaded now.

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/library.h"

namespace platform::sim {

struct SimLibrary {
    std::uintptr_t handle = 0x10000000;
    std::map<std::string, std::any> entries;  // each a std::function of its signature
    std::shared_ptr<const void> state;          // what the entry points refer to

    template <class Signature, class F>
    void add(const std::string& name, F function) {
        entries[name] = std::function<Signature>(std::move(function));
    }
};

class SimLibraries : public Libraries {
public:
    // Paths match without regard to case; a second library at a path replaces the first.
    void place(const std::string& path, SimLibrary library);
    // An image the program carries as `block`; a file holding exactly these
    // bytes loads `library` (none: the image does not load).
    void carry(const std::string& block, std::vector<std::uint8_t> image, std::optional<SimLibrary> library);
    std::vector<std::uint8_t> image(const std::string& block) const;

    bool exists(const std::string& path) override;
    std::unique_ptr<Library> load(const std::string& path) override;
    // Loaded library objects of `path` alive now.
    int loaded(const std::string& path) const;
    // Every path a load was asked for, in order.
    const std::vector<std::string>& loadRequests() const { return loadRequests_; }

private:
    struct Placed {
        std::shared_ptr<const SimLibrary> library;
        std::shared_ptr<int> loaded = std::make_shared<int>(0);
    };
    std::map<std::string, Placed> placed_;  // by lower-case path
    struct Carried {
        std::vector<std::uint8_t> image;
        std::optional<Placed> library;
    };
    std::map<std::string, Carried> carried_;  // by block
    std::vector<std::string> loadRequests_;
};

}  // namespace platform::sim
