// The texts of the string table as the user must see them, byte for byte.
#pragma once

inline constexpr char kDetecting[] = "Detecting...";
inline constexpr char kNoInternet[] = "Unable to retrieve Internet IP address";
inline constexpr char kNoLocal[] = "to retrieve local IP address";
inline constexpr char kNotBehind[] =
    "You appear to not be behind a firewall.  You should not have any problems running H.323 "
    "videoconferencing products such as Corimba from Tolvaric Software.";
inline constexpr char kBehind[] =
    "You appear to be behind a firewall.  You may experience problems with H.323 "
    "videoconferencing products.  In your current environment, you will be able to call others "
    "within your network, but might not be able to call Internet users.";
inline constexpr char kInternetUnknown[] =
    "Your Internet IP address cannot be determined.  You may not be connected to the Internet.  "
    "Connect and try again.";
inline constexpr char kLocalUnknown[] = "Your local IP address cannot be determined.  H.323 "
                                        "applications may have trouble making connections.";
inline constexpr char kNeitherKnown[] =
    "Neither your local or Internet IP address can be determined.  H.323 applications will not "
    "work correctly on this machine.";
