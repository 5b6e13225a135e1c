#include "common/named_block.hpp"

#include <cstring>

namespace tessivar {

namespace {
std::size_t cappedLength(const char *text)
{
    std::size_t n = std::strlen(text);
    return n > kMaxNameLength ? kMaxNameLength : n;
}

char *placeCopy(char *at, const char *text, std::size_t n)
{
    std::memcpy(at, text, n);
    at[n] = '\0';
    return at;
}
}  // namespace

std::size_t namedBlockTailSize(const char *name, const char *dataPath)
{
    std::size_t size = cappedLength(name) + 1;
    if (dataPath != nullptr) size += (dataPath[0] == '\0' ? 1 : cappedLength(dataPath)) + 1;
    return size;
}

void placeNamedBlockTail(char *tail, const char *name, const char *dataPath, char **nameOut,
                         char **dataPathOut)
{
    std::size_t n = cappedLength(name);
    *nameOut = placeCopy(tail, name, n);
    *dataPathOut = nullptr;
    if (dataPath == nullptr) return;
    char *at = tail + n + 1;
    *dataPathOut = dataPath[0] == '\0' ? placeCopy(at, ".", 1) : placeCopy(at, dataPath, cappedLength(dataPath));
}

char *debugFilePath(char *buffer, std::size_t size, const char *dataPath, const char *file)
{
    std::snprintf(buffer, size, "%s/%s", dataPath[0] == '\0' ? "." : dataPath, file);
    return buffer;
}

std::FILE *openDebugStream(const char *dataPath, const char *file)
{
    if (dataPath == nullptr) return nullptr;
    char path[256];
    return std::fopen(debugFilePath(path, sizeof path, dataPath, file), "w");
}

void closeDebugStream(std::FILE **stream)
{
    if (*stream != nullptr) {
        std::fclose(*stream);
        *stream = nullptr;
    }
}

}  // namespace tessivar
