// Stand-alone modules run over a recording with their debug data paths.
#include "module_dump.hpp"

#include <sys/stat.h>

#include <tessivar/tessivar.h>

namespace tessivar::cli {
namespace {

// The sub-folder of one module; "" when it cannot be made.
std::string folder(const std::string &dir, const char *name)
{
    const std::string path = dir + "/" + name;
    return serializeCreateDir(path.c_str()) == 0 ? path : std::string();
}

}  // namespace

int dumpModules(const std::string &dir, const std::vector<int16_t> &lead, const std::vector<int32_t> &status,
                const std::vector<int32_t> &resp, int fs, int qrsMethod)
{
    int failed = 0;
    const int32_t n = int32_t(lead.size());
    if (n == 0) return 0;

    // Beat detection over the whole lead: beat_detect.conf, rdetect_in.csv,
    // rdetect_out.csv (and the detector's own streams).
    const std::string bd = folder(dir, "beat_detect");
    const BeatDetectConf bdConf = {"beat_detect", bd.c_str(), fs, 0, qrsMethod, 0, 0};
    if (BeatDetect *d = bd.empty() ? nullptr : newBeatDetect(&bdConf)) {
        std::vector<int32_t> positions(size_t(n / 100 + 16));
        findRPeak(d, lead.data(), n, positions.data(), int32_t(positions.size()));
        delBeatDetect(&d);
    } else {
        ++failed;
    }

    // Pace removal and its spline over the lead with the frames' pace marks.
    const std::string pr = folder(dir, "pace_remove");
    const PaceRemoveConf prConf = {"pace_remove", pr.c_str(), fs, 10, 0};
    if (PaceRemove *p = pr.empty() ? nullptr : newPaceRemove(&prConf)) {
        std::vector<int16_t> out(lead.size());
        removePaceWave(p, lead.data(), n, status.data(), out.data());
        addPaceWave(p, out.data(), n, out.data());
        delPaceRemove(&p);
    } else {
        ++failed;
    }
    const std::string ls = folder(dir, "linear_spline");
    const LinearSplineConf lsConf = {"linear_spline", ls.c_str()};
    if (LinearSpline *s = ls.empty() ? nullptr : newLinearSpline(&lsConf)) {
        delLinearSpline(&s);
    } else {
        ++failed;
    }

    // Signal quality: sample by sample, then the usable stretches.
    const std::string sq = folder(dir, "sig_quality");
    SignalQualityConf sqConf{};
    sqConf.name = "sig_quality";
    sqConf.dataPath = sq.c_str();
    sqConf.fs = fs;
    if (SignalQuality *q = sq.empty() ? nullptr : newSignalQuality(&sqConf)) {
        for (int16_t x : lead) detectSignalQuality(q, x);
        std::vector<int32_t> segments(64, -1);
        getValidSignal(q, lead.data(), n, segments.data(), 32, 1);
        delSignalQuality(&q);
    } else {
        ++failed;
    }

    // Respiration: its record and raw input stream.
    const std::string rs = folder(dir, "resp");
    const RespConf rsConf = {"resp", rs.c_str(), 1000, nullptr, nullptr, nullptr};
    if (!rs.empty() && newResp(&rsConf) == 0) {
        initResp();
        for (int32_t x : resp) processResp(x);
        delResp();
    } else {
        ++failed;
    }
    return failed;
}

}  // namespace tessivar::cli
