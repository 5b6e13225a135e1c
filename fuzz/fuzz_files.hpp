// A private scratch folder for targets that must read from files: created
// once per process, files rewritten for every input.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tessivar::fuzz {

inline const std::string &scratchFolder()
{
    static const std::string folder = [] {
        char pattern[] = "/tmp/tessivar_fuzz_XXXXXX";
        const char *made = mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return folder;
}

inline void writeFile(const std::string &path, const std::string &bytes)
{
    if (std::FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

}  // namespace tessivar::fuzz
