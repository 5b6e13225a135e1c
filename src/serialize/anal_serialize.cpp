// Debug serialization: stand-ins until the JSON/CSV writers are in. They
// accept the call and write nothing, so a module with a data path runs
// exactly as it will once the writers land.
#include "serialize/anal_serialize.hpp"

#include "common/named_block.hpp"

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

namespace tessivar {

int serializeWriteDataIn(const char *dataPath, const char *file, const void *record, int typeTag)
{
    if (dataPath == nullptr) return 0;
    char path[256];
    return serializeWriteData(debugFilePath(path, sizeof path, dataPath, file), record, typeTag);
}

int serializeWriteDataArrayIn(const char *dataPath, const char *file, const void *data, int count, int typeTag)
{
    if (dataPath == nullptr) return 0;
    char path[256];
    return serializeWriteDataArray(debugFilePath(path, sizeof path, dataPath, file), data, count, typeTag);
}

}  // namespace tessivar
