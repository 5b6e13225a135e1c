/* Debug serialization: module records as JSON documents and arrays as text
 * files, keyed by a numeric type tag, plus the file-name and folder helpers
 * behind them.
 *
 * Array tags (one value per line after a first line with the count):
 *   10001 int16 "%hd"   10002 int32 "%d"   10003 long "%ld"
 *   10004 float "%0.6f" 10005 double "%0.17lf"
 *   10402 EventSegment records (one JSON document for the array)
 * Record tags written and read here (the record name is the top-level JSON
 * key):
 *   10101 SignalFilterConf  10102 AvgFilterConf  10103 AvgLpFilterConf
 *   10104 FirFilterConf     10105 IirCombFilterConf  10106 IntegerFilterConf
 *   10107 NonlinearNotchFilterConf  10201 BeatDetectConf
 *   10901 LinearSplineConf  11101 PaceRemoveConf  11301 SignalQualityConf
 *   12101 DemoLibConf (a RespConf)
 * The other tags of the family's table are known by name; records this
 * library does not have are answered with -3 (no writer / reader).
 *
 * Writers print one "[function, line] path" line to standard output, as the
 * family's tools expect. Paths are limited to 255 characters. */
#ifndef TESSIVAR_ANAL_SERIALIZE_H
#define TESSIVAR_ANAL_SERIALIZE_H

#include <stdint.h>
#include "beat_detect.h"
#include "file_utils.h"
#include "linear_spline.h"
#include "pace_remove.h"
#include "resp.h"
#include "sig_quality_c.h"
#include "signal_filter.h"
#include "tessivar_export.h"

TESSIVAR_BEGIN_C

/* One event segment of a recording, in samples; -1 for unset. */
typedef struct EventSegment {
    int32_t start;
    int32_t end;
} EventSegment;

/* "anal_serialize version 1.0.1.7 2025-07-15 12:29:44" */
TESSIVAR_API const char *serializeVersion(void);

/* Writes the record of kind tag to path (its folder is created first).
 * 0; -1 null path or record; -2 the folder cannot be made; -3 no writer for
 * the tag; -4 the file cannot be written (nothing is left at path then);
 * -5 out of memory. */
TESSIVAR_API int serializeWriteData(const char *path, const void *record, int tag);

/* Fills *record (of kind tag) from the file at path; its texts and arrays
 * are allocated and released with serializeReadDataFree. 0; -1 null
 * argument; -3 no reader for the tag; -4 the file is absent, unreadable or
 * not such a record (the record is then left as it was). */
TESSIVAR_API int serializeReadData(const char *path, void *record, int tag);
TESSIVAR_API int serializeReadDataFree(void *record, int tag);

/* Writes count (>= 1) elements of the array kind tag to a file named after
 * path, made unique with a "_1", "_2" ... suffix before the extension when
 * path exists. 0; -1 null argument or count below 1; -2 folder; -3 tag not
 * handled, no unique name or the file cannot be opened; -4 / -5 the file
 * cannot be written (nothing is left then). */
TESSIVAR_API int serializeWriteDataArray(const char *path, const void *array, int count, int tag);

/* Reads an array file: *array is allocated (release it with
 * serializeReadDataArrayFree) and *count set. 0; -1 null argument; -3 the
 * file cannot be opened, is malformed or the tag is not handled. */
TESSIVAR_API int serializeReadDataArray(void **array, int *count, const char *path, int tag);
TESSIVAR_API int serializeReadDataArrayFree(void **array, int tag);

/* Plain number arrays (tags 10001 ... 10005). Write: 0; -1 null or count
 * below 1; -2 folder; -3 open failure; -4 other tag; -5 write failure (the
 * file is removed). Read: 0; -1 null; -3 other tag, no file, a malformed
 * count or fewer values than it promises. */
TESSIVAR_API int writeBaseTypeArray(const char *path, const void *array, int count, int tag);
TESSIVAR_API int readBaseTypeArray(void **array, int *count, const char *path, int tag);

/* The folder part of path ("" or ending in '/', '\' turned into '/'),
 * created with its parents, into folder (256 bytes). 0; -1 null; -2 too
 * long; -3 cannot be created. */
TESSIVAR_API int serializeDataPathGet(const char *path, char *folder);

/* createDir without log messages: 0, -1 null, -2 copy, -3 / -4 mkdir. */
TESSIVAR_API int serializeCreateDir(const char *path);

/* 1 for an existing path or "", 0 for an absent one, -1 for null. */
TESSIVAR_API int serializeFileExist(const char *path);

/* The record writers, readers and free functions behind the dispatcher, one
 * set per record kind (writePaceRemoveConf, readPaceRemoveConf,
 * freePaceRemoveConf, ...), with the dispatcher's codes. */
#define TESSIVAR_RECORD_SERIALIZER(Name, Type)                                  \
    TESSIVAR_API int write##Name(const char *path, const Type *record);        \
    TESSIVAR_API int read##Name(const char *path, Type *record);               \
    TESSIVAR_API int free##Name(Type *record);
TESSIVAR_RECORD_SERIALIZER(SignalFilterConf, SignalFilterConf)
TESSIVAR_RECORD_SERIALIZER(AvgFilterConf, AvgFilterConf)
TESSIVAR_RECORD_SERIALIZER(AvgLpFilterConf, AvgLpFilterConf)
TESSIVAR_RECORD_SERIALIZER(FirFilterConf, FirFilterConf)
TESSIVAR_RECORD_SERIALIZER(IirCombFilterConf, IirCombFilterConf)
TESSIVAR_RECORD_SERIALIZER(IntegerFilterConf, IntegerFilterConf)
TESSIVAR_RECORD_SERIALIZER(NonlinearNotchFilterConf, NonlinearNotchFilterConf)
TESSIVAR_RECORD_SERIALIZER(BeatDetectConf, BeatDetectConf)
TESSIVAR_RECORD_SERIALIZER(LinearSplineConf, LinearSplineConf)
TESSIVAR_RECORD_SERIALIZER(PaceRemoveConf, PaceRemoveConf)
TESSIVAR_RECORD_SERIALIZER(SignalQualityConf, SignalQualityConf)
TESSIVAR_RECORD_SERIALIZER(DemoLibConf, RespConf)
#undef TESSIVAR_RECORD_SERIALIZER

/* Event-segment arrays: write count (>= 1) records to path; read allocates
 * *array (count in *count); free releases it and nulls *array. */
TESSIVAR_API int writeEventSegmentArray(const char *path, const EventSegment *array, int count);
TESSIVAR_API int readEventSegmentArray(const char *path, EventSegment **array, int *count);
TESSIVAR_API int freeEventSegmentArray(EventSegment **array);

/* "I" ... "V5R" for leads 0 ... 17, "status" for 18, else null. */
TESSIVAR_API const char *getLeadTypeName(int index);

TESSIVAR_END_C

#endif /* TESSIVAR_ANAL_SERIALIZE_H */
