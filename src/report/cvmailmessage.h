#pragma once
// The text of one mail as the sender queues it: header lines, an empty line
// and the body, every line ended by CR LF.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/cvservices.h"
#include "platform/platform.h"

// "+hhmm" or "-hhmm" of the local time's offset from UTC in minutes.
std::string FormatMailTimeZone(int utcOffsetMinutes);
// "wed, 09 dec 2026 14:05:09 +0100": the names stay English and lower case
// under any locale.
std::string FormatMailDate(const platform::LocalTime& time);
// A header value without CR and LF, so no value can start a header of its own.
std::string MailHeaderValue(std::string_view value);

// An address the envelope can carry: no CR, LF, "<", ">", blank or other
// control character.
bool IsEnvelopeAddress(std::string_view address);
// One body line as it goes on the wire: a bare CR or LF inside it is a line
// break of its own, and CR LF ends every line.
std::string MailBodyLine(std::string_view line);

// messageNumber (below 1000000000) makes the Message-Id unique.
std::string BuildMailMessage(const TMailProfile& profile, const std::string& subject,
                             const std::vector<std::string>& bodyLines, const platform::LocalTime& now,
                             std::uint32_t messageNumber);
