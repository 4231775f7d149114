#pragma once
// A folder of its own for one test, removed with everything in it afterwards.

#include <filesystem>
#include <optional>
#include <string>

namespace kinovex::test {

class TempDir {
public:
    // `hint` becomes part of the folder's name; it may hold blanks and non-ASCII letters.
    explicit TempDir(const std::string& hint = "kinovex");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Writes `bytes` to `path`, creating or replacing the file.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// Sets an environment variable for the lifetime of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    // Unsets the variable.
    ScopedEnv(const char* name, std::nullopt_t);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_hadValue = false;
    std::string m_oldValue;
};

} // namespace kinovex::test
