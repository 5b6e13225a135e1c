// Debug serialization dispatcher: the type tag picks the record or array
// kind. Records are JSON documents {"<Record>": {fields}} built through the
// JSON document object; the records this library has are described field
// by field in one table, from which one writer, reader and free function
// serve them all. Number arrays are text files: the count, then one value
// per line.
#include "serialize/anal_serialize.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/log_macros.hpp"
#include "tessivar/beat_detect.h"
#include "tessivar/file_utils.h"
#include "tessivar/linear_spline.h"
#include "tessivar/lmjson.h"
#include "tessivar/pace_remove.h"
#include "tessivar/resp.h"
#include "tessivar/sig_quality_c.h"
#include "tessivar/signal_filter.h"

namespace tessivar {
namespace {

constexpr const char *kTag = "anal_serialize";


// Largest element count an array file may announce (a malformed count must
// not turn into a huge allocation).
constexpr int kMaxArrayCount = 100000000;

enum class Kind { Int32, Double, Text, DoubleArray, TapArray };

// One field: JSON key, kind, offset in the record; arrays also name the
// offset of their element count.
struct Field {
    const char *key;
    Kind kind;
    std::size_t offset;
    std::size_t countOffset;
};

struct RecordKind {
    int tag;
    const char *name;
    const Field *fields;  // null: the family's record, not one of this library
    int fieldCount;
};

#define TV_INT(T, f) Field{#f, Kind::Int32, offsetof(T, f), 0}
#define TV_DBL(T, f) Field{#f, Kind::Double, offsetof(T, f), 0}
#define TV_TXT(T, f) Field{#f, Kind::Text, offsetof(T, f), 0}
#define TV_ARR(T, f, n) Field{#f, Kind::DoubleArray, offsetof(T, f), offsetof(T, n)}
#define TV_TAPS(T, f, n) Field{#f, Kind::TapArray, offsetof(T, f), offsetof(T, n)}

const Field kSignalFilterConf[] = {TV_INT(SignalFilterConf, type), TV_TXT(SignalFilterConf, name),
                                   TV_TXT(SignalFilterConf, dataPath), TV_DBL(SignalFilterConf, gain)};
const Field kAvgFilterConf[] = {TV_INT(AvgFilterConf, type), TV_TXT(AvgFilterConf, name),
                                TV_TXT(AvgFilterConf, dataPath), TV_INT(AvgFilterConf, avg_num)};
const Field kFirFilterConf[] = {TV_INT(FirFilterConf, type),     TV_TXT(FirFilterConf, name),
                                TV_TXT(FirFilterConf, dataPath), TV_DBL(FirFilterConf, gain),
                                TV_ARR(FirFilterConf, numData, num_num), TV_INT(FirFilterConf, num_num)};
const Field kIirCombFilterConf[] = {
    TV_INT(IirCombFilterConf, type),    TV_TXT(IirCombFilterConf, name),
    TV_TXT(IirCombFilterConf, dataPath), TV_DBL(IirCombFilterConf, gain),
    TV_ARR(IirCombFilterConf, numData, num_num), TV_INT(IirCombFilterConf, num_num),
    TV_ARR(IirCombFilterConf, denData, den_num), TV_INT(IirCombFilterConf, den_num)};
const Field kIntegerFilterConf[] = {
    TV_INT(IntegerFilterConf, type),    TV_TXT(IntegerFilterConf, name),
    TV_TXT(IntegerFilterConf, dataPath), TV_DBL(IntegerFilterConf, gain),
    TV_TAPS(IntegerFilterConf, numData, num_num_valid), TV_INT(IntegerFilterConf, num_num),
    TV_INT(IntegerFilterConf, num_num_valid), TV_TAPS(IntegerFilterConf, denData, den_num_valid),
    TV_INT(IntegerFilterConf, den_num), TV_INT(IntegerFilterConf, den_num_valid)};
const Field kNonlinearNotchFilterConf[] = {
    TV_INT(NonlinearNotchFilterConf, type), TV_TXT(NonlinearNotchFilterConf, name),
    TV_TXT(NonlinearNotchFilterConf, dataPath), TV_DBL(NonlinearNotchFilterConf, phi),
    TV_DBL(NonlinearNotchFilterConf, adj_the)};
const Field kBeatDetectConf[] = {TV_TXT(BeatDetectConf, name),  TV_TXT(BeatDetectConf, dataPath),
                                 TV_INT(BeatDetectConf, fs),    TV_INT(BeatDetectConf, mode),
                                 TV_INT(BeatDetectConf, method), TV_INT(BeatDetectConf, maxHR),
                                 TV_INT(BeatDetectConf, minHR)};
const Field kLinearSplineConf[] = {TV_TXT(LinearSplineConf, name), TV_TXT(LinearSplineConf, dataPath)};
const Field kPaceRemoveConf[] = {TV_TXT(PaceRemoveConf, name), TV_TXT(PaceRemoveConf, dataPath),
                                 TV_INT(PaceRemoveConf, fs), TV_INT(PaceRemoveConf, paceRemoveMs)};
const Field kSignalQualityConf[] = {
    TV_TXT(SignalQualityConf, name),           TV_TXT(SignalQualityConf, dataPath),
    TV_INT(SignalQualityConf, fs),             TV_INT(SignalQualityConf, detectWindowLen),
    TV_INT(SignalQualityConf, detectStepLen),  TV_INT(SignalQualityConf, baseIntolerableThre),
    TV_INT(SignalQualityConf, basePerfectThre), TV_INT(SignalQualityConf, emgIntolerableThre),
    TV_INT(SignalQualityConf, emgPerfectThre), TV_INT(SignalQualityConf, isSaveCpu)};
const Field kDemoLibConf[] = {TV_TXT(RespConf, name), TV_TXT(RespConf, dataPath), TV_INT(RespConf, fs)};
const Field kEventSegment[] = {TV_INT(EventSegment, start), TV_INT(EventSegment, end)};

#undef TV_INT
#undef TV_DBL
#undef TV_TXT
#undef TV_ARR
#undef TV_TAPS

#define TV_REC(tag, name, fields) RecordKind{tag, name, fields, int(sizeof fields / sizeof fields[0])}
#define TV_FAMILY(tag, name) RecordKind{tag, name, nullptr, 0}

// Every tag of the family. Records that this library does not have carry
// no fields: their tags are known, and answered with "no writer".
const RecordKind kRecords[] = {
    TV_REC(10101, "SignalFilterConf", kSignalFilterConf),
    TV_REC(10102, "AvgFilterConf", kAvgFilterConf),
    TV_REC(10103, "AvgLpFilterConf", kAvgFilterConf),
    TV_REC(10104, "FirFilterConf", kFirFilterConf),
    TV_REC(10105, "IirCombFilterConf", kIirCombFilterConf),
    TV_REC(10106, "IntegerFilterConf", kIntegerFilterConf),
    TV_REC(10107, "NonlinearNotchFilterConf", kNonlinearNotchFilterConf),
    TV_FAMILY(10108, "EcgFilterConf"),
    TV_FAMILY(10109, "ExtraFilterDesignParameter"),
    TV_REC(10201, "BeatDetectConf", kBeatDetectConf),
    TV_FAMILY(10301, "BeatTemplateConf"),
    TV_FAMILY(10401, "WavePoint"),
    TV_REC(10402, "EventSegment", kEventSegment),
    TV_FAMILY(10403, "SingleLeadWavePoints"),
    TV_FAMILY(10404, "SingleLeadData"),
    TV_FAMILY(10405, "MultiLeadData"),
    TV_FAMILY(10406, "BeatSegmentation"),
    TV_FAMILY(10407, "MinnesotaCode"),
    TV_FAMILY(10501, "KTPatientInfo"),
    TV_FAMILY(10601, "EcgDiagnosisConf"),
    TV_FAMILY(10602, "EcgDiagHrConf"),
    TV_FAMILY(10701, "EcgMeasureConf"),
    TV_FAMILY(10702, "EcgBeatTemplate"),
    TV_FAMILY(10703, "EcgGlobalMeas"),
    TV_FAMILY(10704, "EcgLeadMeas"),
    TV_FAMILY(10705, "EcgBeatMeas"),
    TV_FAMILY(10706, "EcgLeadBeatMeas"),
    TV_FAMILY(10707, "EcgMeasureResult"),
    TV_FAMILY(10801, "EcgPreprocessConf"),
    TV_REC(10901, "LinearSplineConf", kLinearSplineConf),
    TV_FAMILY(10902, "LinearFunc"),
    TV_FAMILY(11001, "PaceAnalysisConf"),
    TV_FAMILY(11002, "PaceEvent"),
    TV_FAMILY(11003, "PaceAnalysisResult"),
    TV_REC(11101, "PaceRemoveConf", kPaceRemoveConf),
    TV_FAMILY(11201, "RespConf"),
    TV_REC(11301, "SignalQualityConf", kSignalQualityConf),
    TV_FAMILY(11302, "SignalQualityDesc"),
    TV_FAMILY(11401, "WavePointConf"),
    TV_FAMILY(11501, "STSegmentAnalysisConf"),
    TV_FAMILY(11502, "STMeas"),
    TV_FAMILY(11503, "STEvent"),
    TV_FAMILY(11504, "RhythmAnalysisConf"),
    TV_FAMILY(11505, "SpecialRhythmAnalysisConf"),
    TV_FAMILY(11601, "AlgTfliteConf"),
    TV_FAMILY(11701, "DCGMathLibCfg"),
    TV_FAMILY(11702, "Complex"),
    TV_FAMILY(11703, "Element"),
    TV_FAMILY(11704, "ElementInt"),
    TV_FAMILY(11705, "DCGHeartRateCfg"),
    TV_FAMILY(11706, "SHeartRate"),
    TV_FAMILY(11801, "HeartRateConf"),
    TV_FAMILY(11901, "HRVMeasCfg"),
    TV_FAMILY(11902, "HRVFrequencyRange"),
    TV_FAMILY(11903, "HrvTimeDomainMeasures"),
    TV_FAMILY(11904, "HrvFreqDomainMeasures"),
    TV_FAMILY(11905, "HRMeasures"),
    TV_FAMILY(11906, "HRVTimeDomainMeasures"),
    TV_FAMILY(11907, "HRVFreqDomainMeasures5MinutesShortTerm"),
    TV_FAMILY(11908, "HRVFreqDomainMeasures24HoursLongTerm"),
    TV_FAMILY(11909, "HRVMeasures"),
    TV_REC(12101, "DemoLibConf", kDemoLibConf),
};

#undef TV_REC
#undef TV_FAMILY

// The record kind of tag with a field table, or null.
const RecordKind *recordOf(int tag)
{
    for (const RecordKind &r : kRecords)
        if (r.tag == tag) return r.fields != nullptr ? &r : nullptr;
    return nullptr;
}

template <typename T>
T &at(void *record, std::size_t offset)
{
    return *reinterpret_cast<T *>(static_cast<char *>(record) + offset);
}
template <typename T>
const T &at(const void *record, std::size_t offset)
{
    return *reinterpret_cast<const T *>(static_cast<const char *>(record) + offset);
}

// Adds the fields of record to the JSON object obj. 0, or -5 when the
// document cannot be built.
int addFields(LmJson &j, cJSON *obj, const RecordKind &kind, const void *record)
{
    int rc = 0;
    for (int i = 0; i < kind.fieldCount && rc == 0; ++i) {
        const Field &f = kind.fields[i];
        switch (f.kind) {
        case Kind::Int32: rc = j._jsonAddIntValue(obj, f.key, at<int32_t>(record, f.offset)); break;
        case Kind::Double: rc = j._jsonAddDoubleValue(obj, f.key, at<double>(record, f.offset)); break;
        case Kind::Text: {
            const char *text = at<const char *>(record, f.offset);
            rc = text != nullptr ? j._jsonAddStringValue(obj, f.key, text) : j._jsonAddNullValue(obj, f.key);
            break;
        }
        case Kind::DoubleArray:
        case Kind::TapArray: {
            cJSON *array = j._jsonCreateArray();
            if (array == nullptr || j._jsonAddArray(obj, f.key, array) != 0) return -5;
            const int32_t n = at<int32_t>(record, f.countOffset);
            const void *data = at<const void *>(record, f.offset);
            for (int32_t k = 0; data != nullptr && k < n && rc == 0; ++k) {
                if (f.kind == Kind::DoubleArray) {
                    rc = j._jsonAddDoubleValueArray(array, static_cast<const double *>(data)[k]);
                } else {
                    const IntegerFilterTap &t = static_cast<const IntegerFilterTap *>(data)[k];
                    cJSON *tap = j._jsonCreateObject();
                    if (tap == nullptr || j._jsonAddArrayItem(array, tap) != 0) return -5;
                    rc = j._jsonAddIntValue(tap, "seq", t.seq);
                    if (rc == 0) rc = j._jsonAddDoubleValue(tap, "data", t.data);
                }
            }
            break;
        }
        }
    }
    return rc == 0 ? 0 : -5;
}

char *copyText(const char *text)
{
    if (text == nullptr) return nullptr;
    const std::size_t n = std::strlen(text) + 1;
    char *out = static_cast<char *>(std::malloc(n));
    if (out != nullptr) std::memcpy(out, text, n);
    return out;
}

// Releases what readFields allocated in record and nulls it.
void freeFields(const RecordKind &kind, void *record)
{
    for (int i = 0; i < kind.fieldCount; ++i) {
        const Field &f = kind.fields[i];
        if (f.kind == Kind::Text || f.kind == Kind::DoubleArray || f.kind == Kind::TapArray) {
            void *&p = at<void *>(record, f.offset);
            std::free(p);
            p = nullptr;
        }
    }
}

// Fills record from obj; a missing key gives 0, 0.0 or null. False when an
// allocation fails (what was allocated is released).
bool readFields(LmJson &j, const cJSON *obj, const RecordKind &kind, void *record)
{
    for (int i = 0; i < kind.fieldCount; ++i) {
        const Field &f = kind.fields[i];
        switch (f.kind) {
        case Kind::Int32: at<int32_t>(record, f.offset) = j._jsonIntValue(obj, f.key, 0); break;
        case Kind::Double: at<double>(record, f.offset) = j._jsonDoubleValue(obj, f.key, 0.0); break;
        case Kind::Text: {
            const char *text = j._jsonStringValue(obj, f.key, nullptr);
            at<char *>(record, f.offset) = copyText(text);
            if (text != nullptr && at<char *>(record, f.offset) == nullptr) return freeFields(kind, record), false;
            break;
        }
        case Kind::DoubleArray:
        case Kind::TapArray: {
            const cJSON *array = j._jsonObjectItem(obj, f.key);
            const int n = array != nullptr ? j._jsonArraySize(array) : 0;
            void *&data = at<void *>(record, f.offset);
            data = nullptr;
            if (n <= 0) break;
            if (f.kind == Kind::DoubleArray) {
                auto *d = static_cast<double *>(std::calloc(size_t(n), sizeof(double)));
                data = d;
                if (d == nullptr) return freeFields(kind, record), false;
                j._jsonDoubleValueArrayAll(array, d, n);
            } else {
                auto *t = static_cast<IntegerFilterTap *>(std::calloc(size_t(n), sizeof(IntegerFilterTap)));
                data = t;
                if (t == nullptr) return freeFields(kind, record), false;
                for (int k = 0; k < n; ++k) {
                    const cJSON *tap = j._jsonArrayItem(array, k);
                    t[k].seq = j._jsonIntValue(tap, "seq", 0);
                    t[k].data = j._jsonDoubleValue(tap, "data", 0.0);
                }
            }
            break;
        }
        }
    }
    return true;
}

// Saves the document of j to path; a file left by a failed save is removed.
int saveDocument(LmJson &j, const char *path)
{
    if (j._jsonSave(j.root, path) == 0) return 0;
    std::remove(path);
    return -4;
}

// Writes {"<name>": <value>} where fill builds the value under the root.
template <typename Fill>
int writeDocument(const char *path, Fill fill)
{
    char folder[kSerializePathSize];
    if (serializeDataPathGet(path, folder) != 0) return -2;
    LmJson *j = newJson();
    if (j == nullptr) return -5;
    j->root = j->_jsonCreateObject();
    int rc = j->root != nullptr ? fill(*j, j->root) : -5;
    if (rc == 0) rc = saveDocument(*j, path);
    delJson(&j);
    return rc;
}

int writeRecord(const char *path, const RecordKind &kind, const void *record)
{
    return writeDocument(path, [&](LmJson &j, cJSON *root) {
        cJSON *obj = j._jsonAddObjectItem(root, kind.name);
        return obj != nullptr ? addFields(j, obj, kind, record) : -5;
    });
}

int writeSegmentArray(const char *path, const EventSegment *segments, int count)
{
    const RecordKind &kind = *recordOf(kEventSegmentArrayTag);
    return writeDocument(path, [&](LmJson &j, cJSON *root) {
        cJSON *array = j._jsonCreateArray();
        if (array == nullptr || j._jsonAddArray(root, kind.name, array) != 0) return -5;
        for (int k = 0; k < count; ++k) {
            cJSON *obj = j._jsonCreateObject();
            if (obj == nullptr || j._jsonAddArrayItem(array, obj) != 0) return -5;
            if (addFields(j, obj, kind, &segments[k]) != 0) return -5;
        }
        return 0;
    });
}

// Loads the document at path and hands the member named name to read.
// -4 when the file is absent, malformed or has no such member.
template <typename Read>
int readDocument(const char *path, const char *name, Read read)
{
    LmJson *j = newJson();
    if (j == nullptr) return -5;
    int rc = -4;
    if (j->_jsonInit(j, path) == 0) {
        const cJSON *member = j->_jsonObjectItem(j->root, name);
        if (member != nullptr) rc = read(*j, member);
    }
    delJson(&j);
    return rc;
}

int readSegmentArray(void **array, int *count, const char *path)
{
    const RecordKind &kind = *recordOf(kEventSegmentArrayTag);
    return readDocument(path, kind.name, [&](LmJson &j, const cJSON *member) {
        const int n = j._jsonArraySize(member);
        if (n < 0) return -4;
        auto *segments = static_cast<EventSegment *>(std::calloc(size_t(n > 0 ? n : 1), sizeof(EventSegment)));
        if (segments == nullptr) return -3;
        for (int k = 0; k < n; ++k) readFields(j, j._jsonArrayItem(member, k), kind, &segments[k]);
        *array = segments;
        *count = n;
        return 0;
    });
}

std::size_t elementSize(int tag)
{
    switch (tag) {
    case 10001: return sizeof(int16_t);
    case 10002: return sizeof(int32_t);
    case 10003: return sizeof(long);
    case 10004: return sizeof(float);
    case 10005: return sizeof(double);
    default: return 0;
    }
}

int printElement(std::FILE *f, const void *array, int k, int tag)
{
    switch (tag) {
    case 10001: return std::fprintf(f, "%hd\n", static_cast<const int16_t *>(array)[k]);
    case 10002: return std::fprintf(f, "%d\n", static_cast<const int32_t *>(array)[k]);
    case 10003: return std::fprintf(f, "%ld\n", static_cast<const long *>(array)[k]);
    case 10004: return std::fprintf(f, "%0.6f\n", double(static_cast<const float *>(array)[k]));
    default: return std::fprintf(f, "%0.17lf\n", static_cast<const double *>(array)[k]);
    }
}

bool scanElement(std::FILE *f, void *array, int k, int tag)
{
    switch (tag) {
    case 10001: return std::fscanf(f, "%hd", &static_cast<int16_t *>(array)[k]) == 1;
    case 10002: return std::fscanf(f, "%d", &static_cast<int32_t *>(array)[k]) == 1;
    case 10003: return std::fscanf(f, "%ld", &static_cast<long *>(array)[k]) == 1;
    case 10004: return std::fscanf(f, "%f", &static_cast<float *>(array)[k]) == 1;
    default: return std::fscanf(f, "%lf", &static_cast<double *>(array)[k]) == 1;
    }
}

bool isBaseTag(int tag) { return tag >= kInt16ArrayTag && tag <= kDoubleArrayTag; }

}  // namespace
}  // namespace tessivar

using tessivar::kTag;

extern "C" const char *serializeVersion(void) { return "anal_serialize version 1.0.1.7 2025-07-15 12:29:44"; }

extern "C" int writeBaseTypeArray(const char *path, const void *array, int count, int tag)
{
    if (path == nullptr || array == nullptr || count < 1) return -1;
    char folder[tessivar::kSerializePathSize];
    if (serializeDataPathGet(path, folder) != 0) return -2;
    if (!tessivar::isBaseTag(tag)) return -4;
    std::FILE *f = std::fopen(path, "w");
    if (f == nullptr) return -3;
    bool ok = std::fprintf(f, "%d\n", count) > 0;
    for (int k = 0; ok && k < count; ++k) ok = tessivar::printElement(f, array, k, tag) > 0;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        // No half-written array is left behind.
        std::remove(path);
        return -5;
    }
    return 0;
}

extern "C" int readBaseTypeArray(void **array, int *count, const char *path, int tag)
{
    if (array == nullptr || count == nullptr || path == nullptr) return -1;
    if (!tessivar::isBaseTag(tag)) return -3;
    std::FILE *f = std::fopen(path, "r");
    if (f == nullptr) return -3;
    int n = 0;
    void *data = nullptr;
    bool ok = std::fscanf(f, "%d", &n) == 1 && n >= 0 && n <= tessivar::kMaxArrayCount;
    if (ok) {
        data = std::calloc(size_t(n > 0 ? n : 1), tessivar::elementSize(tag));
        ok = data != nullptr;
    }
    for (int k = 0; ok && k < n; ++k) ok = tessivar::scanElement(f, data, k, tag);
    std::fclose(f);
    if (!ok) {
        std::free(data);
        return -3;
    }
    *array = data;
    *count = n;
    return 0;
}

extern "C" int serializeWriteData(const char *path, const void *record, int tag)
{
    if (path == nullptr || record == nullptr) return -1;
    std::printf("[%s, %d] %s \n", __func__, __LINE__, path);
    const tessivar::RecordKind *kind = tessivar::recordOf(tag);
    if (kind == nullptr || tag == tessivar::kEventSegmentArrayTag) return -3;
    return tessivar::writeRecord(path, *kind, record);
}

extern "C" int serializeReadData(const char *path, void *record, int tag)
{
    if (path == nullptr || record == nullptr) return -1;
    const tessivar::RecordKind *kind = tessivar::recordOf(tag);
    if (kind == nullptr || tag == tessivar::kEventSegmentArrayTag) return -3;
    return tessivar::readDocument(path, kind->name, [&](LmJson &j, const cJSON *member) {
        return tessivar::readFields(j, member, *kind, record) ? 0 : -5;
    });
}

extern "C" int serializeReadDataFree(void *record, int tag)
{
    if (record == nullptr) return -1;
    const tessivar::RecordKind *kind = tessivar::recordOf(tag);
    if (kind == nullptr || tag == tessivar::kEventSegmentArrayTag) return -3;
    tessivar::freeFields(*kind, record);
    return 0;
}

extern "C" int serializeWriteDataArray(const char *path, const void *array, int count, int tag)
{
    if (path == nullptr || array == nullptr || count < 1) return -1;
    char unique[tessivar::kSerializePathSize - 1];
    if (getUniqueFilename("", path, unique, int(sizeof unique)) != 0) return -3;
    std::printf("[%s, %d] %s %s\n", __func__, __LINE__, path, unique);
    if (tessivar::isBaseTag(tag)) return writeBaseTypeArray(unique, array, count, tag);
    if (tag == tessivar::kEventSegmentArrayTag)
        return tessivar::writeSegmentArray(unique, static_cast<const EventSegment *>(array), count);
    return -3;
}

extern "C" int serializeReadDataArray(void **array, int *count, const char *path, int tag)
{
    if (array == nullptr || count == nullptr || path == nullptr) return -1;
    if (tessivar::isBaseTag(tag)) return readBaseTypeArray(array, count, path, tag);
    if (tag == tessivar::kEventSegmentArrayTag) return tessivar::readSegmentArray(array, count, path) == 0 ? 0 : -3;
    return -3;
}

extern "C" int serializeReadDataArrayFree(void **array, int tag)
{
    (void)tag;  // every array kind is one allocation
    if (array == nullptr) return -1;
    std::free(*array);
    *array = nullptr;
    return 0;
}

// The named writers, readers and free functions of the record kinds.
#define TV_RECORD_SERIALIZER(Name, Type, tag)                                                         \
    extern "C" int write##Name(const char *path, const Type *record)                                  \
    {                                                                                                 \
        if (path == nullptr || record == nullptr) return -1;                                          \
        return tessivar::writeRecord(path, *tessivar::recordOf(tag), record);                         \
    }                                                                                                 \
    extern "C" int read##Name(const char *path, Type *record) { return serializeReadData(path, record, tag); } \
    extern "C" int free##Name(Type *record) { return serializeReadDataFree(record, tag); }
TV_RECORD_SERIALIZER(SignalFilterConf, SignalFilterConf, 10101)
TV_RECORD_SERIALIZER(AvgFilterConf, AvgFilterConf, 10102)
TV_RECORD_SERIALIZER(AvgLpFilterConf, AvgLpFilterConf, 10103)
TV_RECORD_SERIALIZER(FirFilterConf, FirFilterConf, 10104)
TV_RECORD_SERIALIZER(IirCombFilterConf, IirCombFilterConf, 10105)
TV_RECORD_SERIALIZER(IntegerFilterConf, IntegerFilterConf, 10106)
TV_RECORD_SERIALIZER(NonlinearNotchFilterConf, NonlinearNotchFilterConf, 10107)
TV_RECORD_SERIALIZER(BeatDetectConf, BeatDetectConf, 10201)
TV_RECORD_SERIALIZER(LinearSplineConf, LinearSplineConf, 10901)
TV_RECORD_SERIALIZER(PaceRemoveConf, PaceRemoveConf, 11101)
TV_RECORD_SERIALIZER(SignalQualityConf, SignalQualityConf, 11301)
TV_RECORD_SERIALIZER(DemoLibConf, RespConf, 12101)
#undef TV_RECORD_SERIALIZER

extern "C" int writeEventSegmentArray(const char *path, const EventSegment *array, int count)
{
    if (path == nullptr || array == nullptr || count < 1) return -1;
    return tessivar::writeSegmentArray(path, array, count);
}

extern "C" int readEventSegmentArray(const char *path, EventSegment **array, int *count)
{
    if (path == nullptr || array == nullptr || count == nullptr) return -1;
    void *read = nullptr;
    const int rc = tessivar::readSegmentArray(&read, count, path);
    if (rc == 0) *array = static_cast<EventSegment *>(read);
    return rc;
}

extern "C" int freeEventSegmentArray(EventSegment **array)
{
    if (array == nullptr) return -1;
    void *data = *array;
    *array = nullptr;
    return serializeReadDataArrayFree(&data, tessivar::kEventSegmentArrayTag);
}

namespace tessivar {

namespace {

// Formats "<dataPath>/<file>" into path; false (logged) when it does not fit.
bool dumpPath(char (&path)[kSerializePathSize], const char *dataPath, const char *file)
{
    const int n = std::snprintf(path, sizeof path, "%s/%s", dataPath[0] == '\0' ? "." : dataPath, file);
    if (n < 0 || std::size_t(n) >= sizeof path) {
        TV_LOGE(kTag, "debug path too long: %s/%s", dataPath, file);
        return false;
    }
    return true;
}

int logFailure(int rc, const char *path)
{
    if (rc != 0) TV_LOGE(kTag, "cannot write %s (%d).", path, rc);
    return rc;
}

}  // namespace

int serializeWriteDataIn(const char *dataPath, const char *file, const void *record, int typeTag)
{
    if (dataPath == nullptr) return 0;
    char path[kSerializePathSize];
    if (!dumpPath(path, dataPath, file)) return -1;
    return logFailure(serializeWriteData(path, record, typeTag), path);
}

int serializeWriteDataArrayIn(const char *dataPath, const char *file, const void *data, int count, int typeTag)
{
    if (dataPath == nullptr) return 0;
    char path[kSerializePathSize];
    if (!dumpPath(path, dataPath, file)) return -1;
    if (count == 0) {
        // An empty result (no beats, no segments) still leaves its file,
        // empty, so that a reader sees the step ran.
        char unique[kSerializePathSize - 1];
        char folder[kSerializePathSize];
        if (serializeDataPathGet(path, folder) != 0 || getUniqueFilename("", path, unique, int(sizeof unique)) != 0)
            return logFailure(-2, path);
        std::FILE *f = std::fopen(unique, "w");
        if (f == nullptr) return logFailure(-3, unique);
        std::fclose(f);
        return 0;
    }
    return logFailure(serializeWriteDataArray(path, data, count, typeTag), path);
}

}  // namespace tessivar
