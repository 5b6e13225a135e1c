// One-segment linear interpolator used to bridge removed pace pulses.
#include "tessivar/linear_spline.h"

#include <cstdlib>

#include "common/log_macros.hpp"
#include "common/named_block.hpp"
#include "pace/linear_spline.hpp"
#include "serialize/anal_serialize.hpp"

namespace tessivar {
namespace {
constexpr const char *kTag = "linear_spline";
}  // namespace

void traceLinearSpline(const LinearSpline *spline)
{
    if (spline == nullptr) return;
    TV_LOGI(kTag, "\ty(x) = %8f + %8f*(x-x(i))\t\t{%8d<x<%8d}", spline->intercept, spline->slope, spline->xStart,
            spline->xEnd);
}

}  // namespace tessivar

using namespace tessivar;

extern "C" const char *linearSplineVersion(void) { return "linear_spline version 0.0.0.3 2025-07-15 10:49:30"; }

extern "C" LinearSpline *newLinearSpline(const LinearSplineConf *conf)
{
    if (conf == nullptr || conf->name == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return nullptr;
    }
    auto *spline = static_cast<LinearSpline *>(
        std::calloc(1, sizeof(LinearSpline) + namedBlockTailSize(conf->name, conf->dataPath)));
    if (spline == nullptr) {
        TV_LOGE(kTag, "calloc error");
        return nullptr;
    }
    placeNamedBlockTail(reinterpret_cast<char *>(spline + 1), conf->name, conf->dataPath, &spline->name,
                        &spline->dataPath);
    if (spline->dataPath != nullptr) {
        serializeWriteDataIn(spline->dataPath, "linear_spline.conf", conf, kLinearSplineConfTag);
        spline->inFile = openDebugStream(spline->dataPath, "in.csv");
        spline->outFile = openDebugStream(spline->dataPath, "out.csv");
    }
    return spline;
}

extern "C" int delLinearSpline(LinearSpline **spline)
{
    if (spline == nullptr || *spline == nullptr) return -1;
    closeDebugStream(&(*spline)->inFile);
    closeDebugStream(&(*spline)->outFile);
    std::free(*spline);
    *spline = nullptr;
    return 0;
}

extern "C" int initLinearSpline(LinearSpline *spline)
{
    if (spline == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    spline->points[0] = LinearSplinePoint{0, 0.0f};
    spline->points[1] = LinearSplinePoint{0, 0.0f};
    spline->xStart = 0;
    spline->xEnd = 0;
    spline->slope = 0.0;
    spline->intercept = 0.0;
    return 0;
}

extern "C" int setLinearSplinePoints(LinearSpline *spline, const LinearSplinePoint points[2])
{
    if (spline == nullptr || points == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return -1;
    }
    spline->points[0] = points[0];
    spline->points[1] = points[1];
    spline->xStart = points[0].x;
    spline->xEnd = points[1].x;
    spline->intercept = points[0].y;
    spline->slope = (double(points[1].y) - double(points[0].y)) / (double(points[1].x) - double(points[0].x));
    return 0;
}

extern "C" float getLinearSplineYValue(const LinearSpline *spline, int32_t x)
{
    if (spline == nullptr) {
        TV_LOGE(kTag, "%s", kBadInput);
        return 0.0f;
    }
    return static_cast<float>(spline->intercept + spline->slope * (double(x) - double(spline->xStart)));
}
