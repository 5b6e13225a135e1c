// INI object over an iniparser dictionary.
//
// iniparser keeps every entry under one flat key: a section is an entry of
// its own (named after the section, no value) and a key inside it is
// "section:key"; a key that stands before any section is ":key". The
// operations below build those names ("%s:%s" into a 2048-byte buffer),
// check their arguments and hand over to iniparser, which parses and writes
// the file format and lower-cases every key name.
//
// An operation that needs the dictionary treats an object without one like a
// null argument: -1 (or null), nothing touched.
#include "tessivar/lmini.h"

#include <iniparser.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tessivar/common.h"

namespace tessivar {
namespace {

constexpr size_t kKeySize = 2048;

struct EntryName {
    char text[kKeySize];
};

EntryName entryName(const char *section, const char *key)
{
    EntryName name;
    std::snprintf(name.text, sizeof name.text, "%s:%s", section, key);
    return name;
}

// The index-th entry of the dictionary that lies inside section (index < 0:
// counts them instead). Section names and keys compare ignoring case, as
// iniparser stores them lower-cased. Returns the key name after "section:",
// and the count through *count.
const char *walkSection(const dictionary *d, const char *section, int index, int *count)
{
    char prefix[kKeySize];
    std::snprintf(prefix, sizeof prefix, "%s:", section);
    const size_t prefixLen = std::strlen(prefix);
    int seen = 0;
    for (ssize_t i = 0; i < d->size; ++i) {
        const char *entry = d->key[i];
        if (entry == nullptr || std::strlen(entry) < prefixLen) continue;
        if (_lmstrncasecmp(entry, prefix, static_cast<int>(prefixLen)) != 0) continue;
        if (seen == index) return entry + prefixLen;
        ++seen;
    }
    if (count != nullptr) *count = seen;
    return nullptr;
}

int iniRelease(LmIni *ini)
{
    if (ini == nullptr || ini->dictionary == nullptr) return -1;
    iniparser_freedict(ini->dictionary);
    ini->dictionary = nullptr;
    return 0;
}

// A failed load leaves the object empty rather than holding the previous
// file, so values read afterwards never come from a file that was replaced.
int iniInit(LmIni *ini, const char *path)
{
    if (ini == nullptr || path == nullptr) return -1;
    // A file that is missing or cannot be loaded leaves the held dictionary.
    if (fileExist(path) != 1) return -2;
    dictionary *loaded = iniparser_load(path);
    if (loaded == nullptr) return -3;
    iniRelease(ini);
    ini->dictionary = loaded;
    return 0;
}

int iniPrint(LmIni *ini)
{
    if (ini == nullptr || ini->dictionary == nullptr) return -1;
    const dictionary *d = ini->dictionary;
    int entries = 0;
    for (ssize_t i = 0; i < d->size; ++i) {
        if (d->key[i] != nullptr) ++entries;
    }
    return entries == d->n ? 0 : -1;
}

int iniSectionNumber(LmIni *ini)
{
    if (ini == nullptr || ini->dictionary == nullptr) return -1;
    return iniparser_getnsec(ini->dictionary);
}

int iniKeyNumber(LmIni *ini, const char *section)
{
    if (ini == nullptr || ini->dictionary == nullptr || section == nullptr) return -1;
    int count = 0;
    walkSection(ini->dictionary, section, -1, &count);
    return count;
}

const char *iniSectionName(LmIni *ini, int index)
{
    if (ini == nullptr || ini->dictionary == nullptr || index < 0) return nullptr;
    return iniparser_getsecname(ini->dictionary, index);
}

const char *iniSectionKey(LmIni *ini, const char *section, int index)
{
    if (ini == nullptr || ini->dictionary == nullptr || section == nullptr || index < 0) return nullptr;
    return walkSection(ini->dictionary, section, index, nullptr);
}

int iniFindKey(LmIni *ini, const char *section, const char *key)
{
    if (ini == nullptr || ini->dictionary == nullptr || section == nullptr || key == nullptr) return -1;
    return iniparser_find_entry(ini->dictionary, entryName(section, key).text);
}

const char *iniValue(LmIni *ini, const char *section, const char *key, const char *def)
{
    if (ini == nullptr || ini->dictionary == nullptr || section == nullptr || key == nullptr || def == nullptr) {
        return nullptr;
    }
    return iniparser_getstring(ini->dictionary, entryName(section, key).text, def);
}

int iniSetValue(LmIni *ini, const char *section, const char *key, const char *value)
{
    if (ini == nullptr || ini->dictionary == nullptr || section == nullptr || key == nullptr || value == nullptr) {
        return -1;
    }
    // iniparser writes a key out only under an existing section entry.
    if (section[0] != '\0' && iniparser_find_entry(ini->dictionary, section) == 0 &&
        iniparser_set(ini->dictionary, section, nullptr) != 0) {
        return -2;
    }
    return iniparser_set(ini->dictionary, entryName(section, key).text, value) == 0 ? 0 : -3;
}

int iniDeleteKey(LmIni *ini, const char *section, const char *key)
{
    if (ini == nullptr || ini->dictionary == nullptr || section == nullptr || key == nullptr) return -1;
    iniparser_unset(ini->dictionary, entryName(section, key).text);
    return 0;
}

int iniCreate(LmIni *ini)
{
    if (ini == nullptr) return -1;
    dictionary *fresh = dictionary_new(0);
    if (fresh == nullptr) return -2;
    iniRelease(ini);
    ini->dictionary = fresh;
    return 0;
}

int iniSave(LmIni *ini, const char *path)
{
    if (ini == nullptr || ini->dictionary == nullptr || path == nullptr) return -1;
    std::FILE *f = std::fopen(path, "w");
    if (f == nullptr) return -2;
    // iniparser's whole-file dump leaves out the keys that stand before any
    // section (or writes them back with their ':' when there is no section),
    // so those go first, in iniparser's own "key = value" form, and then
    // each section as iniparser writes it. Loading the file gives back the
    // same entries.
    const dictionary *d = ini->dictionary;
    for (ssize_t i = 0; i < d->size; ++i) {
        const char *entry = d->key[i];
        if (entry != nullptr && entry[0] == ':') {
            std::fprintf(f, "%s = %s\n", entry + 1, d->val[i] != nullptr ? d->val[i] : "");
        }
    }
    const int sections = iniparser_getnsec(d);
    for (int s = 0; s < sections; ++s) iniparser_dumpsection_ini(d, iniparser_getsecname(d, s), f);
    return std::fclose(f) == 0 ? 0 : -2;
}

}  // namespace
}  // namespace tessivar

extern "C" LmIni *newIni(void)
{
    auto *ini = static_cast<LmIni *>(std::calloc(1, sizeof(LmIni)));
    if (ini == nullptr) return nullptr;
    using namespace tessivar;
    ini->_iniInit = iniInit;
    ini->_iniRelease = iniRelease;
    ini->_iniPrint = iniPrint;
    ini->_iniSectionNumber = iniSectionNumber;
    ini->_iniKeyNumber = iniKeyNumber;
    ini->_iniSectionName = iniSectionName;
    ini->_iniSectionKey = iniSectionKey;
    ini->_iniFindKey = iniFindKey;
    ini->_iniValue = iniValue;
    ini->_iniSetValue = iniSetValue;
    ini->_iniDeleteKey = iniDeleteKey;
    ini->_iniCreate = iniCreate;
    ini->_iniSave = iniSave;
    ini->dictionary = nullptr;
    return ini;
}

extern "C" int delIni(LmIni **ini)
{
    if (ini == nullptr || *ini == nullptr) return -1;
    tessivar::iniRelease(*ini);
    std::free(*ini);
    *ini = nullptr;
    return 0;
}

extern "C" const char *iniVersion(void) { return "lmini version 1.0.1.1 2025-07-15 12:59:40"; }

extern "C" int _lmstrncasecmp(const char *a, const char *b, int n)
{
    if (a == nullptr || b == nullptr) return -1;
    for (int i = 0; i < n && a[i] != '\0' && b[i] != '\0'; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca - cb;
    }
    return 0;
}
