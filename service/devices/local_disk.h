#pragma once

#include <cstdint>
#include <string>

#include "service/core/result_codes.h"

namespace MapsService {

// Helpers for the PC's own disk. Paths are local paths; backslashes in them
// count as separators.

// Creates the folder with every missing parent: 0 when it exists afterwards,
// 1 when the path does not fit the platform's path limit, 5 when the folder
// cannot be made (also when a file already holds its name).
[[nodiscard]] Result platform_create_directory(const std::wstring& path);

// 0 with the file's size in bytes, or 1 (traced) when it cannot be read or is
// not a regular file (a link, folder, FIFO, socket or device).
[[nodiscard]] Result platform_get_file_size(const std::wstring& path, std::uint64_t& size);

// Removes a work file of this computer (none for an empty path); a file that
// stays is traced as "WHAT PATH not removed".
void remove_work_file(const std::wstring& path, const wchar_t* what);

// Removes the folder with everything below it, read-only files and folders too;
// symbolic links are removed, never followed, also when path itself is one.
// 0, or 1 at the first failure.
[[nodiscard]] Result delete_tree(const std::wstring& path);

// The user's temporary folder: $TMPDIR (else /tmp) joined with "atlasync-<uid>",
// created with mode 0700 and refused unless it is a real folder owned by the
// user, so that nobody else can plant links in our work folders. 0 with its
// native path, 1 when the path is too long, 5 when it is unusable.
[[nodiscard]] Result user_temp_folder(std::string& nativePath);

// Creates the user's temporary folder joined with name; path receives the
// joined path even on failure.
[[nodiscard]] Result create_temp_directory(const std::wstring& name, std::wstring& path);

}  // namespace MapsService
