#pragma once

#include <string>

#include "service/core/result_codes.h"
#include "tools/options.h"

namespace atlasync::tool {

// Which map server a command asks, and whom it trusts to be that server.
struct ServerChoice {
    std::wstring
        root;  // a name, an address or a URL (server_url_of_root); empty: the compiled-in one
    std::wstring
        caFile;  // PEM certificates trusted instead of the system's store; empty: the store
};

// The synopsis of the options below.
inline constexpr const char* kServerSynopsis = "[--server-root ROOT] [--ca-file FILE]";

// --server-root and --ca-file, refused at parsing when the root names no server
// or the file cannot be read.
void add_server_options(Options& parser, ServerChoice& choice);

// Hands the choice to the service: the first failing call's code, 0 when both took.
[[nodiscard]] MapsService::Result apply_server_choice(const ServerChoice& choice);

}  // namespace atlasync::tool
