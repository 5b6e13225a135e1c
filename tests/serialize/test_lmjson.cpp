#include <gtest/gtest.h>

#include <cjson/cJSON.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tessivar/lmjson.h"

namespace {

struct JsonFixture : ::testing::Test {
    LmJson *j = newJson();
    ~JsonFixture() override { delJson(&j); }
    std::string print(const cJSON *item) { return j->_jsonToString(item, &j->text); }
    std::string compact(const cJSON *item)
    {
        char *t = cJSON_PrintUnformatted(item);
        std::string s = t;
        cJSON_free(t);
        return s;
    }
    std::string tempFile(const char *name) { return ::testing::TempDir() + "/lmjson_" + name; }
};

TEST_F(JsonFixture, SettersKeepMemberPositions)
{
    ASSERT_EQ(j->_jsonFromString(j, R"({"name":"ecg","fs":1000,"mode":"adult","on":true})"), 0);
    cJSON *root = j->root;
    EXPECT_EQ(j->_jsonSetIntValue(root, "fs", 500), 0);
    EXPECT_EQ(j->_jsonSetStringValue(root, "mode", "child"), 0);
    EXPECT_EQ(j->_jsonSetStringValue(root, "fs", "fast"), 0);  // number replaced by a string
    EXPECT_EQ(j->_jsonSetDoubleValue(root, "name", 2.5), 0);    // string replaced by a number
    EXPECT_EQ(j->_jsonSetBoolValue(root, "on", 0), 0);
    EXPECT_EQ(compact(root), R"({"name":2.5,"fs":"fast","mode":"child","on":false})");
    // A new key is appended; the add operations behave like the setters.
    EXPECT_EQ(j->_jsonAddNullValue(root, "extra"), 0);
    EXPECT_EQ(j->_jsonAddIntValue(root, "name", 7), 0);
    EXPECT_EQ(compact(root), R"({"name":7,"fs":"fast","mode":"child","on":false,"extra":null})");
}

TEST_F(JsonFixture, InPlaceChangeReleasesChildren)
{
    ASSERT_EQ(j->_jsonFromString(j, R"({"a":[1,2,3],"b":{"c":1}})"), 0);
    EXPECT_EQ(j->_jsonSetIntValue(j->root, "a", 4), 0);
    EXPECT_EQ(j->_jsonSetNullValue(j->root, "b"), 0);
    EXPECT_EQ(compact(j->root), R"({"a":4,"b":null})");
}

TEST_F(JsonFixture, TypedGettersFallBackToDefaults)
{
    ASSERT_EQ(j->_jsonFromString(j, R"({"n":3.75,"s":"txt","b":true,"neg":-2.5})"), 0);
    const cJSON *r = j->root;
    EXPECT_EQ(j->_jsonIntValue(r, "n", 9), 3);
    EXPECT_EQ(j->_jsonIntValue(r, "neg", 9), -2);
    EXPECT_EQ(j->_jsonIntValue(r, "s", 9), 9);
    EXPECT_EQ(j->_jsonIntValue(r, "missing", 9), 9);
    EXPECT_EQ(j->_jsonDoubleValue(r, "n", 0.5), 3.75);
    EXPECT_EQ(j->_jsonDoubleValue(r, "b", 0.5), 0.5);
    EXPECT_EQ(j->_jsonBoolValue(r, "b", 7), 1);
    EXPECT_EQ(j->_jsonBoolValue(r, "n", 7), 7);
    EXPECT_STREQ(j->_jsonStringValue(r, "s", "def"), "txt");
    EXPECT_STREQ(j->_jsonStringValue(r, "n", "def"), "def");
    EXPECT_EQ(j->_jsonObjectItem(r, "S"), cJSON_GetObjectItem(r, "s"));  // member lookup ignores case
}

TEST_F(JsonFixture, ArrayGetters)
{
    ASSERT_EQ(j->_jsonFromString(j, R"({"a":[1,2,"x",4],"t":["ab","cdef"],"f":[true,false]})"), 0);
    const cJSON *a = j->_jsonObjectItem(j->root, "a");
    EXPECT_EQ(j->_jsonArraySize(a), 4);
    EXPECT_EQ(j->_jsonIntValueArray(a, 1, -9), 2);
    EXPECT_EQ(j->_jsonIntValueArray(a, 2, -9), -9);
    EXPECT_EQ(j->_jsonIntValueArray(a, 10, -9), -9);
    EXPECT_STREQ(j->_jsonStringValueArray(a, 2, "d"), "x");
    EXPECT_EQ(j->_jsonDoubleValueArray(a, 3, 0.0), 4.0);
    EXPECT_EQ(j->_jsonBoolValueArray(a, 0, 5), 5);

    int ints[10] = {0};
    EXPECT_EQ(j->_jsonIntValueArrayAll(a, ints, 10), -3);
    EXPECT_EQ(ints[0], 1);
    EXPECT_EQ(ints[1], 2);
    EXPECT_EQ(ints[2], 0);
    EXPECT_EQ(j->_jsonIntValueArrayAll(a, ints, 2), 0);
    EXPECT_EQ(j->_jsonIntValueArrayAll(j->root, ints, 2), -2);
    EXPECT_EQ(j->_jsonIntValueArrayAll(a, ints, -1), -1);

    char b0[3], b1[3];
    char *texts[] = {b0, b1};
    EXPECT_EQ(j->_jsonStringValueArrayAll(j->_jsonObjectItem(j->root, "t"), texts, 2, 3), 0);
    EXPECT_STREQ(b0, "ab");
    EXPECT_STREQ(b1, "cd");  // cut to the buffer and terminated
    int flags[2] = {7, 7};
    EXPECT_EQ(j->_jsonBoolValueArrayAll(j->_jsonObjectItem(j->root, "f"), flags, 2), 0);
    EXPECT_EQ(flags[0], 1);
    EXPECT_EQ(flags[1], 0);
    double d[4];
    EXPECT_EQ(j->_jsonDoubleValueArrayAll(j->_jsonObjectItem(j->root, "t"), d, 4), -3);
}

TEST_F(JsonFixture, BuildSaveAndLoadRoundTrip)
{
    cJSON *root = j->_jsonCreateObject();
    cJSON *record = j->_jsonAddObjectItem(root, "FirFilterConf");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(j->_jsonAddIntValue(record, "type", 2), 0);
    EXPECT_EQ(j->_jsonAddStringValue(record, "name", "lpass 40"), 0);
    cJSON *taps = j->_jsonCreateArray();
    EXPECT_EQ(j->_jsonAddDoubleValueArray(taps, 0.25), 0);
    EXPECT_EQ(j->_jsonAddDoubleValueArray(taps, 0.5), 0);
    EXPECT_EQ(j->_jsonAddIntValueArray(taps, 3), 0);
    EXPECT_EQ(j->_jsonAddBoolValueArray(taps, 1), 0);
    EXPECT_EQ(j->_jsonAddStringValueArray(taps, "s"), 0);
    EXPECT_EQ(j->_jsonAddArray(record, "numData", taps), 0);
    cJSON *nested = j->_jsonCreateObject();
    EXPECT_EQ(j->_jsonAddObject(root, "more", nested), 0);
    cJSON *list = j->_jsonCreateArray();
    EXPECT_EQ(j->_jsonAddArrayItem(list, j->_jsonCreateObject()), 0);
    EXPECT_EQ(j->_jsonAddArray(root, "list", list), 0);

    const std::string path = tempFile("round.json");
    ASSERT_EQ(j->_jsonSave(root, path.c_str()), 0);
    LmJson *back = newJson();
    ASSERT_EQ(back->_jsonInit(back, path.c_str()), 0);
    EXPECT_EQ(compact(back->root), compact(root));
    EXPECT_EQ(compact(root),
              R"({"FirFilterConf":{"type":2,"name":"lpass 40","numData":[0.25,0.5,3,true,"s"]},"more":{},"list":[{}]})");
    delJson(&back);
    cJSON_Delete(root);
    std::remove(path.c_str());
}

TEST_F(JsonFixture, SaveWritesTheFormattedPrint)
{
    cJSON *root = j->_jsonCreateObject();
    j->_jsonAddIntValue(root, "fs", 1000);
    j->_jsonAddStringValue(root, "name", "x");
    const std::string path = tempFile("format.json");
    ASSERT_EQ(j->_jsonSave(root, path.c_str()), 0);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "{\n\t\"fs\":\t1000,\n\t\"name\":\t\"x\"\n}");
    EXPECT_EQ(j->_jsonSave(root, "/nonexistent-folder/x.json"), -3);
    cJSON_Delete(root);
    std::remove(path.c_str());
}

TEST_F(JsonFixture, LoadFailures)
{
    EXPECT_EQ(j->_jsonInit(j, "/nonexistent-folder/x.json"), -2);
    const std::string empty = tempFile("empty.json");
    std::ofstream(empty).close();
    EXPECT_EQ(j->_jsonInit(j, empty.c_str()), -3);
    const std::string bad = tempFile("bad.json");
    std::ofstream(bad) << "{\"a\":";
    EXPECT_EQ(j->_jsonInit(j, bad.c_str()), -4);
    EXPECT_EQ(j->_jsonFromString(j, "[1,"), -2);
    EXPECT_EQ(j->root, nullptr);
    // A second document replaces the first.
    ASSERT_EQ(j->_jsonFromString(j, "[1]"), 0);
    ASSERT_EQ(j->_jsonFromString(j, "[2]"), 0);
    EXPECT_EQ(compact(j->root), "[2]");
    std::remove(empty.c_str());
    std::remove(bad.c_str());
}

TEST_F(JsonFixture, DeleteKeyAndToString)
{
    ASSERT_EQ(j->_jsonFromString(j, R"({"a":1,"b":2})"), 0);
    EXPECT_EQ(j->_jsonDeleteKey(&j->root, "a"), 0);
    EXPECT_EQ(j->_jsonDeleteKey(&j->root, "zz"), 0);
    EXPECT_EQ(print(j->root), "{\n\t\"b\":\t2\n}");
    EXPECT_EQ(print(j->root), "{\n\t\"b\":\t2\n}");  // previous text freed, not leaked
    EXPECT_EQ(j->_jsonRelease(j), 0);
    EXPECT_EQ(j->root, nullptr);
}

TEST_F(JsonFixture, NullArgumentsAreRefused)
{
    cJSON *o = j->_jsonCreateObject();
    EXPECT_EQ(j->_jsonInit(nullptr, "x"), -1);
    EXPECT_EQ(j->_jsonInit(j, nullptr), -1);
    EXPECT_EQ(j->_jsonFromString(j, nullptr), -1);
    EXPECT_EQ(j->_jsonRelease(nullptr), -1);
    EXPECT_EQ(j->_jsonPrint(nullptr), -1);
    EXPECT_EQ(j->_jsonObjectItem(nullptr, "a"), nullptr);
    EXPECT_EQ(j->_jsonObjectItem(o, nullptr), nullptr);
    EXPECT_EQ(j->_jsonArraySize(nullptr), -1);
    EXPECT_EQ(j->_jsonArrayItem(nullptr, 0), nullptr);
    EXPECT_EQ(j->_jsonBoolValue(nullptr, "a", 0), -1);
    EXPECT_EQ(j->_jsonIntValue(o, nullptr, 0), -1);
    EXPECT_EQ(j->_jsonDoubleValue(nullptr, "a", 0.0), -1.0);
    EXPECT_EQ(j->_jsonStringValue(nullptr, "a", "d"), nullptr);
    EXPECT_EQ(j->_jsonIntValueArrayAll(nullptr, nullptr, 1), -1);
    EXPECT_EQ(j->_jsonStringValueArrayAll(o, nullptr, 1, 4), -1);
    EXPECT_EQ(j->_jsonDeleteKey(nullptr, "a"), -1);
    EXPECT_EQ(j->_jsonDeleteKey(&o, nullptr), -1);
    EXPECT_EQ(j->_jsonSetBoolValue(nullptr, "a", 1), -1);
    EXPECT_EQ(j->_jsonSetIntValue(o, nullptr, 1), -1);
    EXPECT_EQ(j->_jsonSetStringValue(o, "a", nullptr), -1);
    EXPECT_EQ(j->_jsonSetNullValue(nullptr, "a"), -1);
    EXPECT_EQ(j->_jsonAddIntValueArray(nullptr, 1), -1);
    EXPECT_EQ(j->_jsonAddStringValueArray(o, nullptr), -1);
    EXPECT_EQ(j->_jsonAddArray(o, "k", nullptr), -1);
    EXPECT_EQ(j->_jsonAddArrayItem(nullptr, o), -1);
    EXPECT_EQ(j->_jsonAddObjectItem(nullptr, "k"), nullptr);
    EXPECT_EQ(j->_jsonSave(nullptr, "x"), -1);
    EXPECT_EQ(j->_jsonToString(o, nullptr), nullptr);
    EXPECT_EQ(compact(o), "{}");
    cJSON_Delete(o);

    EXPECT_EQ(delJson(nullptr), -1);
    LmJson *none = nullptr;
    EXPECT_EQ(delJson(&none), -1);
    LmJson *k = newJson();
    EXPECT_EQ(delJson(&k), 0);
    EXPECT_EQ(k, nullptr);
    EXPECT_STREQ(jsonVersion(), "lmjson version 1.0.1.1 2025-07-15 12:49:31");
}

}  // namespace
