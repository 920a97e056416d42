#pragma once
// The binary path of an installed service, from the service manager.

#include <memory>
#include <string>

#include "platform/platform.h"

class TMyService {
public:
    explicit TMyService(std::string name) : name_(std::move(name)) {}

    // 0, or 9998 when the manager does not open.
    int OpenManager();
    // Empty when the manager is not open or the service is unknown.
    std::string GetBinaryPath();
    // 0, or 9997 when no manager was open.
    int CloseManager();

private:
    std::string name_;
    std::unique_ptr<platform::ServiceManager> manager_;
};

// Empty when the service manager cannot be opened.
std::string GetServiceBinaryPath(const std::string& serviceName);
