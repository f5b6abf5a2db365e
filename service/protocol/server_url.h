#pragma once

#include <functional>
#include <string>

namespace MapsService {

// Where server packages find the map server's URL when they are built. The
// facade, which owns the server root, installs its get_server_url here; this
// layer cannot call upwards.
using ServerUrlSource = std::function<std::wstring()>;

void set_server_url_source(ServerUrlSource source);
// The source's answer; empty while no source is installed.
std::wstring current_server_url();

}  // namespace MapsService
