#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace atlasync::mapserver {

// Writes a ZIP archive whose bytes depend only on what is added: every entry
// carries the same fixed time stamp and no extra fields.
class ZipWriter {
public:
    enum class Method { Stored, Deflated };

    // Throws std::runtime_error when the archive cannot be created.
    explicit ZipWriter(const std::filesystem::path& path);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // `name` uses "/" between folders, as the format wants.
    void add(const std::string& name, const std::string& bytes, Method method);
    // Writes the central directory; throws when that fails.
    void close();

    // Sum of the entries' uncompressed sizes.
    std::uint64_t content_size() const { return m_contentSize; }

private:
    void* m_zip;
    std::filesystem::path m_path;
    std::uint64_t m_contentSize = 0;
};

}  // namespace atlasync::mapserver
