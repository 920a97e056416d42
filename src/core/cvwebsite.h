#pragma once
// The maker's web addresses, under the reserved ".example" domain: the
// dialogs and the web services name them from here alone.

// The maker's web site, and its page that hands out configuration tickets.
inline constexpr const char* MakerSite = "http://www.caldavor.example";
inline constexpr const char* TicketPagePath = "/cvhandleconfig.php";
