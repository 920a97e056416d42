#include "platform/sim/simlibraries.h"

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

std::unique_ptr<Library> SimLibraries::load(const std::string& path) {
    loadRequests_.push_back(path);
    const auto it = placed_.find(asciiLower(path));
    if (it == placed_.end()) return nullptr;
    return std::make_unique<LoadedLibrary>(it->second.library, it->second.loaded);
}

int SimLibraries::loaded(const std::string& path) const {
    const auto it = placed_.find(asciiLower(path));
    return it == placed_.end() ? 0 : *it->second.loaded;
}

}  // namespace platform::sim
