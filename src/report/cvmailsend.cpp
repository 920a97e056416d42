#include "report/cvmailsend.h"

#include <curl/curl.h>

#include "report/cvmailmessage.h"

TCVMailServer::TCVMailServer(TPostToGui postToGui, TMailSessionSettings session)
    : postToGui_(std::move(postToGui)), session_(std::move(session)) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    session_.Abort = &terminated_;
    thread_ = std::thread([this] { Execute(); });
}

TCVMailServer::~TCVMailServer() {
    {
        const std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_all();
    thread_.join();
    curl_global_cleanup();
}

int TCVMailServer::QueueMail(const TMailProfile& profile, const std::string& subject,
                             const std::vector<std::string>& bodyLines, TMailCompletion completion) {
    const platform::LocalTime now = platform::current().clock().localNow();
    const std::lock_guard lock(mutex_);
    const auto number = std::uniform_int_distribution<std::uint32_t>(0, 999'999'999)(random_);
    queue_.push_back({++lastId_, profile, BuildMailMessage(profile, subject, bodyLines, now, number),
                      std::move(completion)});
    return lastId_;
}

void TCVMailServer::Resume() {
    {
        const std::lock_guard lock(mutex_);
        resumed_ = true;
    }
    wake_.notify_all();
}

std::string TCVMailServer::TlsLibraryText() const {
    const std::string library = session_.TlsLibrary();
    return library.empty() ? "not found" : library;
}

// Sleeps until resumed with mail waiting; a Resume that comes while a mail
// is under way is kept, so no mail waits for a later one.
void TCVMailServer::Execute() {
    std::unique_lock lock(mutex_);
    while (true) {
        if (queue_.empty()) resumed_ = false;
        wake_.wait(lock, [this] { return terminated_ || (resumed_ && !queue_.empty()); });
        if (terminated_) return;
        TCVQueuedMail mail = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        TMailOutcome outcome = SendMailSession(mail.Profile, mail.Message, session_);
        NotifyCompletion(mail, std::move(outcome));
        lock.lock();
    }
}

// The log travels with the task, so the sender goes on at once; a throwing
// callback is the caller's affair and never reaches the loop.
void TCVMailServer::NotifyCompletion(const TCVQueuedMail& mail, TMailOutcome outcome) {
    if (terminated_ || !mail.Completion) return;
    postToGui_([completion = mail.Completion, id = mail.Id, outcome = std::move(outcome)] {
        try {
            completion(id, outcome.Success, outcome.Log);
        } catch (...) {
        }
    });
}
