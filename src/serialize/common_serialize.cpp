// Folder and name helpers every serializer uses.
#include <unistd.h>

#include <cctype>
#include <cstring>

#include "common/file_utils.hpp"
#include "serialize/anal_serialize.hpp"
#include "tessivar/anal_serialize.h"

extern "C" int serializeCreateDir(const char *path) { return tessivar::createDirTree(path, true); }

extern "C" int serializeFileExist(const char *path)
{
    if (path == nullptr) return -1;
    if (path[0] == '\0') return 1;
    return access(path, F_OK) == 0 ? 1 : 0;
}

extern "C" int serializeDataPathGet(const char *path, char *folder)
{
    if (path == nullptr || folder == nullptr) return -1;
    // Trimmed bounds of the path.
    const char *begin = path;
    while (*begin != '\0' && std::isspace(static_cast<unsigned char>(*begin))) ++begin;
    size_t len = std::strlen(begin);
    while (len > 0 && std::isspace(static_cast<unsigned char>(begin[len - 1]))) --len;
    // Up to and without the last separator.
    size_t cut = 0;
    for (size_t i = 0; i < len; ++i)
        if (begin[i] == '/' || begin[i] == '\\') cut = i + 1;
    const size_t folderLen = cut == 0 ? 0 : cut - 1;
    if (folderLen + 2 > tessivar::kSerializePathSize) {
        folder[0] = '\0';
        return -2;
    }
    for (size_t i = 0; i < folderLen; ++i) folder[i] = begin[i] == '\\' ? '/' : begin[i];
    folder[folderLen] = '\0';
    // "/x" keeps its root as the folder.
    if (cut == 1) folder[0] = '/', folder[1] = '\0';
    if (folder[0] != '\0' && serializeCreateDir(folder) != 0) return -3;
    const size_t n = std::strlen(folder);
    if (n > 0 && folder[n - 1] != '/') folder[n] = '/', folder[n + 1] = '\0';
    return 0;
}

extern "C" const char *getLeadTypeName(int index)
{
    static const char *const kNames[] = {"I",  "II", "III", "aVR", "aVL", "aVF", "V1",  "V2",  "V3",   "V4",
                                         "V5", "V6", "V7",  "V8",  "V9",  "V3R", "V4R", "V5R", "status"};
    if (index < 0 || index >= int(sizeof kNames / sizeof kNames[0])) return nullptr;
    return kNames[index];
}
