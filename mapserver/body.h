#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace atlasync::mapserver {

// The bytes of one answer, read piece by piece while they are sent.
class Body {
public:
    virtual ~Body() = default;
    virtual std::uint64_t size() const = 0;
    // Copies `count` bytes from `offset`; false when they cannot be read.
    virtual bool read(std::uint64_t offset, char* buffer, std::size_t count) = 0;
    // The bytes at `offset` when they are already in memory, so nothing is copied.
    virtual const char* view(std::uint64_t offset) const = 0;
};

std::shared_ptr<Body> memory_body(std::string bytes);
// An open regular file; nothing when it cannot be opened.
std::shared_ptr<Body> file_body(const std::string& path);

}  // namespace atlasync::mapserver
