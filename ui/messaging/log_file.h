#pragma once

#include <filesystem>
#include <string>

namespace atlasync::ui {

// A log that is opened, appended to and closed for every line, so the file is
// complete whenever the program stops and other programs may read it meanwhile.
class CLogFile {
public:
    explicit CLogFile(std::filesystem::path path) : m_path(std::move(path)) {}

    const std::filesystem::path& path() const { return m_path; }

    // Appends one line (given with its line end); an empty file first gets the
    // header "-- <computer name> --". False when the file cannot be written,
    // which callers ignore: logging never stops the program.
    bool write_line(const std::string& line) const;

private:
    std::filesystem::path m_path;
};

// The name of this computer, as the log header shows it.
std::string computer_name();

}  // namespace atlasync::ui
