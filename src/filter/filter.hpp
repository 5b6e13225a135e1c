// Shared machinery of the filter kinds: the one-block object layout, kind
// access, history priming, and the staging and edge extension of the
// whole-array paths.
//
// A created filter is one heap block: the kind object (SignalFilter header
// first), its coefficient copies and histories, then its own copies of the
// record's name and data path. Deleting it frees that one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "common/named_block.hpp"
#include "tessivar/signal_filter.h"

namespace tessivar::filter {

// Log tag of the generic entry points.
inline constexpr const char *kTag = "signal filter";

// Accumulator of the per-sample sums of the FIR, IIR comb and integer kinds.
// Extended precision by default (the x87 80-bit format on x86); a build with
// TESSIVAR_FILTER_ACCUMULATOR=double sums in double, for targets where long
// double is a slow software type. Outputs then differ in the last bits.
#ifdef TESSIVAR_FILTER_ACCUMULATOR_DOUBLE
using Accumulator = double;
#else
using Accumulator = long double;
#endif

// The kind object behind a header, or null when the filter is null or of
// another kind. Every kind object begins with its SignalFilter header.
template <class Kind>
Kind *kindOf(SignalFilter *filter, int32_t type)
{
    if (filter == nullptr || filter->type != type) return nullptr;
    return reinterpret_cast<Kind *>(filter);
}

// Name of a filter for messages; "(null)" when there is none.
inline const char *nameOf(const SignalFilter *filter)
{
    return filter != nullptr && filter->name != nullptr ? filter->name : "(null)";
}

// Sizes a filter's block: the kind object, then arrays in the order they are
// reserved, each aligned for its element type.
class BlockLayout {
public:
    explicit BlockLayout(std::size_t objectSize) : size_(objectSize) {}

    // Reserves count elements of T; returns their offset in the block.
    template <class T>
    std::size_t reserve(int32_t count)
    {
        size_ = (size_ + alignof(T) - 1) / alignof(T) * alignof(T);
        std::size_t offset = size_;
        size_ += sizeof(T) * static_cast<std::size_t>(count);
        return offset;
    }

    std::size_t size() const { return size_; }

private:
    std::size_t size_;
};

// Array of T at offset in the block of object.
template <class T>
T *blockArray(void *object, std::size_t offset)
{
    return reinterpret_cast<T *>(static_cast<char *>(object) + offset);
}

// Allocates and clears the block of a new filter of kind Kind (layout plus
// the name and data-path copies), fills the header (type, gain 1.0, name,
// data path) and opens the debug streams "in.csv" and "out.csv" when the
// record has a data path. Null when the block cannot be had.
template <class Kind>
Kind *allocateFilter(const BlockLayout &layout, int32_t type, const char *name, const char *dataPath)
{
    const std::size_t tail = layout.size();
    void *block = std::calloc(1, tail + namedBlockTailSize(name, dataPath));
    if (block == nullptr) return nullptr;
    Kind *kind = new (block) Kind{};
    SignalFilter &head = kind->head;
    char *nameCopy = nullptr;
    char *pathCopy = nullptr;
    placeNamedBlockTail(static_cast<char *>(block) + tail, name, dataPath, &nameCopy, &pathCopy);
    head.type = type;
    head.name = nameCopy;
    head.dataPath = pathCopy;
    head.gain = 1.0;
    head.inFile = openDebugStream(pathCopy, "in.csv");
    head.outFile = openDebugStream(pathCopy, "out.csv");
    return kind;
}

// Closes the debug streams, frees the block and nulls the handle, logging
// the deletion under the kind's tag (null tag: silently). 0, or -1 for a
// null handle.
int releaseFilter(SignalFilter **filter, const char *tag = nullptr);

// Every slot x0, or zeros when x0 is exactly 0.
void fillHistory(double *buf, int32_t n, double x0);

// Output of a whole-array path before the gain: out itself, or a cleared
// temporary when out is the same array as in.
class OutputStage {
public:
    OutputStage(const double *in, double *out, int32_t n);
    ~OutputStage();
    OutputStage(const OutputStage &) = delete;
    OutputStage &operator=(const OutputStage &) = delete;

    // False when the temporary could not be had.
    bool ready() const { return work_ != nullptr; }
    double *work() const { return work_; }
    // Moves the work into out with the gain applied; 1 when out is in, else 0.
    int finish(double gain);

private:
    double *out_;
    double *work_;
    int32_t n_;
    bool inPlace_;
};

// Edge extension of the whole-array paths. The head segment is pad copies of
// in[0] followed by in[0 .. count-pad-1]; the tail segment is
// in[n-keep .. n-1] followed by pad copies of in[n-1].
void extendHead(const double *in, int32_t pad, int32_t count, double *segment);
void extendTail(const double *in, int32_t n, int32_t keep, int32_t pad, double *segment);

}  // namespace tessivar::filter
