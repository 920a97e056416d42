#pragma once
// One mail over libcurl: an optional POP3 login with STAT, then SMTP. The
// servers' replies are kept, grouped by the step of the last command sent;
// commands are never kept, since AUTH lines carry credentials.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/cvservices.h"

// The TLS library libcurl was built with, as its version text
// ("OpenSSL/3.0.15"); empty when it has none.
using TTlsLibraryQuery = std::function<std::string()>;
std::string CurlTlsLibrary();

struct TMailSessionSettings {
    // One dead server must not hold the queue.
    std::chrono::milliseconds ConnectTimeout{30'000};
    std::chrono::seconds StallTimeout{60};
    TTlsLibraryQuery TlsLibrary = CurlTlsLibrary;
    // Raised at exit: the transfer under way stops within a second.
    const std::atomic<bool>* Abort = nullptr;
};

struct TMailOutcome {
    bool Success = false;
    std::vector<std::string> Log;
};

TMailOutcome SendMailSession(const TMailProfile& profile, const std::string& message,
                             const TMailSessionSettings& settings);
