// Debug serialization: stand-ins until the JSON/CSV writers are in. They
// accept the call and write nothing, so a module with a data path runs
// exactly as it will once the writers land.
#include "serialize/anal_serialize.hpp"

extern "C" int serializeWriteDataArray(const char *path, const void *data, int count, int typeTag)
{
    (void)typeTag;
    if (path == nullptr || data == nullptr || count < 0) return -1;
    return 0;
}

extern "C" int serializeWriteData(const char *path, const void *record, int typeTag)
{
    (void)typeTag;
    if (path == nullptr || record == nullptr) return -1;
    return 0;
}
