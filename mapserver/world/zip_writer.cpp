#include "mapserver/world/zip_writer.h"

#include <minizip/zip.h>

#include <stdexcept>

namespace atlasync::mapserver {

namespace {

constexpr int kDeflateLevel = 6;

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& what) {
    throw std::runtime_error("cannot write " + path.string() + ": " + what);
}

}  // namespace

ZipWriter::ZipWriter(const std::filesystem::path& path)
    : m_zip(zipOpen64(path.c_str(), APPEND_STATUS_CREATE)), m_path(path) {
    if (!m_zip) {
        fail(path, "cannot create the archive");
    }
}

ZipWriter::~ZipWriter() {
    if (m_zip) {
        zipClose(static_cast<zipFile>(m_zip), nullptr);
    }
}

void ZipWriter::add(const std::string& name, const std::string& bytes, Method method) {
    zip_fileinfo info{};
    // A fixed time stamp keeps archives byte-identical between runs.
    info.tmz_date.tm_year = 2020;
    info.tmz_date.tm_mon = 0;
    info.tmz_date.tm_mday = 1;
    const bool deflate = method == Method::Deflated;
    auto* zip = static_cast<zipFile>(m_zip);
    if (zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                              deflate ? Z_DEFLATED : 0, deflate ? kDeflateLevel : 0, 0) != ZIP_OK ||
        zipWriteInFileInZip(zip, bytes.data(), static_cast<unsigned>(bytes.size())) != ZIP_OK ||
        zipCloseFileInZip(zip) != ZIP_OK) {
        fail(m_path, "cannot add " + name);
    }
    m_contentSize += bytes.size();
}

void ZipWriter::close() {
    const int result = zipClose(static_cast<zipFile>(m_zip), nullptr);
    m_zip = nullptr;
    if (result != ZIP_OK) {
        fail(m_path, "cannot finish the archive");
    }
}

}  // namespace atlasync::mapserver
