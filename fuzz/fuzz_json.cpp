// The JSON wrapper on fuzzed text: parse, walk every member and element
// with every typed getter, edit, print.
#include <cjson/cJSON.h>
#include <tessivar/lmjson.h>
#include <tessivar/anal_log.h>

#include "fuzz_input.hpp"

namespace {

void walk(LmJson *j, cJSON *item, int depth)
{
    if (item == nullptr || depth > 16) return;
    const int n = j->_jsonArraySize(item);
    for (int k = -1; k <= n && k < 64; ++k) {
        j->_jsonBoolValueArray(item, k, 0);
        j->_jsonIntValueArray(item, k, 0);
        j->_jsonDoubleValueArray(item, k, 0.0);
        j->_jsonStringValueArray(item, k, "");
        walk(j, j->_jsonArrayItem(item, k), depth + 1);
    }
    for (cJSON *c = item->child; c != nullptr; c = c->next) {
        if (c->string == nullptr) continue;
        j->_jsonBoolValue(item, c->string, 0);
        j->_jsonIntValue(item, c->string, 0);
        j->_jsonDoubleValue(item, c->string, 0.0);
        j->_jsonStringValue(item, c->string, "");
        walk(j, j->_jsonObjectItem(item, c->string), depth + 1);
    }
    int ints[8];
    double doubles[8];
    char texts[8][6];
    char *textPtrs[8];
    for (int k = 0; k < 8; ++k) textPtrs[k] = texts[k];
    j->_jsonBoolValueArrayAll(item, ints, 8);
    j->_jsonIntValueArrayAll(item, ints, 8);
    j->_jsonDoubleValueArrayAll(item, doubles, 8);
    j->_jsonStringValueArrayAll(item, textPtrs, 8, 6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessivar::fuzz::startQuietLog();
    tessivar::fuzz::Input in(data, size);
    const std::string key = in.text(8);
    const std::string text = in.rest();
    LmJson *j = newJson();
    if (j == nullptr) return 0;
    if (j->_jsonFromString(j, text.c_str()) == 0 && j->root != nullptr) {
        cJSON *root = j->root;
        walk(j, root, 0);
        j->_jsonSetIntValue(root, key.c_str(), 7);
        j->_jsonSetStringValue(root, key.c_str(), text.c_str());
        j->_jsonAddDoubleValueArray(root, 1.5);
        j->_jsonDeleteKey(&root, key.c_str());
        // Printed twice into the object's own buffer: the second print
        // frees the first.
        j->_jsonToString(root, &j->text);
        j->_jsonToString(root, &j->text);
    }
    delJson(&j);
    return 0;
}
