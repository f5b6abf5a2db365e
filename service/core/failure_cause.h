#pragma once

#include <cstdint>
#include <string>

namespace MapsService {

// Why the running operation failed, in words a user can act on ("cannot reach
// the map server mapdata.example: Couldn't resolve host name"). Result codes
// tell a front end which page to show; this tells the user what to fix. The
// layer that meets the failure notes it; the facade clears it as each
// operation starts. Process-wide: transfers also run on the download thread.
void note_failure_cause(const std::string& cause);
// The cause noted last since the clear; empty when none was.
std::string failure_cause();
void clear_failure_cause();
// How many causes were noted since the process began: tells whether a step
// noted one, whatever its words.
std::uint64_t failure_causes_noted();

}  // namespace MapsService
