#include "report/cvmailmessage.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>

#include "base/cvformat.h"
#include "core/cvcipher.h"

namespace {

constexpr std::array<const char*, 7> DayNames{"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr std::array<const char*, 12> MonthNames{"jan", "feb", "mar", "apr", "may", "jun",
                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr char CRLF[] = "\r\n";
// Raw bytes per encoded word, so each stays within the 75 characters mail allows.
constexpr std::size_t EncodedWordBytes = 45;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Encoded words never split a UTF-8 sequence, so each decodes on its own.
std::string EncodedSubject(std::string_view subject) {
    std::string out;
    while (!subject.empty()) {
        std::size_t take = std::min(EncodedWordBytes, subject.size());
        while (take < subject.size() && take > 1 && IsContinuationByte(subject[take])) --take;
        if (!out.empty()) out += "\r\n ";
        out += "=?UTF-8?B?" + Base64Encode(subject.substr(0, take)) + "?=";
        subject.remove_prefix(take);
    }
    return out;
}

}  // namespace

std::string FormatMailTimeZone(int utcOffsetMinutes) {
    const int magnitude = std::abs(utcOffsetMinutes);
    return cvformat::Format("%s%.2d%.2d", {utcOffsetMinutes < 0 ? "-" : "+", magnitude / 60, magnitude % 60});
}

std::string FormatMailDate(const platform::LocalTime& time) {
    using namespace std::chrono;
    const year_month_day date{year{time.year}, month{static_cast<unsigned>(time.month)},
                              day{static_cast<unsigned>(time.day)}};
    const weekday dayOfWeek{sys_days{date}};
    return cvformat::Format("%s, %.2d %s %.4d %.2d:%.2d:%.2d %s",
                            {DayNames[dayOfWeek.c_encoding()], time.day, MonthNames[static_cast<std::size_t>(time.month - 1)],
                             time.year, time.hour, time.minute, time.second,
                             FormatMailTimeZone(time.utcOffsetMinutes)});
}

std::string MailHeaderValue(std::string_view value) {
    std::string out;
    for (char c : value)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

bool IsEnvelopeAddress(std::string_view address) {
    return std::none_of(address.begin(), address.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F || c == '<' || c == '>';
    });
}

std::string MailBodyLine(std::string_view line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\r' && line[i] != '\n') {
            out += line[i];
            continue;
        }
        out += CRLF;
        if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') ++i;
    }
    return out + CRLF;
}

std::string BuildMailMessage(const TMailProfile& profile, const std::string& subject,
                             const std::vector<std::string>& bodyLines, const platform::LocalTime& now,
                             std::uint32_t messageNumber) {
    const std::string from = MailHeaderValue(profile.MailFrom);
    const std::string cleanSubject = MailHeaderValue(subject);
    const bool plainAscii = IsAscii(subject) && std::all_of(bodyLines.begin(), bodyLines.end(), IsAscii);
    std::string text = cvformat::Format("Message-Id: <%d%s>", {1000000000u + messageNumber, from}) + CRLF;
    text += std::string("X-mailer: Caldavor mailer") + CRLF;
    text += "Subject: " + (IsAscii(cleanSubject) ? cleanSubject : EncodedSubject(cleanSubject)) + CRLF;
    text += "To: " + MailHeaderValue(profile.MailTo) + CRLF;
    text += "From: " + from + CRLF;
    text += "Date: " + FormatMailDate(now) + CRLF;
    if (!plainAscii) {
        text += std::string("MIME-Version: 1.0") + CRLF;
        text += std::string("Content-Type: text/plain; charset=UTF-8") + CRLF;
    }
    text += CRLF;
    for (const auto& line : bodyLines) text += MailBodyLine(line);
    return text;
}
