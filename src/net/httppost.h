#pragma once
// One HTTP form post that waits for its answer while the thread's events
// keep running, so the window stays responsive.

#include <cstddef>
#include <functional>
#include <string>

#include "core/cvvars.h"

enum class THttpOutcome { Delivered, ConnectionFailed, AnswerTooLarge };

struct THttpAnswer {
    THttpOutcome Outcome = THttpOutcome::ConnectionFailed;
    int Status = 0;
    std::string Reason;  // the status line's reason phrase
    std::string Body;
    std::string Error;   // the connection's error text
};

class THttpPoster {
public:
    static constexpr std::size_t MaxAnswerBytes = 16u << 20;

    // Called with each "HTTP state=%s" line.
    std::function<void(const std::string&)> OnStateLine;

    // Posts a form-encoded body; redirects are followed, never to a less
    // safe scheme. No proxy unless the settings ask for one.
    THttpAnswer Post(const std::string& url, const std::string& body, const TProxySettings& proxy);
};
