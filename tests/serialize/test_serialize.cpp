// Debug serialization (records and number arrays written and read back, file texts, unique names, folders,
// bad input) and the JSON document wrapper under it (position-keeping setters, getters with defaults, files).
#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/anal_serialize.h"
#include "tessivar/file_utils.h"
#include "tessivar/lmjson.h"
#include "tessivar/pace_remove.h"
#include "tessivar/signal_filter.h"

namespace {

namespace fs = std::filesystem;
using tessivar::test::readText;
using tessivar::test::writeText;
using Ints = std::vector<int>;

// A scratch folder, a JSON object and the serializer's record round trip.
class Serialize : public ::testing::Test {
protected:
    tessivar::test::TempDir dir;
    LmJson *j = newJson();
    ~Serialize() override { delJson(&j); }
    static std::string compact(const cJSON *item)
    {
        char *t = cJSON_PrintUnformatted(item);
        std::string s = t != nullptr ? t : "(null)";
        return cJSON_free(t), s;
    }
    // Writes rec under tag into a folder still to be made and reads it back.
    template <typename T>
    T roundTrip(int tag, const T &rec)
    {
        const std::string path = dir / ("sub/dir/" + std::to_string(tag) + ".conf");
        T back{};
        EXPECT_EQ(Ints({serializeWriteData(path.c_str(), &rec, tag), serializeReadData(path.c_str(), &back, tag)}), Ints(2, 0));
        return back;
    }
};

TEST_F(Serialize, JsonSettersKeepMemberPositions)
{
    ASSERT_EQ(j->_jsonFromString(j, R"({"name":"ecg","fs":1000,"mode":"adult","on":true,"a":[1],"b":{"c":1}})"), 0);
    cJSON *r = j->root;
    EXPECT_EQ(Ints({j->_jsonSetIntValue(r, "fs", 500), j->_jsonSetStringValue(r, "mode", "child"),
                    j->_jsonSetDoubleValue(r, "name", 2.5), j->_jsonSetBoolValue(r, "on", 0),
                    j->_jsonSetIntValue(r, "a", 4), j->_jsonSetNullValue(r, "b"),  // in place: the children go
                    j->_jsonSetStringValue(r, "on", "yes"), j->_jsonAddNullValue(r, "extra"), j->_jsonAddIntValue(r, "mode", 7),
                    j->_jsonAddIntValue(r, "gone", 1), j->_jsonDeleteKey(&j->root, "gone"), j->_jsonDeleteKey(&j->root, "zz")}),
              Ints(12, 0));  // a number over a string, a string over a boolean, a new key appended, add as set
    EXPECT_EQ(compact(r), R"({"name":2.5,"fs":500,"mode":7,"on":"yes","a":4,"b":null,"extra":null})");
}

TEST_F(Serialize, JsonGettersFallBackToDefaults)
{
    ASSERT_EQ(j->_jsonFromString(j, R"({"n":-3.75,"s":"txt","b":true,"a":[1,2,"x",4],"t":["ab","cdef"]})"), 0);
    const cJSON *r = j->root, *a = j->_jsonObjectItem(r, "a");
    int ints[10] = {};
    EXPECT_EQ(Ints({j->_jsonIntValue(r, "n", 9), j->_jsonIntValue(r, "s", 9), j->_jsonIntValue(r, "missing", 9),
                    j->_jsonBoolValue(r, "b", 7), j->_jsonBoolValue(r, "n", 7), j->_jsonIntValueArray(a, 2, -9),
                    j->_jsonIntValueArrayAll(a, ints, 10), ints[0], ints[1], ints[2],  // stored until "x"
                    j->_jsonIntValueArrayAll(r, ints, 2), j->_jsonIntValueArrayAll(a, ints, -1)}),
              Ints({-3, 9, 9, 1, 7, -9, -3, 1, 2, 0, -2, -1}));  // a string is no number; -3.75 keeps -3
    char b0[3], b1[3], *texts[] = {b0, b1};
    EXPECT_EQ(j->_jsonStringValueArrayAll(j->_jsonObjectItem(r, "t"), texts, 2, 3), 0);
    EXPECT_STREQ(b1, "cd");  // cut to the buffer and terminated
}

TEST_F(Serialize, JsonSaveLoadAndPrint)
{
    cJSON *root = j->_jsonCreateObject(), *rec = j->_jsonAddObjectItem(root, "FirFilterConf"), *taps = j->_jsonCreateArray();
    EXPECT_EQ(Ints({j->_jsonAddIntValue(rec, "fs", 1000), j->_jsonAddDoubleValueArray(taps, 0.25),
                    j->_jsonAddStringValueArray(taps, "s"), j->_jsonAddArray(rec, "numData", taps)}),
              Ints(4, 0));
    const std::string path = dir / "doc.json";
    ASSERT_EQ(j->_jsonSave(root, path.c_str()), 0);  // formatted: a line per member, tabs
    EXPECT_EQ(readText(path), "{\n\t\"FirFilterConf\":\t{\n\t\t\"fs\":\t1000,\n\t\t\"numData\":\t[0.25, \"s\"]\n\t}\n}");
    EXPECT_EQ(j->_jsonSave(root, (dir / "no/x.json").c_str()), -3);
    EXPECT_EQ(std::string(j->_jsonToString(rec, &j->text)), "{\n\t\"fs\":\t1000,\n\t\"numData\":\t[0.25, \"s\"]\n}");
    ASSERT_EQ(j->_jsonInit(j, path.c_str()), 0);
    EXPECT_EQ(compact(j->root), compact(root));
    cJSON_Delete(root);
    writeText(dir / "empty.json", "");
    writeText(dir / "bad.json", "{\"a\":");
    EXPECT_EQ(Ints({j->_jsonInit(j, (dir / "absent.json").c_str()), j->_jsonInit(j, (dir / "empty.json").c_str()),
                    j->_jsonInit(j, (dir / "bad.json").c_str()), j->_jsonFromString(j, "[1,")}),
              Ints({-2, -3, -4, -2}));
    ASSERT_EQ(j->_jsonFromString(j, "[2]"), 0);  // replaces the loaded document
    EXPECT_EQ(compact(j->root), "[2]");
}

TEST_F(Serialize, JsonNullArgumentsAreRefused)
{
    cJSON *o = j->_jsonCreateObject();
    LmJson *none = nullptr;
    EXPECT_EQ(Ints({j->_jsonInit(nullptr, "x"), j->_jsonFromString(j, nullptr), j->_jsonArraySize(nullptr),
                    j->_jsonBoolValue(nullptr, "a", 0), j->_jsonIntValue(o, nullptr, 0),
                    j->_jsonStringValueArrayAll(o, nullptr, 1, 4), j->_jsonDeleteKey(&o, nullptr),
                    j->_jsonSetStringValue(o, "a", nullptr), j->_jsonSetNullValue(nullptr, "a"),
                    j->_jsonAddStringValueArray(o, nullptr), j->_jsonAddArray(o, "k", nullptr), j->_jsonSave(nullptr, "x"),
                    int(j->_jsonDoubleValue(nullptr, "a", 0.0)), delJson(nullptr), delJson(&none), delJson(&j)}),
              Ints({-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0}));
    EXPECT_EQ(compact(o), "{}");  // untouched
    cJSON_Delete(o);
    EXPECT_EQ(j, nullptr);
}

TEST_F(Serialize, RecordsReadBackFieldForField)
{
    const double num[] = {0.1, -2.5, 1e-12}, den[] = {1.0, -0.9};
    IirCombFilterConf iir = roundTrip(10105, IirCombFilterConf{3, "iir", nullptr, 0.5, num, 3, den, 2, 0});
    ASSERT_EQ(Ints({iir.num_num, iir.den_num}), Ints({3, 2}));
    EXPECT_EQ(std::vector<double>(iir.numData, iir.numData + 3), std::vector<double>(num, num + 3));  // 17 digits
    EXPECT_EQ(iir.denData[1], -0.9);
    EXPECT_EQ(serializeReadDataFree(&iir, 10105), 0);
    PaceRemoveConf pr = roundTrip(11101, PaceRemoveConf{"pace", "p", 1000, 12, 7});
    EXPECT_EQ(Ints({pr.fs, pr.paceRemoveMs, pr.paceRemoveBfMs, freePaceRemoveConf(&pr)}), Ints({1000, 12, 0, 0}));  // 7 not written
    EXPECT_EQ(readText(dir / "sub/dir/11101.conf"), "{\n\t\"PaceRemoveConf\":\t{\n\t\t\"name\":\t\"pace\",\n\t\t\"dataPath\":\t\"p\","
                                                   "\n\t\t\"fs\":\t1000,\n\t\t\"paceRemoveMs\":\t12\n\t}\n}");
}

TEST_F(Serialize, NumberArrayFilesLineByLine)
{
    const int16_t i16[] = {-32768, 7};
    const int32_t i32[] = {2147483647, -1};
    const long l64[] = {-7, 9000000000L};
    const float f32[] = {1.5f, -0.25f};
    const double f64[] = {0.1, -2.5};
    const EventSegment seg[] = {{0, 999}, {2000, 4999}};
    const struct { int tag; const void *data; size_t bytes; const char *lines; } cases[] = {
        {10001, i16, 2, "2\n-32768\n7\n"},
        {10002, i32, 4, "2\n2147483647\n-1\n"},
        {10003, l64, 8, "2\n-7\n9000000000\n"},
        {10004, f32, 4, "2\n1.500000\n-0.250000\n"},                         // python: '%0.6f' % 1.5
        {10005, f64, 8, "2\n0.10000000000000001\n-2.50000000000000000\n"},  // python: '%0.17f' % 0.1
        {10402, seg, sizeof(EventSegment), nullptr},                         // one JSON document
    };
    for (const auto &c : cases) {
        const std::string path = dir / (std::to_string(c.tag) + ".csv");
        ASSERT_EQ(serializeWriteDataArray(path.c_str(), c.data, 2, c.tag), 0) << c.tag;
        if (c.lines != nullptr) { EXPECT_EQ(readText(path), c.lines) << c.tag; }
        void *back = nullptr; int n = 0;
        ASSERT_EQ(serializeReadDataArray(&back, &n, path.c_str(), c.tag), 0) << c.tag;
        EXPECT_EQ(Ints({n, std::memcmp(back, c.data, 2 * c.bytes), serializeReadDataArrayFree(&back, c.tag)}), Ints({2, 0, 0}));
        EXPECT_EQ(back, nullptr);
    }
}

TEST_F(Serialize, UniqueNames)
{
    const int32_t v[] = {1};
    for (int k = 0; k < 3; ++k) ASSERT_EQ(serializeWriteDataArray((dir / "out1.csv").c_str(), v, 1, 10002), 0);
    EXPECT_EQ(Ints({fs::exists(dir / "out1.csv"), fs::exists(dir / "out1_1.csv"), fs::exists(dir / "out1_2.csv"),
                    fs::exists(dir / "out1_3.csv")}), Ints({1, 1, 1, 0}));
    // Numbered candidates run up to _499; with that one taken too, no name.
    char result[256];
    for (int k = 0; k <= 498; ++k) writeText(dir / (k ? "r_" + std::to_string(k) + ".csv" : "r.csv"), "");
    ASSERT_EQ(getUniqueFilename(dir.path().c_str(), "r.csv", result, 256), 0);
    EXPECT_EQ(std::string(result), dir / "r_499.csv");
    writeText(dir / "r_499.csv", "");
    tessivar::test::LogCapture log;
    const std::string name = dir / "x.csv";  // with no folder the candidate is the name itself
    EXPECT_EQ(Ints({getUniqueFilename(dir.path().c_str(), "r.csv", result, 256), getUniqueFilename(nullptr, "a", result, 10),
                    getUniqueFilename("", name.c_str(), result, int(name.size())),
                    getUniqueFilename("", name.c_str(), result, int(name.size()) + 1)}),
              Ints({-1, -1, -1, 0}));
    EXPECT_EQ(log.count("Reached maximum suffix tries, cannot generate unique filename") + log.count("Output buffer too small"), 2);
}

TEST_F(Serialize, FolderOfAPath)
{
    const std::string base = dir.path();
    const std::pair<std::string, std::string> cases[] = {
        {"c.txt", ""},                                 // no separator: current folder
        {base + "/a/b/c.txt", base + "/a/b/"},         // created with its parents
        {"  " + base + "\\x\\y.csv  ", base + "/x/"},  // trimmed, '\' turned into '/'
        {base + "/e/", base + "/e/"},                  // ending in a separator
    };
    for (const auto &[path, folder] : cases) {
        char out[256] = "junk";
        EXPECT_EQ(serializeDataPathGet(path.c_str(), out), 0) << path;
        EXPECT_EQ(out + std::string(folder.empty() || fs::is_directory(folder) ? "" : " not made"), folder);
    }
    char out[256];
    EXPECT_EQ(Ints({serializeDataPathGet(nullptr, out), serializeFileExist(""), serializeFileExist(nullptr)}), Ints({-1, 1, -1}));
}

TEST_F(Serialize, BadInputGivesCodesAndLeavesNoFile)
{
    const int32_t v[] = {1, 2};
    const PaceRemoveConf pr = {"pace", nullptr, 1000, 12, 0};
    const std::string path = dir / "x.csv", blocked = dir / "plain";
    writeText(blocked, "x");
    const struct { int rc, want; const char *why; } cases[] = {
        {serializeWriteDataArray(path.c_str(), v, 2, 12345), -3, "unknown array tag"},
        {serializeWriteData(path.c_str(), &pr, 12345), -3, "unknown record tag"},
        {writeBaseTypeArray(path.c_str(), v, 2, 10006), -4, "tag past the number types"},
        {serializeWriteData(nullptr, &pr, 11101), -1, "null path"},
        {serializeWriteDataArray(path.c_str(), v, 0, 10002), -1, "count 0"},
        {serializeReadData(path.c_str(), nullptr, 11101), -1, "null read record"},
        {serializeWriteData((blocked + "/sub/p.conf").c_str(), &pr, 11101), -2, "folder cannot be made"},
        {serializeWriteData((blocked + "/p.conf").c_str(), &pr, 11101), -4, "file cannot be opened"},
        {serializeWriteDataArray((blocked + "/a.csv").c_str(), v, 2, 10002), -3, "array file cannot be opened"},
    };
    for (const auto &c : cases) EXPECT_EQ(c.rc, c.want) << c.why;
    EXPECT_FALSE(fs::exists(path));
    const struct { const char *text; int tag, want; } reads[] = {
        {"{\"PaceRemoveConf\": {\"name\": \"p\", \"fs\": 10", 11101, -4},  // truncated
        {"3\n1\n2\n", 10002, -3}, {"-2\n", 10002, -3},  // fewer lines than counted; a bad count
    };
    for (const auto &r : reads) {
        writeText(path, r.text);
        PaceRemoveConf back = {nullptr, nullptr, -9, -9, -9};  // left untouched
        void *arr = nullptr;
        int n = -9;
        EXPECT_EQ(r.tag == 11101 ? serializeReadData(path.c_str(), &back, r.tag)
                                 : serializeReadDataArray(&arr, &n, path.c_str(), r.tag), r.want) << r.text;
        EXPECT_TRUE(back.name == nullptr && back.fs == -9 && arr == nullptr && n == -9) << r.text;
    }
}

}  // namespace
