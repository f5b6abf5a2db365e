#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace atlasync::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& content);

// Runs the body with the working directory set to dir, restoring it afterwards.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::filesystem::path& dir);
    ~ScopedWorkingDirectory();

private:
    std::filesystem::path m_previous;
};

// Sets an environment variable for its lifetime, then puts back what was there
// (unset when nothing was): a test's TMPDIR must not outlive its folder.
class ScopedVariable {
public:
    ScopedVariable(std::string name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

}  // namespace atlasync::testing
