#pragma once
// The graphics-card objects as detection and host discovery see them: the
// display library's and the control panel's services over their objects,
// and the GPU library bound and installed for the NVIDIA cards and links.

#include <memory>

#include "detect/cvsourceservices.h"

class TMonitor;

class TGpuServices {
public:
    // Binds the libraries (the units' start-up) and installs the NVIDIA card services.
    explicit TGpuServices(TMonitor& monitor);
    ~TGpuServices();
    TAdlService* Adl() const;
    TNVCplService* NVCpl() const;

private:
    TMonitor& monitor_;
    std::unique_ptr<TAdlService> adl_;
    std::unique_ptr<TNVCplService> nvcpl_;
};
