#include "hw/cvmyservice.h"

int TMyService::OpenManager() {
    manager_ = platform::current().openServiceManager();
    return manager_ ? 0 : 9998;
}

std::string TMyService::GetBinaryPath() {
    if (!manager_) return {};
    return manager_->binaryPath(name_).value_or(std::string{});
}

int TMyService::CloseManager() {
    if (!manager_) return 9997;
    manager_.reset();
    return 0;
}

std::string GetServiceBinaryPath(const std::string& serviceName) {
    TMyService service(serviceName);
    if (service.OpenManager() != 0) return {};
    std::string path = service.GetBinaryPath();
    service.CloseManager();
    return path;
}
