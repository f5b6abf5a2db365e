#pragma once

namespace atlasync::testing {

// Gives the calling thread, and every program it starts from then on, a mount
// namespace of its own: what the test mounts no other process sees (each
// running tool watches its mount table for volumes arriving), it sees no
// other test's mounts, and its mounts go when its last process ends, killed
// or not. False when this machine allows no such namespace.
bool own_mounts();

}  // namespace atlasync::testing
