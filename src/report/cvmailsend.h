#pragma once
// The mail sender: a first-in first-out queue served by one thread of its
// own, one mail at a time, never retried. Each mail's outcome goes back to
// the GUI thread through the posting function app/ gives it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/cvmailqueue.h"
#include "report/cvmailsession.h"

class TCVMailServer : public TMailQueue {
public:
    // Runs a task later on the GUI thread; never waits for it.
    using TPostToGui = std::function<void(std::function<void()>)>;

    explicit TCVMailServer(TPostToGui postToGui, TMailSessionSettings session = {});
    // Stops a transfer under way within a second and joins the thread;
    // queued mails are dropped.
    ~TCVMailServer() override;
    TCVMailServer(const TCVMailServer&) = delete;
    TCVMailServer& operator=(const TCVMailServer&) = delete;

    int QueueMail(const TMailProfile& profile, const std::string& subject, const std::vector<std::string>& bodyLines,
                  TMailCompletion completion) override;
    void Resume() override;
    std::string TlsLibraryText() const override;

private:
    struct TCVQueuedMail {
        int Id = 0;
        TMailProfile Profile;
        std::string Message;
        TMailCompletion Completion;
    };

    void Execute();
    void NotifyCompletion(const TCVQueuedMail& mail, TMailOutcome outcome);

    TPostToGui postToGui_;
    TMailSessionSettings session_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TCVQueuedMail> queue_;
    int lastId_ = 0;
    bool resumed_ = false;
    std::atomic<bool> terminated_{false};
    std::mt19937 random_{std::random_device{}()};
    std::thread thread_;  // last: starts when everything it uses exists
};
