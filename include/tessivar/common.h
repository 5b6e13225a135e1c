/* File and text helpers. Every helper logs "Input parameter exception." at
 * error level for a null argument. */
#ifndef TESSIVAR_COMMON_H
#define TESSIVAR_COMMON_H

#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* 1 when the path exists, 0 when it does not, -1 for a null path. */
TESSIVAR_API int fileExist(const char *path);

/* 1 for a folder, 0 for anything else, -1 for a null path, -2 when the status
 * cannot be read. */
TESSIVAR_API int fileIsDir(const char *path);

/* Creates the folder with every missing parent ('/' or '\' separate parts).
 * 0 on success or for an empty path; -1 null path; -2 copy failed; -3 or -4
 * when a folder cannot be made. */
TESSIVAR_API int createDir(const char *path);

/* Removes leading and trailing white space in place; returns text. */
TESSIVAR_API char *stringTrimmed(char *text);

/* Writes "yyyy-mm-dd HH:MM:SS" of the local time into buffer (size >= 19, at
 * least 20 for the terminator to fit); returns buffer, or null on failure. */
TESSIVAR_API char *systemTime(char *buffer, int size);

TESSIVAR_END_C

#endif /* TESSIVAR_COMMON_H */
