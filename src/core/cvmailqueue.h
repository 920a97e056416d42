#pragma once
// The mail sender as the core uses it: mails are queued here and sent by the
// sender's own thread.

#include <functional>
#include <string>
#include <vector>

#include "core/cvservices.h"

// Called on the GUI thread with the mail id, the success flag and the log.
using TMailCompletion = std::function<void(int mailId, bool success, const std::vector<std::string>& log)>;

class TMailQueue {
public:
    virtual ~TMailQueue() = default;
    // Answers the mail's id; does not wake the sender.
    virtual int QueueMail(const TMailProfile& profile, const std::string& subject,
                          const std::vector<std::string>& bodyLines, TMailCompletion completion) = 0;
    // Wakes the sender's thread.
    virtual void Resume() = 0;
    // The version of the TLS library the sender uses, or "not found".
    virtual std::string TlsLibraryText() const = 0;
};
