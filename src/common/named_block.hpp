// Module objects (filters, pace removers, splines, detectors) live in one heap
// block: the object, its arrays, then its own copies of the record's name and
// debug data path. These helpers size and fill that tail and open the debug
// streams a data path asks for.
#pragma once

#include <cstddef>
#include <cstdio>

namespace tessivar {

// Longest name or data path kept; longer texts are cut.
inline constexpr std::size_t kMaxNameLength = 255;

// Bytes needed behind an object for the copies of name and dataPath (name
// must not be null; a null dataPath needs nothing, an empty one is kept as ".").
std::size_t namedBlockTailSize(const char *name, const char *dataPath);

// Writes the copies into tail (sized by namedBlockTailSize) and points
// *nameOut and *dataPathOut at them; *dataPathOut is null without a path.
void placeNamedBlockTail(char *tail, const char *name, const char *dataPath, char **nameOut,
                         char **dataPathOut);

// Opens "<dataPath>/<file>" for writing (the path formatted into a
// 256-character buffer, the current directory standing for an empty path).
// Null when dataPath is null or the file cannot be opened.
std::FILE *openDebugStream(const char *dataPath, const char *file);

// Formats "<dataPath>/<file>" into buffer (size bytes), "." standing for an
// empty data path. Returns buffer.
char *debugFilePath(char *buffer, std::size_t size, const char *dataPath, const char *file);

// Closes *stream when open and nulls it.
void closeDebugStream(std::FILE **stream);

}  // namespace tessivar
