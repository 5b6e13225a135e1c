/* JSON document object: one cJSON document with its operations carried as
 * function pointers, so that a caller holds one handle and calls through it.
 * Adds typed getters with defaults, setters that replace a member while
 * keeping its place among its siblings, and file loading and saving.
 *
 * Items are cJSON items (struct cJSON from <cjson/cJSON.h>); the object owns
 * its root and its text buffer. Every operation checks its arguments first
 * and returns -1 (or null) without change. */
#ifndef TESSIVAR_LMJSON_H
#define TESSIVAR_LMJSON_H

#include "tessivar_export.h"

TESSIVAR_BEGIN_C

struct cJSON;

typedef struct LmJson LmJson;

struct LmJson {
    /* Reads, parses and takes the file as root. 0; -1 null; -2 file absent;
     * -3 read failure (also an empty file); -4 parse failure. */
    int (*_jsonInit)(LmJson *json, const char *path);
    /* Parses text as root. 0; -1 null; -2 parse failure. */
    int (*_jsonFromString)(LmJson *json, const char *text);
    /* Deletes the root. 0, or -1 for a null object. */
    int (*_jsonRelease)(LmJson *json);
    /* Prints the item formatted to standard output. 0, or -1. */
    int (*_jsonPrint)(const struct cJSON *item);
    /* Member key of item (case-insensitive lookup), or null. */
    struct cJSON *(*_jsonObjectItem)(const struct cJSON *item, const char *key);
    /* Number of elements, or -1 for null. */
    int (*_jsonArraySize)(const struct cJSON *array);
    /* Element index, or null. */
    struct cJSON *(*_jsonArrayItem)(const struct cJSON *array, int index);

    /* Member values: the value when the member has the type, else def.
     * Bool: 1/0, -1 for null arguments; int: the number's integer part, -1
     * for null arguments; double: -1.0 for null arguments; string: null for
     * null arguments. */
    int (*_jsonBoolValue)(const struct cJSON *item, const char *key, int def);
    int (*_jsonIntValue)(const struct cJSON *item, const char *key, int def);
    double (*_jsonDoubleValue)(const struct cJSON *item, const char *key, double def);
    const char *(*_jsonStringValue)(const struct cJSON *item, const char *key, const char *def);

    /* Element values, likewise. */
    int (*_jsonBoolValueArray)(const struct cJSON *array, int index, int def);
    int (*_jsonIntValueArray)(const struct cJSON *array, int index, int def);
    double (*_jsonDoubleValueArray)(const struct cJSON *array, int index, double def);
    const char *(*_jsonStringValueArray)(const struct cJSON *array, int index, const char *def);

    /* Copy up to count elements into out. 0; -1 null or negative count; -2
     * not an array; -3 an element of another type (those before it are
     * stored). Texts go into the caller's buffers out[i] of textSize bytes,
     * cut and terminated. */
    int (*_jsonBoolValueArrayAll)(const struct cJSON *array, int *out, int count);
    int (*_jsonIntValueArrayAll)(const struct cJSON *array, int *out, int count);
    int (*_jsonDoubleValueArrayAll)(const struct cJSON *array, double *out, int count);
    int (*_jsonStringValueArrayAll)(const struct cJSON *array, char **out, int count, int textSize);

    /* Unlinks and deletes member key of *parent. 0 (also when absent), -1. */
    int (*_jsonDeleteKey)(struct cJSON **parent, const char *key);

    /* Set member key (created at the end when absent; an existing member
     * keeps its place). 0; -1 null; -2 delete failure; -3 create failure. */
    int (*_jsonSetBoolValue)(struct cJSON *item, const char *key, int value);
    int (*_jsonSetIntValue)(struct cJSON *item, const char *key, int value);
    int (*_jsonSetDoubleValue)(struct cJSON *item, const char *key, double value);
    int (*_jsonSetStringValue)(struct cJSON *item, const char *key, const char *value);
    int (*_jsonSetNullValue)(struct cJSON *item, const char *key);

    /* The same as the setters. */
    int (*_jsonAddBoolValue)(struct cJSON *item, const char *key, int value);
    int (*_jsonAddIntValue)(struct cJSON *item, const char *key, int value);
    int (*_jsonAddDoubleValue)(struct cJSON *item, const char *key, double value);
    int (*_jsonAddStringValue)(struct cJSON *item, const char *key, const char *value);
    int (*_jsonAddNullValue)(struct cJSON *item, const char *key);

    /* Append one element. 0; -1 null; -2 create failure; -3 append failure. */
    int (*_jsonAddBoolValueArray)(struct cJSON *array, int value);
    int (*_jsonAddIntValueArray)(struct cJSON *array, int value);
    int (*_jsonAddDoubleValueArray)(struct cJSON *array, double value);
    int (*_jsonAddStringValueArray)(struct cJSON *array, const char *value);

    /* Add an existing array / object as member key, or append an existing
     * item. 0; -1 null; -2 failure. */
    int (*_jsonAddArray)(struct cJSON *item, const char *key, struct cJSON *array);
    int (*_jsonAddArrayItem)(struct cJSON *array, struct cJSON *item);
    int (*_jsonAddObject)(struct cJSON *item, const char *key, struct cJSON *object);
    /* A new empty object added as member key, or null. */
    struct cJSON *(*_jsonAddObjectItem)(struct cJSON *item, const char *key);
    struct cJSON *(*_jsonCreateArray)(void);
    struct cJSON *(*_jsonCreateObject)(void);

    /* Writes the formatted print of item to path. 0; -1 null; -2 print
     * failure; -3 open failure; -4 short write. */
    int (*_jsonSave)(const struct cJSON *item, const char *path);
    /* The formatted print of item, stored at *text after freeing what was
     * there (texts from this operation only); null for null arguments. */
    char *(*_jsonToString)(const struct cJSON *item, char **text);

    char *text;         /* text buffer owned by the object */
    struct cJSON *root; /* the document, or null */
};

/* A new object with its operations, no root and no text; null on failure. */
TESSIVAR_API LmJson *newJson(void);

/* Releases the root and the text, frees the object, nulls *json. 0, or -1
 * when json or *json is null. */
TESSIVAR_API int delJson(LmJson **json);

TESSIVAR_API const char *jsonVersion(void);

TESSIVAR_END_C

#endif /* TESSIVAR_LMJSON_H */
