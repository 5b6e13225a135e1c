// File helpers of the debug dumps: unique file names, file-name parts and
// removal of folders with their contents.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/log_macros.hpp"
#include "tessivar/file_utils.h"

namespace {

constexpr const char *kTag = "file_utils";
// Longest base name and extension kept.
constexpr size_t kMaxPart = 254;
// Numbered candidates tried before giving up.
constexpr int kMaxSuffix = 499;

bool exists(const char *path) { return access(path, F_OK) == 0; }

// Formats the candidate (n = 0: no number) into result; false when it does
// not fit.
bool candidate(char *result, int size, const char *folder, const char *base, const char *ext, int n)
{
    const bool flat = folder[0] == '\0';
    const int len = n == 0 ? std::snprintf(result, size_t(size), flat ? "%s%s%s" : "%s/%s%s", folder, base, ext)
                           : std::snprintf(result, size_t(size), flat ? "%s%s_%d%s" : "%s/%s_%d%s", folder, base, n,
                                           ext);
    if (len < 0 || len >= size) {
        TV_LOGE(kTag, "Output buffer too small");
        return false;
    }
    return true;
}

}  // namespace

extern "C" int getUniqueFilename(const char *folder, const char *name, char *result, int size)
{
    if (folder == nullptr || name == nullptr || result == nullptr || size < 1) {
        TV_LOGE(kTag, "Invalid input argument");
        return -1;
    }
    char base[kMaxPart + 1], ext[kMaxPart + 1];
    const char *dot = std::strrchr(name, '.');
    if (dot == nullptr || dot == name) dot = name + std::strlen(name);
    const size_t baseLen = size_t(dot - name);
    if (baseLen > kMaxPart) TV_LOGI(kTag, "Base name too long, truncated.");
    std::snprintf(base, sizeof base, "%.*s", int(baseLen > kMaxPart ? kMaxPart : baseLen), name);
    std::snprintf(ext, sizeof ext, "%s", dot);

    if (!candidate(result, size, folder, base, ext, 0)) return -1;
    for (int n = 1; exists(result); ++n) {
        if (n > kMaxSuffix) {
            TV_LOGW(kTag, "Formatted output filename %s", result);
            TV_LOGE(kTag, "Reached maximum suffix tries, cannot generate unique filename: %s", result);
            return -1;
        }
        if (!candidate(result, size, folder, base, ext, n)) return -1;
    }
    TV_LOGW(kTag, "Formatted output filename %s", result);
    return 0;
}

extern "C" char *extractFilenameWithoutExt(const char *path)
{
    if (path == nullptr) return nullptr;
    const char *slash = std::strrchr(path, '/');
    const char *name = slash != nullptr ? slash + 1 : path;
    const char *dot = std::strrchr(name, '.');
    const size_t len = dot != nullptr ? size_t(dot - name) : std::strlen(name);
    char *out = static_cast<char *>(std::malloc(len + 1));
    if (out == nullptr) return nullptr;
    std::memcpy(out, name, len);
    out[len] = '\0';
    return out;
}

extern "C" int removeFile(const char *path)
{
    if (path == nullptr) return -1;
    return std::remove(path) == 0 ? 0 : -1;
}

extern "C" int removeDirectoryContents(const char *folder)
{
    if (folder == nullptr) return -1;
    DIR *dir = opendir(folder);
    if (dir == nullptr) return -1;
    int rc = 0;
    char entry[512];
    for (const dirent *e = readdir(dir); e != nullptr; e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        const int len = std::snprintf(entry, sizeof entry, "%s/%s", folder, e->d_name);
        if (len < 0 || size_t(len) >= sizeof entry) {
            rc = -1;
            continue;
        }
        struct stat st;
        if (lstat(entry, &st) != 0) {
            rc = -1;
        } else if (S_ISDIR(st.st_mode)) {
            if (removeDirectory(entry) != 0) rc = -1;
        } else if (std::remove(entry) != 0) {
            rc = -1;
        }
    }
    closedir(dir);
    return rc;
}

extern "C" int removeDirectory(const char *folder)
{
    if (folder == nullptr || removeDirectoryContents(folder) != 0) return -1;
    return rmdir(folder) == 0 ? 0 : -1;
}
