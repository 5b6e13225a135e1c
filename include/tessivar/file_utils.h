/* File helpers of the debug dumps: unique file names, file-name parts and
 * removal of folders with their contents. */
#ifndef TESSIVAR_FILE_UTILS_H
#define TESSIVAR_FILE_UTILS_H

#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* The file name of path without its last extension, newly allocated
 * (free it), or null. */
TESSIVAR_API char *extractFilenameWithoutExt(const char *path);

/* 0 or -1. removeDirectoryContents deletes everything inside folder
 * (sub-folders too); removeDirectory also the folder itself. */
TESSIVAR_API int removeFile(const char *path);
TESSIVAR_API int removeDirectoryContents(const char *folder);
TESSIVAR_API int removeDirectory(const char *folder);

/* "folder/name" (or "name" for an empty folder), or the first of
 * "folder/base_1.ext", "folder/base_2.ext" ... (up to 499) that does not
 * exist, into result (size bytes). 0 or -1. */
TESSIVAR_API int getUniqueFilename(const char *folder, const char *name, char *result, int size);

TESSIVAR_END_C

#endif /* TESSIVAR_FILE_UTILS_H */
