#include "report/cvmailsession.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "base/cvformat.h"
#include "report/cvmailmessage.h"

namespace {

struct TCommandStep {
    std::string_view Command;
    const char* Step;
};

// The step each command opens; other lines sent (SASL answers) stay in the
// step of the command they answer.
constexpr TCommandStep SmtpSteps[] = {{"EHLO", "login"},     {"HELO", "login"},   {"STARTTLS", "login"},
                                      {"AUTH", "login"},     {"MAIL", "MailFrom"}, {"RCPT", "MailTo"},
                                      {"DATA", "MailData"}};
constexpr TCommandStep Pop3Steps[] = {{"CAPA", "pop3 login"}, {"STLS", "pop3 login"}, {"USER", "pop3 login"},
                                      {"PASS", "pop3 login"}, {"APOP", "pop3 login"}, {"AUTH", "pop3 login"},
                                      {"STAT", "pop3 stat"}};

struct TProtocol {
    const char* Scheme;
    const char* FirstStep;  // the greeting belongs to it
    std::span<const TCommandStep> Steps;
};

constexpr TProtocol Smtp{"smtp", "login", SmtpSteps};
constexpr TProtocol Pop3{"pop3", "pop3 login", Pop3Steps};

constexpr const char* AdviceLines[] = {
    "  -> Are you sure OpenSSL library is installed?",
    "  -> OpenSSL's home is https://www.openssl.org/",
    "  -> On Debian: https://packages.debian.org/libcurl4 (libcurl built with OpenSSL)",
};

class TReplyRecorder {
public:
    explicit TReplyRecorder(const TProtocol& protocol) : protocol_(protocol), step_(protocol.FirstStep) {}

    void CommandSent(std::string_view line) {
        const std::string_view word = line.substr(0, line.find_first_of(" \r\n"));
        for (const auto& row : protocol_.Steps)
            if (word == row.Command) step_ = row.Step;
    }
    void ReplyReceived(std::string_view text) {
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!line.empty()) replies_.emplace_back(line);
            if (end == std::string_view::npos) break;
            text.remove_prefix(end + 1);
        }
    }
    const std::string& Step() const { return step_; }
    std::vector<std::string>& Replies() { return replies_; }

private:
    const TProtocol& protocol_;
    std::string step_;
    std::vector<std::string> replies_;
};

int OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    auto& recorder = *static_cast<TReplyRecorder*>(user);
    if (type == CURLINFO_HEADER_OUT) recorder.CommandSent({data, size});
    if (type == CURLINFO_HEADER_IN) recorder.ReplyReceived({data, size});
    return 0;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* abort = static_cast<const std::atomic<bool>*>(user);
    return abort && abort->load() ? 1 : 0;
}

std::size_t ReadMessage(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto& rest = *static_cast<std::string_view*>(user);
    const std::size_t n = std::min(size * count, rest.size());
    std::memcpy(buffer, rest.data(), n);
    rest.remove_prefix(n);
    return n;
}

struct TCurlCleanup {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct TServer {
    const std::string& Host;
    const std::string& Port;
    const std::string& User;
    const std::string& Password;
};

struct TTransfer {
    CURLcode Code = CURLE_OK;
    std::string ErrorText;
    std::string Step;
    std::vector<std::string> Replies;
};

// Host and port go through the URL API, so no text of theirs can change the URL.
bool SetAddress(CURLU* url, const TProtocol& protocol, const TServer& server) {
    return curl_url_set(url, CURLUPART_SCHEME, protocol.Scheme, 0) == CURLUE_OK &&
           curl_url_set(url, CURLUPART_HOST, server.Host.c_str(), 0) == CURLUE_OK &&
           (server.Port.empty() || curl_url_set(url, CURLUPART_PORT, server.Port.c_str(), 0) == CURLUE_OK);
}

template <typename Configure>
TTransfer RunTransfer(const TProtocol& protocol, const TServer& server, const TMailSessionSettings& settings,
                      Configure configure) {
    TReplyRecorder recorder(protocol);
    TTransfer out;
    const std::unique_ptr<CURLU, TCurlCleanup> url(curl_url());
    const std::unique_ptr<CURL, TCurlCleanup> curl(curl_easy_init());
    if (!url || !curl) {
        out.Code = CURLE_OUT_OF_MEMORY;
    } else if (!SetAddress(url.get(), protocol, server)) {
        out.Code = CURLE_URL_MALFORMAT;
    } else {
        char errorText[CURL_ERROR_SIZE] = {};
        CURL* handle = curl.get();
        curl_easy_setopt(handle, CURLOPT_CURLU, url.get());
        curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.ConnectTimeout.count()));
        curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(settings.StallTimeout.count()));
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(settings.StallTimeout.count()));
        curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, OnDebug);
        curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &recorder);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, settings.Abort);
        if (!server.User.empty()) {
            curl_easy_setopt(handle, CURLOPT_USERNAME, server.User.c_str());
            curl_easy_setopt(handle, CURLOPT_PASSWORD, server.Password.c_str());
        }
        configure(handle);
        out.Code = curl_easy_perform(handle);
        // The closing QUIT at cleanup is no step of the mail.
        curl_easy_setopt(handle, CURLOPT_VERBOSE, 0L);
        out.ErrorText = errorText[0] ? errorText : curl_easy_strerror(out.Code);
    }
    out.Step = recorder.Step();
    out.Replies = std::move(recorder.Replies());
    return out;
}

bool IsTlsFailure(CURLcode code) {
    switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
        return true;
    default:
        return false;
    }
}

void AddErrorEntry(std::vector<std::string>& log, const std::string& entry, const std::vector<std::string>& replies) {
    log.push_back("ERROR : " + entry);
    log.insert(log.end(), replies.begin(), replies.end());
}

// "+OK n size" answers STAT, the last command of the session.
int MessageCount(const std::vector<std::string>& replies) {
    if (replies.empty() || !replies.back().starts_with("+OK ")) return 0;
    return std::atoi(replies.back().c_str() + 4);
}

bool CheckMailbox(const TMailProfile& profile, const TMailSessionSettings& settings, std::vector<std::string>& log) {
    TTransfer pop = RunTransfer(Pop3, {profile.PopHost, profile.PopPort, profile.PopUser, profile.PopPassword},
                                settings, [](CURL* handle) {
                                    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, "STAT");
                                    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
                                });
    if (pop.Code != CURLE_OK) {
        AddErrorEntry(log, pop.Step, pop.Replies);
        return false;
    }
    log.insert(log.end(), pop.Replies.begin(), pop.Replies.end());
    log.push_back(cvformat::Format("Found %d messages", {MessageCount(pop.Replies)}));
    return true;
}

}  // namespace

std::string CurlTlsLibrary() {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info && info->ssl_version ? info->ssl_version : "";
}

TMailOutcome SendMailSession(const TMailProfile& profile, const std::string& message,
                             const TMailSessionSettings& settings) {
    TMailOutcome outcome;
    // Refused before any connection: such an address would change the envelope.
    if (!IsEnvelopeAddress(profile.MailFrom)) {
        AddErrorEntry(outcome.Log, "MailFrom", {});
        return outcome;
    }
    if (!IsEnvelopeAddress(profile.MailTo)) {
        AddErrorEntry(outcome.Log, "MailTo", {});
        return outcome;
    }
    if (profile.PopBeforeSmtp && !CheckMailbox(profile, settings, outcome.Log)) return outcome;

    std::string_view unsent = message;
    const std::string from = "<" + profile.MailFrom + ">";
    const std::unique_ptr<curl_slist, TCurlCleanup> recipients(
        curl_slist_append(nullptr, ("<" + profile.MailTo + ">").c_str()));
    // No upload size: MAIL FROM goes out without a SIZE parameter.
    TTransfer smtp = RunTransfer(Smtp, {profile.SmtpHost, profile.SmtpPort, profile.SmtpUser, profile.SmtpPassword},
                                 settings, [&](CURL* handle) {
                                     curl_easy_setopt(handle, CURLOPT_USE_SSL,
                                                      static_cast<long>(profile.AutoTLS ? CURLUSESSL_TRY : CURLUSESSL_NONE));
                                     curl_easy_setopt(handle, CURLOPT_MAIL_FROM, from.c_str());
                                     curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
                                     curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
                                     curl_easy_setopt(handle, CURLOPT_READFUNCTION, ReadMessage);
                                     curl_easy_setopt(handle, CURLOPT_READDATA, &unsent);
                                 });
    if (smtp.Code == CURLE_OK) {
        outcome.Log.insert(outcome.Log.end(), smtp.Replies.begin(), smtp.Replies.end());
        outcome.Success = true;
        return outcome;
    }
    const bool login = smtp.Step == Smtp.FirstStep;
    AddErrorEntry(outcome.Log, login && IsTlsFailure(smtp.Code) ? "login (" + smtp.ErrorText + ")" : smtp.Step,
                  smtp.Replies);
    if (login && profile.AutoTLS && !settings.TlsLibrary().starts_with("OpenSSL"))
        outcome.Log.insert(outcome.Log.end(), std::begin(AdviceLines), std::end(AdviceLines));
    return outcome;
}
