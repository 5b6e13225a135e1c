// Debug serialization: records written and read back field for field, the
// exact lines of the number-array files, unique file names, the folder
// helper, and bad input (unknown tags, null arguments, unwritable folders,
// long paths, malformed files).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "serialize/anal_serialize.hpp"
#include "support/log_capture.hpp"
#include "support/temp_dir.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/linear_spline.h"
#include "tessivar/pace_remove.h"
#include "tessivar/resp.h"
#include "tessivar/sig_quality_c.h"
#include "tessivar/signal_filter.h"

namespace {

namespace fs = std::filesystem;
using tessivar::test::LogCapture;
using tessivar::test::readText;
using tessivar::test::TempDir;
using tessivar::test::writeText;

std::string str(const char *s) { return s != nullptr ? s : "(null)"; }

// Writes rec under tag, reads it back into a zeroed T, compares with eq.
template <typename T, typename Eq>
void roundTrip(const TempDir &dir, int tag, const T &rec, Eq eq)
{
    const std::string path = dir.file("sub/dir/" + std::to_string(tag) + ".conf");
    ASSERT_EQ(serializeWriteData(path.c_str(), &rec, tag), 0) << tag;
    T back{};
    ASSERT_EQ(serializeReadData(path.c_str(), &back, tag), 0) << tag;
    eq(rec, back);
    EXPECT_EQ(serializeReadDataFree(&back, tag), 0);
}

TEST(Serialize, EveryRecordKindReadsBackFieldForField)
{
    TempDir dir;
    const BeatDetectConf bd = {"hr", "/tmp/x", 500, 1, 2, 250, 40};
    roundTrip(dir, 10201, bd, [](const BeatDetectConf &a, const BeatDetectConf &b) {
        EXPECT_EQ(str(a.name), str(b.name));
        EXPECT_EQ(str(a.dataPath), str(b.dataPath));
        EXPECT_EQ(std::vector<int32_t>({a.fs, a.mode, a.method, a.maxHR, a.minHR}),
                  std::vector<int32_t>({b.fs, b.mode, b.method, b.maxHR, b.minHR}));
    });
    const LinearSplineConf ls = {"spline", nullptr};  // a null text stays null
    roundTrip(dir, 10901, ls, [](const LinearSplineConf &a, const LinearSplineConf &b) {
        EXPECT_EQ(str(a.name), str(b.name));
        EXPECT_EQ(b.dataPath, nullptr);
    });
    const PaceRemoveConf pr = {"pace", "", 1000, 12, 0};
    roundTrip(dir, 11101, pr, [](const PaceRemoveConf &a, const PaceRemoveConf &b) {
        EXPECT_EQ(str(a.name), str(b.name));
        EXPECT_EQ(str(a.dataPath), str(b.dataPath));
        EXPECT_EQ(a.fs, b.fs);
        EXPECT_EQ(a.paceRemoveMs, b.paceRemoveMs);
    });
    const SignalQualityConf sq = {"sq", "d", 1000, nullptr, 2000, 500, 1825, 65, 77, 32, 1};
    roundTrip(dir, 11301, sq, [](const SignalQualityConf &a, const SignalQualityConf &b) {
        EXPECT_EQ(str(a.name), str(b.name));
        EXPECT_EQ(str(a.dataPath), str(b.dataPath));
        EXPECT_EQ(std::vector<int32_t>({a.fs, a.detectWindowLen, a.detectStepLen, a.baseIntolerableThre,
                                        a.basePerfectThre, a.emgIntolerableThre, a.emgPerfectThre, a.isSaveCpu}),
                  std::vector<int32_t>({b.fs, b.detectWindowLen, b.detectStepLen, b.baseIntolerableThre,
                                        b.basePerfectThre, b.emgIntolerableThre, b.emgPerfectThre, b.isSaveCpu}));
    });
    const RespConf rc = {"resp", "r", 2000, nullptr, nullptr, nullptr};
    roundTrip(dir, 12101, rc, [](const RespConf &a, const RespConf &b) {
        EXPECT_EQ(str(a.name), str(b.name));
        EXPECT_EQ(a.fs, b.fs);
    });
    const double num[] = {0.1, -2.5, 1e-12}, den[] = {1.0, -0.9};
    const IirCombFilterConf iir = {3, "iir", nullptr, 0.5, num, 3, den, 2, 0};
    roundTrip(dir, 10105, iir, [](const IirCombFilterConf &a, const IirCombFilterConf &b) {
        EXPECT_EQ(a.type, b.type);
        EXPECT_EQ(a.gain, b.gain);
        ASSERT_EQ(b.num_num, 3);
        ASSERT_EQ(b.den_num, 2);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(a.numData[k], b.numData[k]);  // exact: 17 digits
        for (int k = 0; k < 2; ++k) EXPECT_EQ(a.denData[k], b.denData[k]);
    });
    const IntegerFilterTap taps[] = {{1, 1.0}, {5, -2.0}, {9, 1.0}}, dtaps[] = {{1, 1.0}, {2, -0.995}};
    const IntegerFilterConf integer = {4, "int", nullptr, 2.0, taps, 9, 3, dtaps, 2, 2};
    roundTrip(dir, 10106, integer, [](const IntegerFilterConf &a, const IntegerFilterConf &b) {
        EXPECT_EQ(std::vector<int32_t>({a.num_num, a.num_num_valid, a.den_num, a.den_num_valid}),
                  std::vector<int32_t>({b.num_num, b.num_num_valid, b.den_num, b.den_num_valid}));
        for (int k = 0; k < 3; ++k) EXPECT_EQ(a.numData[k].seq, b.numData[k].seq);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(a.numData[k].data, b.numData[k].data);
        EXPECT_EQ(a.denData[1].data, b.denData[1].data);
    });
    const AvgFilterConf avg = {1, "avg", nullptr, 125};
    roundTrip(dir, 10102, avg, [](const AvgFilterConf &a, const AvgFilterConf &b) { EXPECT_EQ(a.avg_num, b.avg_num); });
}

TEST(Serialize, RecordDocumentShape)
{
    // {"PaceRemoveConf": {"name", "dataPath", "fs", "paceRemoveMs"}} in
    // this key order, printed formatted (tab-indented).
    TempDir dir;
    const PaceRemoveConf pr = {"pace", "p", 1000, 12, 7};
    ASSERT_EQ(serializeWriteData(dir.file("p.conf").c_str(), &pr, 11101), 0);
    EXPECT_EQ(readText(dir.file("p.conf")),
              "{\n\t\"PaceRemoveConf\":\t{\n\t\t\"name\":\t\"pace\",\n\t\t\"dataPath\":\t\"p\",\n\t\t\"fs\":\t1000,\n"
              "\t\t\"paceRemoveMs\":\t12\n\t}\n}");
    // The named functions behind the dispatcher.
    PaceRemoveConf back{};
    ASSERT_EQ(writePaceRemoveConf(dir.file("q.conf").c_str(), &pr), 0);
    ASSERT_EQ(readPaceRemoveConf(dir.file("q.conf").c_str(), &back), 0);
    EXPECT_STREQ(back.dataPath, "p");
    EXPECT_EQ(back.paceRemoveBfMs, 0);  // not written
    EXPECT_EQ(freePaceRemoveConf(&back), 0);
    EXPECT_EQ(back.name, nullptr);
    const EventSegment seg[] = {{3, 4}};
    EventSegment *segs = nullptr;
    int n = 0;
    ASSERT_EQ(writeEventSegmentArray(dir.file("s.json").c_str(), seg, 1), 0);
    ASSERT_EQ(readEventSegmentArray(dir.file("s.json").c_str(), &segs, &n), 0);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(segs[0].end, 4);
    EXPECT_EQ(freeEventSegmentArray(&segs), 0);
}

TEST(Serialize, NumberArrayFilesLineByLine)
{
    TempDir dir;
    const int16_t i16[] = {-32768, 7};
    const int32_t i32[] = {2147483647, -1};
    const long l64[] = {-7, 9000000000L};
    const float f32[] = {1.5f, -0.25f};
    const double f64[] = {0.1, -2.5};
    const struct {
        int tag;
        const void *data;
        const char *lines;  // count, then "%hd" / "%d" / "%ld" / "%0.6f" / "%0.17lf"
    } cases[] = {
        {10001, i16, "2\n-32768\n7\n"},
        {10002, i32, "2\n2147483647\n-1\n"},
        {10003, l64, "2\n-7\n9000000000\n"},
        {10004, f32, "2\n1.500000\n-0.250000\n"},  // python: '%0.6f' % 1.5
        {10005, f64, "2\n0.10000000000000001\n-2.50000000000000000\n"},  // python: '%0.17f' % 0.1
    };
    for (const auto &c : cases) {
        const std::string path = dir.file(std::to_string(c.tag) + ".csv");
        ASSERT_EQ(serializeWriteDataArray(path.c_str(), c.data, 2, c.tag), 0) << c.tag;
        EXPECT_EQ(readText(path), c.lines) << c.tag;
        void *back = nullptr;
        int n = 0;
        ASSERT_EQ(serializeReadDataArray(&back, &n, path.c_str(), c.tag), 0) << c.tag;
        EXPECT_EQ(n, 2);
        // Floats come back exactly for these values; doubles through 17 digits.
        const size_t bytes = c.tag == 10001 ? 2 : c.tag == 10004 || c.tag == 10002 ? 4 : 8;
        EXPECT_EQ(std::memcmp(back, c.data, 2 * bytes), 0) << c.tag;
        EXPECT_EQ(serializeReadDataArrayFree(&back, c.tag), 0);
        EXPECT_EQ(back, nullptr);
    }
    // Event segments: one JSON document for the array.
    const EventSegment seg[] = {{0, 999}, {2000, 4999}};
    const std::string path = dir.file("seg.csv");
    ASSERT_EQ(serializeWriteDataArray(path.c_str(), seg, 2, 10402), 0);
    void *back = nullptr;
    int n = 0;
    ASSERT_EQ(serializeReadDataArray(&back, &n, path.c_str(), 10402), 0);
    ASSERT_EQ(n, 2);
    const auto *s = static_cast<const EventSegment *>(back);
    EXPECT_EQ(std::vector<int32_t>({s[0].start, s[0].end, s[1].start, s[1].end}),
              std::vector<int32_t>({0, 999, 2000, 4999}));
    serializeReadDataArrayFree(&back, 10402);
}

TEST(Serialize, RepeatedArrayNamesAreMadeUnique)
{
    TempDir dir;
    const int32_t v[] = {1};
    const std::string path = dir.file("out1.csv");
    for (int k = 0; k < 3; ++k) ASSERT_EQ(serializeWriteDataArray(path.c_str(), v, 1, 10002), 0);
    for (const char *name : {"out1.csv", "out1_1.csv", "out1_2.csv"}) EXPECT_TRUE(fs::exists(dir.file(name))) << name;
    EXPECT_FALSE(fs::exists(dir.file("out1_3.csv")));
}

TEST(Serialize, FolderOfAPath)
{
    TempDir dir;
    const std::string base = dir.path();
    const struct {
        std::string path, folder;
    } cases[] = {
        {"c.txt", ""},                                      // no separator: current folder
        {base + "/a/b/c.txt", base + "/a/b/"},              // created with its parents
        {"  " + base + "\\x\\y.csv  ", base + "/x/"},       // trimmed, '\' turned into '/'
        {base + "/e/", base + "/e/"},                       // ending in a separator
    };
    for (const auto &c : cases) {
        char folder[256] = "junk";
        EXPECT_EQ(serializeDataPathGet(c.path.c_str(), folder), 0) << c.path;
        EXPECT_EQ(std::string(folder), c.folder);
        EXPECT_TRUE(c.folder.empty() || fs::is_directory(c.folder)) << c.folder;
    }
    char folder[256];
    EXPECT_EQ(serializeDataPathGet(nullptr, folder), -1);
    EXPECT_EQ(serializeDataPathGet((std::string(300, 'a') + "/x").c_str(), folder), -2);
    writeText(dir.file("plain"), "x");
    EXPECT_EQ(serializeDataPathGet(dir.file("plain/x/y.csv").c_str(), folder), -3);

    EXPECT_EQ(serializeFileExist(""), 1);
    EXPECT_EQ(serializeFileExist(dir.file("nothing").c_str()), 0);
    EXPECT_EQ(serializeFileExist(nullptr), -1);
    const struct {
        int index;
        const char *name;
    } leads[] = {{0, "I"}, {5, "aVF"}, {17, "V5R"}, {18, "status"}, {19, nullptr}, {-1, nullptr}};
    for (const auto &l : leads) EXPECT_EQ(str(getLeadTypeName(l.index)), str(l.name)) << l.index;
    char *stem = extractFilenameWithoutExt("a/b/rdetect.in.csv");
    EXPECT_STREQ(stem, "rdetect.in");
    std::free(stem);
    // A folder with files and sub-folders goes with everything in it.
    writeText(base + "/a/b/f.csv", "1");
    EXPECT_EQ(removeDirectoryContents((base + "/a").c_str()), 0);
    EXPECT_TRUE(fs::is_empty(base + "/a"));
    EXPECT_EQ(removeDirectory((base + "/x").c_str()), 0);
    EXPECT_FALSE(fs::exists(base + "/x"));
    EXPECT_EQ(removeDirectory((base + "/x").c_str()), -1);
}

TEST(Serialize, BadInputGivesCodesAndLeavesNoFile)
{
    TempDir dir;
    const int32_t v[] = {1, 2};
    const PaceRemoveConf pr = {"pace", nullptr, 1000, 12, 0};
    const std::string path = dir.file("x.csv");
    // Unknown tags: -3, no file.
    EXPECT_EQ(serializeWriteDataArray(path.c_str(), v, 2, 12345), -3);
    EXPECT_EQ(serializeWriteData(path.c_str(), &pr, 12345), -3);
    EXPECT_EQ(serializeWriteData(path.c_str(), &pr, 10801), -3);  // a record this library does not have
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(writeBaseTypeArray(path.c_str(), v, 2, 10006), -4);
    // Null arguments and empty arrays.
    EXPECT_EQ(serializeWriteData(nullptr, &pr, 11101), -1);
    EXPECT_EQ(serializeWriteData(path.c_str(), nullptr, 11101), -1);
    EXPECT_EQ(serializeWriteDataArray(path.c_str(), v, 0, 10002), -1);
    EXPECT_EQ(serializeReadData(path.c_str(), nullptr, 11101), -1);
    EXPECT_EQ(serializeReadDataFree(nullptr, 11101), -1);
    // A folder that cannot be made (a file is in the way).
    writeText(dir.file("plain"), "x");
    EXPECT_EQ(serializeWriteData(dir.file("plain/sub/p.conf").c_str(), &pr, 11101), -2);
    EXPECT_EQ(serializeWriteDataArray(dir.file("plain/sub/a.csv").c_str(), v, 2, 10002), -2);
    // A file that cannot be opened below it.
    EXPECT_EQ(serializeWriteData(dir.file("plain/p.conf").c_str(), &pr, 11101), -4);
    EXPECT_EQ(serializeWriteDataArray(dir.file("plain/a.csv").c_str(), v, 2, 10002), -3);

    // Malformed, truncated or foreign files: an error, the record untouched.
    const struct {
        const char *text;
        int tag;
        int want;
    } reads[] = {
        {"{\"PaceRemoveConf\": {\"name\": \"p\", \"fs\": 10", 11101, -4},  // truncated JSON
        {"not json", 11101, -4},
        {"{\"BeatDetectConf\": {}}", 11101, -4},  // another record
        {"3\n1\n2\n", 10002, -3},                 // count promises more lines
        {"x\n", 10002, -3},
        {"-2\n", 10002, -3},
    };
    for (const auto &r : reads) {
        writeText(path, r.text);
        if (r.tag == 11101) {
            PaceRemoveConf back = {nullptr, nullptr, -9, -9, -9};
            EXPECT_EQ(serializeReadData(path.c_str(), &back, r.tag), r.want) << r.text;
            EXPECT_EQ(back.name, nullptr);
            EXPECT_EQ(back.fs, -9);
        } else {
            void *back = nullptr;
            int n = -9;
            EXPECT_EQ(serializeReadDataArray(&back, &n, path.c_str(), r.tag), r.want) << r.text;
            EXPECT_EQ(back, nullptr);
            EXPECT_EQ(n, -9);
        }
    }
    EXPECT_EQ(serializeReadData(dir.file("absent").c_str(), (void *)&pr, 11101), -4);
}

TEST(Serialize, ModuleDumpsIntoAFolderThatCannotBeMadeLogAndCarryOn)
{
    TempDir dir;
    writeText(dir.file("plain"), "x");
    LogCapture log;
    // A module with such a data path is still created and works.
    const std::string bad = dir.file("plain/debug");
    const BeatDetectConf c = {"hr", bad.c_str(), 1000, 0, 2, 0, 0};
    BeatDetect *h = newBeatDetect(&c);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(log.contains("cannot write " + bad + "/beat_detect.conf (-2)."));
    EXPECT_EQ(realtimeDetectBeat(h, 10, nullptr), 0);
    delBeatDetect(&h);
    // A data path too long for the 256-byte path buffer.
    const std::string longPath = dir.file(std::string(250, 'd'));
    EXPECT_EQ(tessivar::serializeWriteDataIn(longPath.c_str(), "x.conf", &c, 10201), -1);
    EXPECT_TRUE(log.contains("debug path too long"));
}

}  // namespace
