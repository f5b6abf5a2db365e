#include "mapserver/world/digest.h"

#include <fstream>
#include <stdexcept>
#include <vector>

#include "service/protocol/md5_digest.h"

namespace atlasync::mapserver {

std::string md5_of_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    MapsService::Md5Digest digest;
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        digest.update(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    return digest.hex();
}

}  // namespace atlasync::mapserver
