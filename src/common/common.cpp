// File and text helpers used by the log, raw capture and the debug dumps.
//
// Paths are plain C texts; folders are made with mode 0755. Every helper
// refuses a null argument with the standard complaint at error level.
#include "tessivar/common.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/file_utils.hpp"
#include "common/log_macros.hpp"

namespace {

constexpr const char *kTag = "Unknown TAG";

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Makes one folder unless something already exists under that name.
bool makeFolder(const char *path, bool quiet)
{
    if (access(path, F_OK) == 0) return true;
    if (mkdir(path, 0755) == 0) return true;
    if (!quiet) TV_LOGE(kTag, "mkdir error(%s).", std::strerror(errno));
    return false;
}

}  // namespace

extern "C" int fileExist(const char *path)
{
    if (path == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    return access(path, F_OK) == 0 ? 1 : 0;
}

extern "C" int fileIsDir(const char *path)
{
    if (path == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    struct stat st;
    if (stat(path, &st) != 0) {
        TV_LOGE(kTag, "stat error(%s).", std::strerror(errno));
        return -2;
    }
    return S_ISDIR(st.st_mode) ? 1 : 0;
}

namespace tessivar {

int createDirTree(const char *path, bool quiet)
{
    if (path == nullptr) return -1;
    char *copy = strdup(path);
    if (copy == nullptr) {
        if (!quiet) TV_LOGE(kTag, "strdup error(%s).", std::strerror(errno));
        return -2;
    }
    stringTrimmed(copy);
    int rc = 0;
    if (copy[0] != '\0') {
        // Every parent in turn: cut the copy at the separator, make the
        // prefix, and put a '/' back in place of whichever separator it was.
        // The first character is never a cut point, so "/abs" and "\abs"
        // are not taken for an empty parent.
        for (size_t i = 1; copy[i] != '\0'; ++i) {
            if (!isSeparator(copy[i])) continue;
            copy[i] = '\0';
            const bool made = makeFolder(copy, quiet);
            copy[i] = '/';
            if (!made) {
                rc = -3;
                break;
            }
        }
        if (rc == 0 && !makeFolder(copy, quiet)) rc = -4;
    }
    std::free(copy);
    return rc;
}

}  // namespace tessivar

extern "C" int createDir(const char *path)
{
    if (path == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return -1;
    }
    return tessivar::createDirTree(path, false);
}

extern "C" char *stringTrimmed(char *text)
{
    if (text == nullptr) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return nullptr;
    }
    const char *begin = text;
    while (*begin != '\0' && std::isspace(static_cast<unsigned char>(*begin))) ++begin;
    size_t len = std::strlen(begin);
    while (len > 0 && std::isspace(static_cast<unsigned char>(begin[len - 1]))) --len;
    std::memmove(text, begin, len);
    text[len] = '\0';
    return text;
}

extern "C" char *systemTime(char *buffer, int size)
{
    if (buffer == nullptr || size < 19) {
        TV_LOGE(kTag, "%s", tessivar::kBadInput);
        return nullptr;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local;
    if (localtime_r(&now, &local) == nullptr) {
        TV_LOGE(kTag, "localtime error(%s).", std::strerror(errno));
        return nullptr;
    }
    // With size 19 the text is cut one character short (no room for the
    // terminator after the seconds); 20 holds it whole.
    std::snprintf(buffer, static_cast<size_t>(size), "%02d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}
