// Debug serialization entry points used by the modules: a configuration
// record or an array of values written under a type tag to a file of the
// module's debug data path. These are internal (not exported).
//
// Array type tags: 10001 int16, 10002 int32, 10003 long, 10004 float,
// 10005 double (one value per line). Record tags: 101xx filter records,
// 10201 beat detection, 10901 linear spline, 11101 pace removal, ...
#pragma once

extern "C" {

// Writes count elements of the array kind typeTag from data to path.
// 0 on success, negative on failure (null argument, unknown tag, file error).
int serializeWriteDataArray(const char *path, const void *data, int count, int typeTag);

// Writes the record of kind typeTag to path. 0 on success, negative on failure.
int serializeWriteData(const char *path, const void *record, int typeTag);

}

namespace tessivar {

// The same, into the file `file` of a module's debug data path
// ("<dataPath>/<file>", "." standing for an empty path); nothing is written
// and 0 returned when the module has no data path.
int serializeWriteDataIn(const char *dataPath, const char *file, const void *record, int typeTag);
int serializeWriteDataArrayIn(const char *dataPath, const char *file, const void *data, int count, int typeTag);

}  // namespace tessivar
