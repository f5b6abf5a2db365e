#pragma once

#include <filesystem>
#include <string>

namespace MapsService {

// Archives an update fetched whole but did not place before it was cut short
// (cancelled, failed, killed), kept below the user's temporary folder for the
// next run, which would otherwise fetch them again: with several downloads in
// flight those are a few archives at every cut. Each is named by the URL it
// came from and taken only when the catalog's MD5 vouches for its bytes;
// archives kept for longer than a day go.
class KeptArchives {
public:
    explicit KeptArchives(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    // Whether archives can be kept at all: this user has a temporary folder.
    bool usable() const { return !m_folder.empty(); }

    // The name an archive of this URL has in the keep and in a work folder
    // once fetched whole.
    static std::string name_of(const std::wstring& url);

    // Moves a file named by name_of() into the keep; false when it stays.
    bool keep(const std::filesystem::path& file) const;
    // Moves the whole archives of a work folder left by an update that did
    // not end into the keep: in its items' folders, those with name_of()
    // names (a download is named so once whole and checked).
    void adopt(const std::filesystem::path& folder) const;
    // Moves the kept archive of the URL to `target` when its MD5 is
    // `checksum` (lower-case hexadecimal); false, and the archive gone, when
    // it is not. Nothing is taken without a checksum.
    bool take(const std::wstring& url, const std::string& checksum,
              const std::filesystem::path& target) const;
    // Drops what was kept for longer than a day, and the keep once empty.
    void prune() const;
    // Drops what is kept of the URL: after an update that placed all it
    // wanted, no run to come needs its archives.
    void drop(const std::wstring& url) const;

private:
    std::filesystem::path m_folder;
};

}  // namespace MapsService
