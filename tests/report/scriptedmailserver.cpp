#include "report/scriptedmailserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace reporttest {

TMailScript TMailScript::Smtp() {
    return {"220 test ESMTP\r\n",
            {{"EHLO", "250-test\r\n250 AUTH PLAIN\r\n"},
             {"AUTH", "334 \r\n"},
             {"AUTH-DATA", "235 2.7.0 Authentication successful\r\n"},
             {"MAIL", "250 2.1.0 Ok\r\n"},
             {"RCPT", "250 2.1.5 Ok\r\n"},
             {"DATA", "354 End data with <CR><LF>.<CR><LF>\r\n"},
             {".", "250 2.0.0 Ok: queued\r\n"},
             {"QUIT", "221 2.0.0 Bye\r\n"}},
            ""};
}

TMailScript TMailScript::Pop3() {
    return {"+OK POP3 ready\r\n",
            {{"CAPA", "+OK\r\nUSER\r\n.\r\n"},
             {"USER", "+OK\r\n"},
             {"PASS", "+OK logged in\r\n"},
             {"STAT", "+OK 3 4500\r\n"},
             {"QUIT", "+OK bye\r\n"}},
            ""};
}

TScriptedMailServer::TScriptedMailServer(TMailScript script) : script_(std::move(script)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 4) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

TScriptedMailServer::~TScriptedMailServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
}

int TScriptedMailServer::Connections() const {
    const std::lock_guard lock(mutex_);
    return connections_;
}

std::vector<std::string> TScriptedMailServer::Commands() const {
    const std::lock_guard lock(mutex_);
    return commands_;
}

std::vector<std::string> TScriptedMailServer::Mails() const {
    const std::lock_guard lock(mutex_);
    return mails_;
}

// Short polls, so the destructor never waits long for the thread.
void TScriptedMailServer::Serve() {
    while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0) continue;
        const int connection = ::accept(listener_, nullptr, nullptr);
        if (connection < 0) continue;
        {
            const std::lock_guard lock(mutex_);
            ++connections_;
        }
        Talk(connection);
        ::close(connection);
    }
}

void TScriptedMailServer::Send(int connection, const std::string& text) {
    (void)!::send(connection, text.data(), text.size(), MSG_NOSIGNAL);
}

void TScriptedMailServer::Talk(int connection) {
    if (!script_.Greeting.empty()) Send(connection, script_.Greeting);
    std::string pending;
    std::string mail;
    bool inData = false;
    bool saslAnswer = false;
    while (!stop_) {
        pollfd waiting{connection, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0) continue;
        char buffer[4096];
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            if (inData) {
                if (line != ".") {
                    mail += (line.starts_with("..") ? line.substr(1) : line) + "\r\n";  // dot-stuffing undone
                    continue;
                }
                inData = false;
                const std::lock_guard lock(mutex_);
                mails_.push_back(mail);
            }
            std::string word = inData ? "" : line.substr(0, line.find(' '));
            if (saslAnswer) word = "AUTH-DATA";
            {
                const std::lock_guard lock(mutex_);
                commands_.push_back(word == "AUTH-DATA" ? "AUTH-DATA" : line);
            }
            const auto reply = script_.Replies.find(word);
            const std::string text = reply == script_.Replies.end() ? "500 unknown\r\n" : reply->second;
            Send(connection, text);
            saslAnswer = text.starts_with("334");
            if (word == "DATA" && text.starts_with("354")) {
                inData = true;
                mail.clear();
            }
            if (word == "QUIT" || word == script_.HangUpAfter) return;
        }
    }
}

}  // namespace reporttest
