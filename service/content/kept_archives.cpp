#include "service/content/kept_archives.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <system_error>
#include <vector>

#include "service/core/text.h"
#include "service/core/trace.h"
#include "service/protocol/md5_digest.h"

namespace MapsService {

namespace {

constexpr auto kLongestKept = std::chrono::hours(24);
constexpr const char* kSuffix = ".zip";

std::string file_md5(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    Md5Digest digest;
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        digest.update(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    return in.eof() ? digest.hex() : std::string();
}

// A name_of() name: 32 lower-case hexadecimal digits and the suffix.
bool is_archive_name(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    const std::size_t digits = 32;
    return name.size() == digits + std::char_traits<char>::length(kSuffix) &&
           name.ends_with(kSuffix) && std::all_of(name.begin(), name.begin() + digits, [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

std::string KeptArchives::name_of(const std::wstring& url) {
    const std::string text = to_narrow(url);
    Md5Digest digest;
    digest.update(text.data(), text.size());
    return digest.hex() + kSuffix;
}

bool KeptArchives::keep(const std::filesystem::path& file) const {
    if (m_folder.empty()) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    std::filesystem::rename(file, m_folder / file.filename(), error);
    if (error) {
        TraceWarning(L"%s not kept for the next run: %s", to_wide(file.string()).c_str(),
                     to_wide(error.message()).c_str());
    }
    return !error;
}

void KeptArchives::adopt(const std::filesystem::path& folder) const {
    if (m_folder.empty()) {
        return;
    }
    // Each item's download has a folder of its own, named by its number;
    // nothing else there (the unpacking's work files) is looked at.
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        const std::string number = item.path().filename().string();
        if (number.empty() || !std::all_of(number.begin(), number.end(),
                                           [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        std::error_code itemError;
        for (const auto& entry : std::filesystem::directory_iterator(item.path(), itemError)) {
            if (entry.is_regular_file(itemError) && is_archive_name(entry.path())) {
                (void)keep(entry.path());
            }
        }
    }
}

bool KeptArchives::take(const std::wstring& url, const std::string& checksum,
                        const std::filesystem::path& target) const {
    if (checksum.empty() || m_folder.empty()) {
        return false;
    }
    std::error_code error;
    // A rename, so that another process of ours can take it at most once.
    std::filesystem::rename(m_folder / name_of(url), target, error);
    if (error) {
        return false;
    }
    if (file_md5(target) == checksum) {
        TraceInfo(L"%s kept from a run cut short: not fetched again", url.c_str());
        return true;
    }
    TraceWarning(L"the archive kept of %s is not the catalog's: fetched again", url.c_str());
    std::filesystem::remove(target, error);
    return false;
}

void KeptArchives::drop(const std::wstring& url) const {
    std::error_code error;
    if (!m_folder.empty()) {
        std::filesystem::remove(m_folder / name_of(url), error);
    }
}

void KeptArchives::prune() const {
    if (m_folder.empty()) {
        return;
    }
    std::error_code error;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(m_folder, error)) {
        std::error_code entryError;
        const auto written = entry.last_write_time(entryError);
        if (!entryError && now - written > kLongestKept) {
            std::filesystem::remove_all(entry.path(), entryError);
        }
    }
    std::filesystem::remove(m_folder, error);  // only when empty
}

}  // namespace MapsService
