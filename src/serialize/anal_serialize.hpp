// Debug dumps of the modules: a configuration record or an array written
// under a type tag into a file of the module's debug data path. The
// exported dispatcher is tessivar/anal_serialize.h.
#pragma once

#include <cstddef>

#include "tessivar/anal_serialize.h"

namespace tessivar {

// Type tags of what the modules dump (the dispatcher's table lists them all).
enum SerializeTag : int {
    kInt16ArrayTag = 10001,
    kInt32ArrayTag = 10002,
    kDoubleArrayTag = 10005,
    kBeatDetectConfTag = 10201,
    kEventSegmentArrayTag = 10402,
    kLinearSplineConfTag = 10901,
    kPaceRemoveConfTag = 11101,
    kSignalQualityConfTag = 11301,
    kRespConfTag = 12101,
};

// Size of every path buffer of the serializers, terminator included.
inline constexpr std::size_t kSerializePathSize = 256;

// The same, into the file `file` of a module's debug data path
// ("<dataPath>/<file>", "." standing for an empty path); nothing is written
// and 0 returned when the module has no data path. A failure (path too
// long, folder or file not writable) is logged at error level and its code
// returned; the module carries on without the dump.
int serializeWriteDataIn(const char *dataPath, const char *file, const void *record, int typeTag);
int serializeWriteDataArrayIn(const char *dataPath, const char *file, const void *data, int count, int typeTag);

}  // namespace tessivar
