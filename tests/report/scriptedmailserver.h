#pragma once
// A mail server on 127.0.0.1 for tests: it greets, then answers each command
// line with the reply its script holds for the command's first word, and
// records what arrives. One connection at a time, on a thread of its own.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reporttest {

struct TMailScript {
    std::string Greeting;                        // empty: the server never says a word
    std::map<std::string, std::string> Replies;  // by command word; "AUTH-DATA" answers SASL lines,
                                                 // "." the end of the mail data; CR LF ends every line
    std::string HangUpAfter;                     // the command word whose reply ends the connection
    static TMailScript Smtp();
    static TMailScript Pop3();
};

class TScriptedMailServer {
public:
    explicit TScriptedMailServer(TMailScript script);
    ~TScriptedMailServer();
    TScriptedMailServer(const TScriptedMailServer&) = delete;
    TScriptedMailServer& operator=(const TScriptedMailServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string PortText() const { return std::to_string(port_); }
    int Connections() const;
    std::vector<std::string> Commands() const;
    // The mail data of each DATA command, as received between "354" and ".".
    std::vector<std::string> Mails() const;

private:
    void Serve();
    void Talk(int connection);
    void Send(int connection, const std::string& text);

    TMailScript script_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    int connections_ = 0;
    std::vector<std::string> commands_;
    std::vector<std::string> mails_;
    std::thread thread_;
};

}  // namespace reporttest
