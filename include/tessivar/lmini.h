/* INI object: an iniparser dictionary with its operations carried as function
 * pointers, so that a caller holds one handle and calls through it.
 *
 * Keys are addressed as section and key joined by ':'; a key outside any
 * section has the empty section name (""). Every operation checks its
 * arguments and returns -1 (or null) without touching the object. */
#ifndef TESSIVAR_LMINI_H
#define TESSIVAR_LMINI_H

#include "tessivar_export.h"

TESSIVAR_BEGIN_C

struct _dictionary_; /* iniparser's dictionary */

typedef struct LmIni LmIni;

struct LmIni {
    /* Loads path, releasing a dictionary already held. 0; -1 null argument;
     * -2 file absent; -3 load failure. */
    int (*_iniInit)(LmIni *ini, const char *path);
    /* Frees the dictionary. 0; -1 when nothing is held. */
    int (*_iniRelease)(LmIni *ini);
    /* Walks the entries without printing. 0 or -1. */
    int (*_iniPrint)(LmIni *ini);
    /* Number of sections, or -1. */
    int (*_iniSectionNumber)(LmIni *ini);
    /* Number of keys of the section, or -1. */
    int (*_iniKeyNumber)(LmIni *ini, const char *section);
    /* Name of the index-th section, or null. */
    const char *(*_iniSectionName)(LmIni *ini, int index);
    /* The index-th key name of the section (without "section:"), or null. */
    const char *(*_iniSectionKey)(LmIni *ini, const char *section, int index);
    /* The dictionary's find result for "section:key", or -1. */
    int (*_iniFindKey)(LmIni *ini, const char *section, const char *key);
    /* Value text of "section:key" or def; null when any argument is null. */
    const char *(*_iniValue)(LmIni *ini, const char *section, const char *key, const char *def);
    /* Sets "section:key" (creating a non-empty section first). 0; -1 null
     * argument; -2 when the section cannot be made; -3 when the set fails. */
    int (*_iniSetValue)(LmIni *ini, const char *section, const char *key, const char *value);
    /* Removes "section:key". 0, or -1 for a null argument. */
    int (*_iniDeleteKey)(LmIni *ini, const char *section, const char *key);
    /* Replaces the dictionary by a new empty one. 0, or -2. */
    int (*_iniCreate)(LmIni *ini);
    /* Writes the dictionary in INI form. 0; -1 null; -2 file cannot be opened. */
    int (*_iniSave)(LmIni *ini, const char *path);
    /* The iniparser dictionary, or null. */
    struct _dictionary_ *dictionary;
};

/* A new object with its operations and no dictionary, or null. */
TESSIVAR_API LmIni *newIni(void);

/* Releases the dictionary, frees the object and nulls *ini. 0, or -1 when ini
 * or *ini is null. */
TESSIVAR_API int delIni(LmIni **ini);

TESSIVAR_API const char *iniVersion(void);

/* 0 when the first min(strlen a, strlen b, n) characters are equal ignoring
 * case, else the difference of the first differing lower-cased characters;
 * -1 for a null argument. */
TESSIVAR_API int _lmstrncasecmp(const char *a, const char *b, int n);

TESSIVAR_END_C

#endif /* TESSIVAR_LMINI_H */
