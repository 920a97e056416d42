// The sender against scripted servers on 127.0.0.1 through real libcurl
// sessions: what arrives, what the log says, the order of completions.

#include "report/cvmailsend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <regex>

#include "report/scriptedmailserver.h"
#include "support/testmachine.h"

namespace {

using namespace std::chrono_literals;
using reporttest::TMailScript;
using reporttest::TScriptedMailServer;
using Lines = std::vector<std::string>;

struct TDone {
    int Id = 0;
    bool Success = false;
    Lines Log;
};

// Stands in for the GUI thread: posted tasks wait here until the test runs them.
class TGuiQueue {
public:
    TCVMailServer::TPostToGui Poster() {
        return [this](std::function<void()> task) {
            {
                const std::lock_guard lock(mutex_);
                tasks_.push_back(std::move(task));
            }
            posted_.notify_all();
        };
    }
    // Bounded, so a sender that never completes fails the test quickly.
    bool RunPosted(std::size_t count) {
        std::unique_lock lock(mutex_);
        if (!posted_.wait_for(lock, 20s, [&] { return tasks_.size() >= count; })) return false;
        const auto tasks = std::move(tasks_);
        tasks_.clear();
        lock.unlock();
        for (const auto& task : tasks) task();
        return true;
    }
    std::size_t Pending() {
        const std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::vector<std::function<void()>> tasks_;
};

bool Has(const Lines& lines, const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

class MailSender : public ::testing::Test {
protected:
    MailSender() {
        machine->simClock().restart(true, {2026, 12, 9, 14, 5, 9, 0, 60});
        platform::LocaleInfo locale = machine->locale();
        locale.decimalSeparator = ',';
        locale.shortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
        locale.shortMonthNames = {"Jan", "Feb", "Mrz", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
        machine->setLocale(locale);
    }

    TMailProfile Profile(const TScriptedMailServer& smtp) const {
        TMailProfile profile;
        profile.SmtpHost = "127.0.0.1";
        profile.SmtpPort = smtp.PortText();
        profile.SmtpUser = "monitor";
        profile.SmtpPassword = "s3cret";
        profile.MailFrom = "caldavor@example.org";
        profile.MailTo = "admin@example.org";
        return profile;
    }
    TMailCompletion Record() {
        return [this](int id, bool success, const Lines& log) { done.push_back({id, success, log}); };
    }

    testsupport::TestMachine machine;
    TGuiQueue gui;
    std::vector<TDone> done;
    TMailSessionSettings settings{.ConnectTimeout = 5000ms, .StallTimeout = 1s,
                                  .TlsLibrary = [] { return std::string("OpenSSL/3.0.15"); }};
};

TEST_F(MailSender, QueuedMailsArriveExactlyAndCompleteInOrder) {
    TScriptedMailServer smtp(TMailScript::Smtp());
    TCVMailServer sender(gui.Poster(), settings);
    const TMailProfile profile = Profile(smtp);
    EXPECT_EQ(sender.QueueMail(profile, "Disk hot", {"CPU 41.5", "", ". one dot"}, Record()), 1);
    EXPECT_EQ(sender.QueueMail(profile, "Second", {"b"}, [](int, bool, const Lines&) { throw std::runtime_error("x"); }),
              2);
    EXPECT_EQ(sender.QueueMail(profile, "Third", {"c"}, Record()), 3);
    sender.Resume();
    ASSERT_TRUE(gui.RunPosted(3));  // the throwing completion stops nothing

    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].Id, 1);
    EXPECT_EQ(done[1].Id, 3);
    EXPECT_TRUE(done[0].Success);
    EXPECT_TRUE(done[1].Success);
    // Server replies only: never a command, so never a credential.
    EXPECT_EQ(done[0].Log.front(), "220 test ESMTP");
    EXPECT_TRUE(Has(done[0].Log, "235 2.7.0 Authentication successful"));
    EXPECT_EQ(done[0].Log.back(), "250 2.0.0 Ok: queued");
    for (const auto& line : done[0].Log) EXPECT_EQ(line.find("MAIL FROM"), std::string::npos) << line;

    const Lines mails = smtp.Mails();
    ASSERT_EQ(mails.size(), 3u);
    const std::regex first(
        "Message-Id: <1[0-9]{9}caldavor@example.org>\r\n"
        "X-mailer: Caldavor mailer\r\n"
        "Subject: Disk hot\r\n"
        "To: admin@example.org\r\n"
        "From: caldavor@example.org\r\n"
        "Date: wed, 09 dec 2026 14:05:09 \\+0100\r\n"
        "\r\n"
        "CPU 41.5\r\n"
        "\r\n"
        "\\. one dot\r\n");
    EXPECT_TRUE(std::regex_match(mails[0], first)) << mails[0];
    EXPECT_NE(mails[1].find("Subject: Second\r\n"), std::string::npos);
    EXPECT_NE(mails[2].find("Subject: Third\r\n"), std::string::npos);

    const Lines commands = smtp.Commands();
    EXPECT_TRUE(Has(commands, "MAIL FROM:<caldavor@example.org>"));  // no SIZE
    EXPECT_TRUE(Has(commands, "RCPT TO:<admin@example.org>"));
    EXPECT_TRUE(Has(commands, "AUTH PLAIN"));
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "RCPT TO:<admin@example.org>"), 3);
}

// Each row: how the servers answer, and what the mail's log must begin with.
struct TFailureCase {
    const char* Name;
    std::function<void(TMailScript& pop, TMailScript& smtp, TMailProfile& profile)> Setup;
    bool Success;
    Lines LogStart;
    int SmtpConnections;
};

TEST_F(MailSender, EachFailingStepEndsTheMailWithItsErrorEntry) {
    const auto pop3First = [](TMailProfile& p) { p.PopBeforeSmtp = true; p.PopUser = "box"; p.PopPassword = "pw"; };
    const TFailureCase cases[] = {
        {"POP3 refuses the password",
         [&](TMailScript& pop, TMailScript&, TMailProfile& p) { pop3First(p); pop.Replies["PASS"] = "-ERR denied\r\n"; },
         false, {"ERROR : pop3 login", "+OK POP3 ready", "+OK", "USER", ".", "+OK", "-ERR denied"}, 0},
        {"POP3 mailbox of three",
         [&](TMailScript&, TMailScript&, TMailProfile& p) { pop3First(p); },
         true, {"+OK POP3 ready", "+OK", "USER", ".", "+OK", "+OK logged in", "+OK 3 4500", "Found 3 messages",
                "220 test ESMTP"}, 1},
        {"535 to AUTH",
         [](TMailScript&, TMailScript& s, TMailProfile&) { s.Replies["AUTH-DATA"] = "535 5.7.8 bad\r\n"; },
         false, {"ERROR : login", "220 test ESMTP", "250-test", "250 AUTH PLAIN", "334 ", "535 5.7.8 bad"}, 1},
        {"550 to MAIL",
         [](TMailScript&, TMailScript& s, TMailProfile&) { s.Replies["MAIL"] = "550 no\r\n"; },
         false, {"ERROR : MailFrom", "220 test ESMTP"}, 1},
        {"550 to RCPT",
         [](TMailScript&, TMailScript& s, TMailProfile&) { s.Replies["RCPT"] = "550 unknown user\r\n"; },
         false, {"ERROR : MailTo", "220 test ESMTP"}, 1},
        {"554 after the data",
         [](TMailScript&, TMailScript& s, TMailProfile&) { s.Replies["."] = "554 rejected\r\n"; },
         false, {"ERROR : MailData", "220 test ESMTP"}, 1},
        {"a server that never answers",
         [](TMailScript&, TMailScript& s, TMailProfile&) { s.Greeting.clear(); },
         false, {"ERROR : login"}, 1},
        {"a port that is no port",
         [](TMailScript&, TMailScript&, TMailProfile& p) { p.SmtpPort = "99999"; },
         false, {"ERROR : login"}, 0},
        // Refused by the URL API before any look-up, so no name ever leaves the machine.
        {"a host name that is no host name",
         [](TMailScript&, TMailScript&, TMailProfile& p) { p.SmtpHost = "127.0.0.1/x?y\r\nRCPT TO:<a@b>"; },
         false, {"ERROR : login"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TMailScript popScript = TMailScript::Pop3();
        TMailScript smtpScript = TMailScript::Smtp();
        TMailProfile profile;
        c.Setup(popScript, smtpScript, profile);
        TScriptedMailServer pop(popScript);
        TScriptedMailServer smtp(smtpScript);
        TMailProfile full = Profile(smtp);
        full.PopBeforeSmtp = profile.PopBeforeSmtp;
        full.PopUser = profile.PopUser;
        full.PopPassword = profile.PopPassword;
        full.PopHost = "127.0.0.1";
        full.PopPort = pop.PortText();
        if (!profile.SmtpPort.empty()) full.SmtpPort = profile.SmtpPort;
        if (!profile.SmtpHost.empty()) full.SmtpHost = profile.SmtpHost;

        done.clear();
        TCVMailServer sender(gui.Poster(), settings);
        sender.QueueMail(full, "s", {"b"}, Record());
        sender.Resume();
        ASSERT_TRUE(gui.RunPosted(1));
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].Success, c.Success);
        ASSERT_GE(done[0].Log.size(), c.LogStart.size()) << ::testing::PrintToString(done[0].Log);
        EXPECT_EQ(Lines(done[0].Log.begin(), done[0].Log.begin() + static_cast<long>(c.LogStart.size())), c.LogStart);
        EXPECT_EQ(smtp.Connections(), c.SmtpConnections);
    }
}

TEST_F(MailSender, BareCrAndLfInABodyLineBecomeLineBreaksOnTheWire) {
    TScriptedMailServer smtp(TMailScript::Smtp());
    TCVMailServer sender(gui.Poster(), settings);
    sender.QueueMail(Profile(smtp), "s", {"one\ntwo", "three\rfour", "five\r\nsix", "\n.", "end\n"}, Record());
    sender.Resume();
    ASSERT_TRUE(gui.RunPosted(1));
    EXPECT_TRUE(done.at(0).Success);
    const Lines mails = smtp.Mails();
    ASSERT_EQ(mails.size(), 1u);
    const std::string body = mails[0].substr(mails[0].find("\r\n\r\n") + 4);
    // A "." alone on a line is dot-stuffed, so the mail does not end early.
    EXPECT_EQ(body, "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix\r\n\r\n.\r\nend\r\n\r\n");
}

// The envelope and the Message-Id never carry such an address; the mail
// fails its step before the POP3 or SMTP server hears a word.
TEST_F(MailSender, AnUnusableAddressFailsItsStepBeforeAnyConnection) {
    const struct {
        const char* From;
        const char* To;
        const char* Entry;
    } cases[] = {
        {"caldavor@example.org>\r\nRCPT TO:<victim@example.org", "admin@example.org", "ERROR : MailFrom"},
        {"<caldavor@example.org>", "admin@example.org", "ERROR : MailFrom"},
        {"cal davor@example.org", "admin@example.org", "ERROR : MailFrom"},
        {"caldavor@example.org", "admin@example.org> SIZE=1", "ERROR : MailTo"},
        {"caldavor@example.org", "admin@example.org\n", "ERROR : MailTo"},
        {"caldavor@example.org", "admin\t@example.org", "ERROR : MailTo"},
        {"caldavor@example.org", "admin@example.org\x7f", "ERROR : MailTo"},
    };
    TScriptedMailServer pop(TMailScript::Pop3());
    TScriptedMailServer smtp(TMailScript::Smtp());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Entry + std::string(" ") + ::testing::PrintToString(std::string(c.From) + "|" + c.To));
        TMailProfile profile = Profile(smtp);
        profile.MailFrom = c.From;
        profile.MailTo = c.To;
        profile.PopBeforeSmtp = true;
        profile.PopHost = "127.0.0.1";
        profile.PopPort = pop.PortText();
        done.clear();
        TCVMailServer sender(gui.Poster(), settings);
        sender.QueueMail(profile, "s", {"b"}, Record());
        sender.Resume();
        ASSERT_TRUE(gui.RunPosted(1));
        ASSERT_EQ(done.size(), 1u);
        EXPECT_FALSE(done[0].Success);
        EXPECT_EQ(done[0].Log, Lines{c.Entry});
    }
    EXPECT_EQ(pop.Connections(), 0);
    EXPECT_EQ(smtp.Connections(), 0);
}

TEST_F(MailSender, AFailedLoginWithAutoTlsAndNoOpenSslAddsTheAdvice) {
    TMailScript script = TMailScript::Smtp();
    script.Replies["AUTH-DATA"] = "535 5.7.8 bad\r\n";
    TScriptedMailServer smtp(script);
    for (const char* library : {"", "GnuTLS/3.7.9", "OpenSSL/3.0.15"}) {
        SCOPED_TRACE(library);
        settings.TlsLibrary = [library] { return std::string(library); };
        done.clear();
        TCVMailServer sender(gui.Poster(), settings);
        TMailProfile profile = Profile(smtp);
        profile.AutoTLS = true;  // the server offers no STARTTLS: the session goes on in clear
        sender.QueueMail(profile, "s", {"b"}, Record());
        sender.Resume();
        ASSERT_TRUE(gui.RunPosted(1));
        const Lines& log = done.at(0).Log;
        EXPECT_EQ(log.front(), "ERROR : login");
        const bool advised = Has(log, "  -> Are you sure OpenSSL library is installed?");
        EXPECT_EQ(advised, std::string(library).empty() || std::string(library) == "GnuTLS/3.7.9");
        if (advised) {
            EXPECT_EQ(log[log.size() - 4], "535 5.7.8 bad");
            EXPECT_EQ(log[log.size() - 3], "  -> Are you sure OpenSSL library is installed?");
        }
    }
}

// The server offers STARTTLS, agrees, then hangs up instead of the handshake.
TEST_F(MailSender, AFailedTlsHandshakeNamesTheTlsErrorInTheLoginEntry) {
    TMailScript script = TMailScript::Smtp();
    script.Replies["EHLO"] = "250-test\r\n250-STARTTLS\r\n250 AUTH PLAIN\r\n";
    script.Replies["STARTTLS"] = "220 2.0.0 Ready to start TLS\r\n";
    script.HangUpAfter = "STARTTLS";
    TScriptedMailServer smtp(script);
    TCVMailServer sender(gui.Poster(), settings);
    TMailProfile profile = Profile(smtp);
    profile.AutoTLS = true;
    sender.QueueMail(profile, "s", {"b"}, Record());
    sender.Resume();
    ASSERT_TRUE(gui.RunPosted(1));
    const Lines& log = done.at(0).Log;
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log[0].starts_with("ERROR : login (")) << log[0];
    EXPECT_TRUE(log[0].ends_with(")"));
    EXPECT_GT(log[0].size(), std::string("ERROR : login ()").size());
    EXPECT_EQ(log.back(), "220 2.0.0 Ready to start TLS");  // OpenSSL is there: no advice
    EXPECT_FALSE(Has(smtp.Commands(), "MAIL FROM:<caldavor@example.org>"));
}

TEST_F(MailSender, TheTlsLibraryIsNamedOrNotFound) {
    settings.TlsLibrary = [] { return std::string(); };
    EXPECT_EQ(TCVMailServer(gui.Poster(), settings).TlsLibraryText(), "not found");
    settings.TlsLibrary = [] { return std::string("OpenSSL/3.0.15"); };
    EXPECT_EQ(TCVMailServer(gui.Poster(), settings).TlsLibraryText(), "OpenSSL/3.0.15");
    EXPECT_EQ(TCVMailServer(gui.Poster()).TlsLibraryText(), CurlTlsLibrary());
    EXPECT_TRUE(CurlTlsLibrary().starts_with("OpenSSL"));  // the libcurl flavour the project installs
}

TEST_F(MailSender, MailsQueuedAndResumedFromOtherThreadsAllComplete) {
    TScriptedMailServer smtp(TMailScript::Smtp());
    TCVMailServer sender(gui.Poster(), settings);
    const TMailProfile profile = Profile(smtp);
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t) {
        callers.emplace_back([&] {
            for (int i = 0; i < 2; ++i) {
                sender.QueueMail(profile, "s", {"b"}, Record());
                sender.Resume();
            }
        });
    }
    for (auto& caller : callers) caller.join();
    ASSERT_TRUE(gui.RunPosted(6));
    std::vector<int> ids;
    for (const auto& mail : done) ids.push_back(mail.Id);
    EXPECT_EQ(ids, (std::vector<int>{1, 2, 3, 4, 5, 6}));  // in queue order
    EXPECT_EQ(smtp.Mails().size(), 6u);
}

// A mail stuck on a silent server is abandoned at exit, queued ones dropped,
// and nothing more is posted.
TEST_F(MailSender, TerminationDuringASendReturnsPromptly) {
    TMailScript silent = TMailScript::Smtp();
    silent.Greeting.clear();
    TScriptedMailServer smtp(silent);
    settings.StallTimeout = 60s;
    auto sender = std::make_unique<TCVMailServer>(gui.Poster(), settings);
    sender->QueueMail(Profile(smtp), "stuck", {"b"}, Record());
    sender->QueueMail(Profile(smtp), "dropped", {"b"}, Record());
    sender->Resume();
    for (int i = 0; i < 500 && smtp.Connections() == 0; ++i) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(smtp.Connections(), 1);
    const auto start = std::chrono::steady_clock::now();
    sender.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);  // far below the 60 s stall limit
    EXPECT_EQ(gui.Pending(), 0u);
    EXPECT_EQ(smtp.Connections(), 1);
}

}  // namespace
