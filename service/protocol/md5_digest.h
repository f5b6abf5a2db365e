#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <memory>
#include <string>

namespace MapsService {

// MD5 of a byte stream fed piece by piece, so that a download is checked
// without reading its file a second time.
class Md5Digest {
public:
    Md5Digest();
    void restart();
    void update(const char* data, std::size_t size);
    // Lower-case hexadecimal, as catalogs carry it; the stream may go on afterwards.
    std::string hex() const;

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> m_context;
};

}  // namespace MapsService
