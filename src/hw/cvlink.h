#pragma once
// A bus link: one access path on which chips are found.

#include <cstdint>
#include <string>
#include <vector>

class TLink {
public:
    virtual ~TLink() = default;

    std::string HostText() const { return hostText_; }
    std::string BusText() const { return busText_; }
    std::string DisplayName() const { return displayName_; }
    void RegisterAddress(std::uint32_t address) { addresses_.push_back(address); }
    const std::vector<std::uint32_t>& RegisteredAddresses() const { return addresses_; }

    // Until the link kinds name themselves, whoever makes a link names it.
    void SetNames(std::string hostText, std::string busText, std::string displayName) {
        hostText_ = std::move(hostText);
        busText_ = std::move(busText);
        displayName_ = std::move(displayName);
    }

private:
    std::string hostText_;
    std::string busText_;
    std::string displayName_;
    std::vector<std::uint32_t> addresses_;
};
