// A fresh folder under the system's temporary folder for one test, removed
// with its contents afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tessivar::test {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessivar_XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // Empty when the folder could not be made.
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }
    std::string operator/(const std::string &name) const { return file(name); }

private:
    std::string path_;
};

}  // namespace tessivar::test
