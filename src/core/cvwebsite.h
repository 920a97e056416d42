#pragma once
// The maker's addresses, under the reserved ".example" domain: the
// dialogs, the web services and the main tick name them from here alone.

// The maker's web site, and its page that hands out configuration tickets.
inline constexpr const char* MakerSite = "http://www.caldavor.example";
inline constexpr const char* TicketPagePath = "/cvhandleconfig.php";

// Where users are asked to report a problem.
inline constexpr const char* SupportAddress = "support@caldavor.example";
