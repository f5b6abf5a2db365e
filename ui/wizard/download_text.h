#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace atlasync::ui {

// Done and total megabytes of a transfer.
struct MegabytePair {
    double done = 0;
    double total = 0;
};

// Bytes in megabytes of 1,048,576 bytes.
double to_megabytes(std::uint64_t bytes);

// A size in megabytes written with the user's number format, two decimals.
std::wstring format_megabytes(double megabytes);

// The download page's text: "<done> MB of <total> MB." when a pair is given,
// else the base text, followed by the estimated time: minutes above 90 seconds
// (rounded, so 91 seconds read 2 minutes), seconds above 0, nothing at 0. The
// count takes the form the language in use gives it ("1 Second", "2 Seconds").
std::wstring compose_download_text(std::uint64_t remainingSeconds,
                                   const std::optional<MegabytePair>& megabytes,
                                   const std::wstring& baseText = {});

}  // namespace atlasync::ui
