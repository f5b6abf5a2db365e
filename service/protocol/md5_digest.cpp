#include "service/protocol/md5_digest.h"

#include <stdexcept>

namespace MapsService {

Md5Digest::Md5Digest() : m_context(EVP_MD_CTX_new(), EVP_MD_CTX_free) {
    if (!m_context) {
        throw std::bad_alloc();
    }
    restart();
}

void Md5Digest::restart() {
    if (EVP_DigestInit_ex(m_context.get(), EVP_md5(), nullptr) != 1) {
        throw std::runtime_error("MD5 is not available");
    }
}

void Md5Digest::update(const char* data, std::size_t size) {
    EVP_DigestUpdate(m_context.get(), data, size);
}

std::string Md5Digest::hex() const {
    // Finishing consumes a context: finish a copy.
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> copy(EVP_MD_CTX_new(),
                                                                       EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), m_context.get()) != 1 ||
        EVP_DigestFinal_ex(copy.get(), digest, &length) != 1) {
        return {};
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(kDigits[digest[i] >> 4]);
        text.push_back(kDigits[digest[i] & 0x0F]);
    }
    return text;
}

}  // namespace MapsService
