// JSON document object over cJSON. Parsing and printing are cJSON's; this
// adds the operation table, typed getters with defaults, position-keeping
// setters and file loading and saving.
#include "tessivar/lmjson.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessivar {
namespace {

// --- document -------------------------------------------------------------

int jsonRelease(LmJson *json)
{
    if (json == nullptr) return -1;
    cJSON_Delete(json->root);
    json->root = nullptr;
    return 0;
}

int jsonFromString(LmJson *json, const char *text)
{
    if (json == nullptr || text == nullptr) return -1;
    cJSON *root = cJSON_Parse(text);
    if (root == nullptr) return -2;
    jsonRelease(json);
    json->root = root;
    return 0;
}

// Reads the whole file (size from its end position) into a terminated
// buffer and parses it.
int jsonInit(LmJson *json, const char *path)
{
    if (json == nullptr || path == nullptr) return -1;
    std::FILE *f = std::fopen(path, "rb");
    if (f == nullptr) return -2;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::rewind(f);
    if (size <= 0) {
        std::fclose(f);
        return -3;
    }
    char *buffer = static_cast<char *>(std::malloc(size_t(size) + 1));
    if (buffer == nullptr) {
        std::fclose(f);
        return -3;
    }
    const size_t got = std::fread(buffer, 1, size_t(size), f);
    std::fclose(f);
    if (got != size_t(size)) {
        std::free(buffer);
        return -3;
    }
    buffer[size] = '\0';
    const int rc = jsonFromString(json, buffer) == 0 ? 0 : -4;
    std::free(buffer);
    return rc;
}

int jsonPrint(const cJSON *item)
{
    if (item == nullptr) return -1;
    char *text = cJSON_Print(item);
    if (text == nullptr) return -1;
    std::puts(text);
    cJSON_free(text);
    return 0;
}

cJSON *jsonObjectItem(const cJSON *item, const char *key)
{
    if (item == nullptr || key == nullptr) return nullptr;
    return cJSON_GetObjectItem(item, key);
}

int jsonArraySize(const cJSON *array) { return array == nullptr ? -1 : cJSON_GetArraySize(array); }

cJSON *jsonArrayItem(const cJSON *array, int index)
{
    if (array == nullptr || index < 0) return nullptr;
    return cJSON_GetArrayItem(array, index);
}

// --- typed reads ----------------------------------------------------------
// One reader per type, shared by the member, element and whole-array getters.

struct BoolRead {
    using Value = int;
    static bool has(const cJSON *v) { return cJSON_IsBool(v); }
    static int get(const cJSON *v) { return cJSON_IsTrue(v) ? 1 : 0; }
};
struct IntRead {
    using Value = int;
    static bool has(const cJSON *v) { return cJSON_IsNumber(v); }
    static int get(const cJSON *v) { return v->valueint; }
};
struct DoubleRead {
    using Value = double;
    static bool has(const cJSON *v) { return cJSON_IsNumber(v); }
    static double get(const cJSON *v) { return v->valuedouble; }
};
struct StringRead {
    using Value = const char *;
    static bool has(const cJSON *v) { return cJSON_IsString(v) && v->valuestring != nullptr; }
    static const char *get(const cJSON *v) { return v->valuestring; }
};

template <typename R>
typename R::Value readOr(const cJSON *v, typename R::Value def)
{
    return v != nullptr && R::has(v) ? R::get(v) : def;
}

template <typename R, typename R::Value kNull>
typename R::Value memberValue(const cJSON *item, const char *key, typename R::Value def)
{
    if (item == nullptr || key == nullptr) return kNull;
    return readOr<R>(cJSON_GetObjectItem(item, key), def);
}

template <typename R>
typename R::Value elementValue(const cJSON *array, int index, typename R::Value def)
{
    if (array == nullptr || index < 0) return def;
    return readOr<R>(cJSON_GetArrayItem(array, index), def);
}

double doubleMemberValue(const cJSON *item, const char *key, double def)
{
    if (item == nullptr || key == nullptr) return -1.0;
    return readOr<DoubleRead>(cJSON_GetObjectItem(item, key), def);
}

// Copies up to count elements through store(i, element); stops with -3 at
// the first element of another type.
template <typename R, typename Store>
int allValues(const cJSON *array, int count, Store store)
{
    if (array == nullptr || count < 0) return -1;
    if (!cJSON_IsArray(array)) return -2;
    int i = 0;
    for (const cJSON *e = array->child; e != nullptr && i < count; e = e->next, ++i) {
        if (!R::has(e)) return -3;
        store(i, R::get(e));
    }
    return 0;
}

template <typename R>
int allInto(const cJSON *array, typename R::Value *out, int count)
{
    if (out == nullptr) return -1;
    return allValues<R>(array, count, [out](int i, typename R::Value v) { out[i] = v; });
}

int allStrings(const cJSON *array, char **out, int count, int textSize)
{
    if (out == nullptr || textSize < 1) return -1;
    return allValues<StringRead>(array, count, [out, textSize](int i, const char *v) {
        if (out[i] == nullptr) return;
        std::strncpy(out[i], v, size_t(textSize) - 1);
        out[i][textSize - 1] = '\0';
    });
}

// --- edits ----------------------------------------------------------------

int deleteKey(cJSON **parent, const char *key)
{
    if (parent == nullptr || *parent == nullptr || key == nullptr) return -1;
    cJSON_DeleteItemFromObject(*parent, key);
    return 0;
}

int positionOf(const cJSON *parent, const cJSON *member)
{
    int i = 0;
    for (const cJSON *c = parent->child; c != nullptr; c = c->next, ++i)
        if (c == member) return i;
    return -1;
}

// Inserts a detached item into the parent's sibling list so that it becomes
// the member at position (0 the front; past the end appends). cJSON keeps the
// last sibling in the first one's prev link.
void insertAt(cJSON *parent, int position, cJSON *item)
{
    cJSON *after = parent->child;
    for (int i = 0; after != nullptr && i < position; ++i) after = after->next;
    if (after == nullptr) {
        cJSON_AddItemToArray(parent, item);
        return;
    }
    item->next = after;
    item->prev = after->prev;
    if (after == parent->child)
        parent->child = item;
    else
        item->prev->next = item;
    after->prev = item;
}

// Makes an existing non-string member the value in place (its children, if
// it held any, are released).
template <typename Change>
void changeInPlace(cJSON *member, Change change)
{
    if (member->child != nullptr) {
        cJSON_Delete(member->child);
        member->child = nullptr;
    }
    change(member);
}

// The common body of the setters: create when absent; change in place when
// the member is not a string (and the value is not one); otherwise replace
// the member by a new one moved back to the old member's place.
template <typename Create, typename Change>
int setMember(cJSON *parent, const char *key, bool valueIsString, Create create, Change change)
{
    if (parent == nullptr || key == nullptr) return -1;
    cJSON *old = cJSON_GetObjectItem(parent, key);
    if (old == nullptr) {
        cJSON *fresh = create();
        if (fresh == nullptr) return -3;
        if (!cJSON_AddItemToObject(parent, key, fresh)) {
            cJSON_Delete(fresh);
            return -3;
        }
        return 0;
    }
    if (!cJSON_IsString(old) && !valueIsString) {
        changeInPlace(old, change);
        return 0;
    }
    const int position = positionOf(parent, old);
    cJSON *detached = cJSON_DetachItemViaPointer(parent, old);
    if (detached == nullptr) return -2;
    cJSON_Delete(detached);
    cJSON *fresh = create();
    if (fresh == nullptr) return -3;
    if (!cJSON_AddItemToObject(parent, key, fresh)) {
        cJSON_Delete(fresh);
        return -3;
    }
    insertAt(parent, position, cJSON_DetachItemViaPointer(parent, fresh));
    return 0;
}

void setType(cJSON *item, int type) { item->type = (item->type & ~0xFF) | type; }

int setBool(cJSON *item, const char *key, int value)
{
    return setMember(item, key, false, [value] { return cJSON_CreateBool(value); },
                     [value](cJSON *m) { setType(m, value ? cJSON_True : cJSON_False); });
}

int setDouble(cJSON *item, const char *key, double value)
{
    return setMember(item, key, false, [value] { return cJSON_CreateNumber(value); },
                     [value](cJSON *m) {
                         setType(m, cJSON_Number);
                         cJSON_SetNumberHelper(m, value);
                     });
}

int setInt(cJSON *item, const char *key, int value) { return setDouble(item, key, double(value)); }

int setString(cJSON *item, const char *key, const char *value)
{
    if (value == nullptr) return -1;
    return setMember(item, key, true, [value] { return cJSON_CreateString(value); }, [](cJSON *) {});
}

int setNull(cJSON *item, const char *key)
{
    return setMember(item, key, false, [] { return cJSON_CreateNull(); }, [](cJSON *m) { setType(m, cJSON_NULL); });
}

template <typename Create>
int appendElement(cJSON *array, bool argsOk, Create create)
{
    if (array == nullptr || !argsOk) return -1;
    cJSON *e = create();
    if (e == nullptr) return -2;
    if (!cJSON_AddItemToArray(array, e)) {
        cJSON_Delete(e);
        return -3;
    }
    return 0;
}

int addBoolElement(cJSON *array, int v)
{
    return appendElement(array, true, [v] { return cJSON_CreateBool(v); });
}
int addDoubleElement(cJSON *array, double v)
{
    return appendElement(array, true, [v] { return cJSON_CreateNumber(v); });
}
int addIntElement(cJSON *array, int v) { return addDoubleElement(array, double(v)); }
int addStringElement(cJSON *array, const char *v)
{
    return appendElement(array, v != nullptr, [v] { return cJSON_CreateString(v); });
}

int addMember(cJSON *item, const char *key, cJSON *member)
{
    if (item == nullptr || key == nullptr || member == nullptr) return -1;
    return cJSON_AddItemToObject(item, key, member) ? 0 : -2;
}

int addArrayItem(cJSON *array, cJSON *item)
{
    if (array == nullptr || item == nullptr) return -1;
    return cJSON_AddItemToArray(array, item) ? 0 : -2;
}

cJSON *addObjectItem(cJSON *item, const char *key)
{
    if (item == nullptr || key == nullptr) return nullptr;
    return cJSON_AddObjectToObject(item, key);
}

cJSON *createArray() { return cJSON_CreateArray(); }
cJSON *createObject() { return cJSON_CreateObject(); }

int jsonSave(const cJSON *item, const char *path)
{
    if (item == nullptr || path == nullptr) return -1;
    char *text = cJSON_Print(item);
    if (text == nullptr) return -2;
    std::FILE *f = std::fopen(path, "w");
    if (f == nullptr) {
        cJSON_free(text);
        return -3;
    }
    const size_t n = std::strlen(text);
    const size_t written = std::fwrite(text, 1, n, f);
    const int closed = std::fclose(f);
    cJSON_free(text);
    return written == n && closed == 0 ? 0 : -4;
}

char *jsonToString(const cJSON *item, char **text)
{
    if (item == nullptr || text == nullptr) return nullptr;
    cJSON_free(*text);
    *text = cJSON_Print(item);
    return *text;
}

}  // namespace
}  // namespace tessivar

using namespace tessivar;

extern "C" LmJson *newJson(void)
{
    auto *json = static_cast<LmJson *>(std::calloc(1, sizeof(LmJson)));
    if (json == nullptr) return nullptr;
    json->_jsonInit = jsonInit;
    json->_jsonFromString = jsonFromString;
    json->_jsonRelease = jsonRelease;
    json->_jsonPrint = jsonPrint;
    json->_jsonObjectItem = jsonObjectItem;
    json->_jsonArraySize = jsonArraySize;
    json->_jsonArrayItem = jsonArrayItem;
    json->_jsonBoolValue = memberValue<BoolRead, -1>;
    json->_jsonIntValue = memberValue<IntRead, -1>;
    json->_jsonDoubleValue = doubleMemberValue;
    json->_jsonStringValue = memberValue<StringRead, nullptr>;
    json->_jsonBoolValueArray = elementValue<BoolRead>;
    json->_jsonIntValueArray = elementValue<IntRead>;
    json->_jsonDoubleValueArray = elementValue<DoubleRead>;
    json->_jsonStringValueArray = elementValue<StringRead>;
    json->_jsonBoolValueArrayAll = allInto<BoolRead>;
    json->_jsonIntValueArrayAll = allInto<IntRead>;
    json->_jsonDoubleValueArrayAll = allInto<DoubleRead>;
    json->_jsonStringValueArrayAll = allStrings;
    json->_jsonDeleteKey = deleteKey;
    json->_jsonSetBoolValue = json->_jsonAddBoolValue = setBool;
    json->_jsonSetIntValue = json->_jsonAddIntValue = setInt;
    json->_jsonSetDoubleValue = json->_jsonAddDoubleValue = setDouble;
    json->_jsonSetStringValue = json->_jsonAddStringValue = setString;
    json->_jsonSetNullValue = json->_jsonAddNullValue = setNull;
    json->_jsonAddBoolValueArray = addBoolElement;
    json->_jsonAddIntValueArray = addIntElement;
    json->_jsonAddDoubleValueArray = addDoubleElement;
    json->_jsonAddStringValueArray = addStringElement;
    json->_jsonAddArray = addMember;
    json->_jsonAddArrayItem = addArrayItem;
    json->_jsonAddObject = addMember;
    json->_jsonAddObjectItem = addObjectItem;
    json->_jsonCreateArray = createArray;
    json->_jsonCreateObject = createObject;
    json->_jsonSave = jsonSave;
    json->_jsonToString = jsonToString;
    return json;
}

extern "C" int delJson(LmJson **json)
{
    if (json == nullptr || *json == nullptr) return -1;
    jsonRelease(*json);
    cJSON_free((*json)->text);
    std::free(*json);
    *json = nullptr;
    return 0;
}

extern "C" const char *jsonVersion(void) { return "lmjson version 1.0.1.1 2025-07-15 12:49:31"; }
