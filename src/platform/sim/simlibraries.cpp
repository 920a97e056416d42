#include "platform/sim/simlibraries.h"

#include <fstream>
#include <iterator>

#include "platform/asciicase.h"

namespace platform::sim {
namespace {

class LoadedLibrary : public Library {
public:
    LoadedLibrary(std::shared_ptr<const SimLibrary> library, std::shared_ptr<int> loaded)
        : library_(std::move(library)), loaded_(std::move(loaded)) {
        ++*loaded_;
    }
    ~LoadedLibrary() override { --*loaded_; }

    std::uintptr_t handle() const override { return library_->handle; }

protected:
    const std::any* findEntry(const std::string& name) const override {
        const auto it = library_->entries.find(name);
        return it == library_->entries.end() ? nullptr : &it->second;
    }

private:
    std::shared_ptr<const SimLibrary> library_;
    std::shared_ptr<int> loaded_;
};

}  // namespace

void SimLibraries::place(const std::string& path, SimLibrary library) {
    placed_[asciiLower(path)] = {std::make_shared<const SimLibrary>(std::move(library))};
}

bool SimLibraries::exists(const std::string& path) { return placed_.contains(asciiLower(path)); }

void SimLibraries::carry(const std::string& block, std::vector<std::uint8_t> image,
                         std::optional<SimLibrary> library) {
    Carried carried{std::move(image), std::nullopt};
    if (library) carried.library = Placed{std::make_shared<const SimLibrary>(std::move(*library))};
    carried_[block] = std::move(carried);
}

std::vector<std::uint8_t> SimLibraries::image(const std::string& block) const {
    const auto it = carried_.find(block);
    return it == carried_.end() ? std::vector<std::uint8_t>{} : it->second.image;
}

std::unique_ptr<Library> SimLibraries::load(const std::string& path) {
    loadRequests_.push_back(path);
    if (const auto it = placed_.find(asciiLower(path)); it != placed_.end())
        return std::make_unique<LoadedLibrary>(it->second.library, it->second.loaded);
    if (carried_.empty() || path.empty()) return nullptr;
    // A written copy of a carried image loads as the library it stands for.
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    for (const auto& [block, carried] : carried_)
        if (carried.library && carried.image == bytes)
            return std::make_unique<LoadedLibrary>(carried.library->library, carried.library->loaded);
    return nullptr;
}

int SimLibraries::loaded(const std::string& path) const {
    const auto it = placed_.find(asciiLower(path));
    return it == placed_.end() ? 0 : *it->second.loaded;
}

}  // namespace platform::sim
