// Signal quality and respiration through their interfaces: the quality
// monitor and a single-lead instance with fuzzed configuration, the
// segment graders on fuzzed arrays, and the respiration channel on fuzzed
// impedance samples with fuzzed heart rates and thresholds. Inputs are cut
// to a thousand frames (3000 samples for one lead) so that each run stays
// short.
#include <tessivar/anal_log.h>
#include <tessivar/resp.h>
#include <tessivar/sig_quality.h>
#include <tessivar/sig_quality_c.h>

#include <vector>

#include "fuzz_input.hpp"

using tessivar::fuzz::Input;

namespace {

int onRate(int) { return 0; }
int onBeat() { return 0; }
int onNoise(int) { return 0; }
int onQuality(void *, const char *) { return 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    tessivar::fuzz::startQuietLog();
    Input in(data, size);
    switch (in.below(3)) {
    case 0: {
        // The monitor: frames of fuzzed status and leads.
        const SignalQualityCallbacks callbacks = {nullptr, onQuality};
        sqInit(&callbacks);
        sqSetNoiseThreshold(in.byte());
        const int32_t leads = int32_t(in.below(20)), wire = int32_t(in.take<int8_t>());
        int32_t frame[19] = {};
        for (int n = 0; n < 1000 && !in.empty(); ++n) {
            frame[0] = int32_t(in.take<uint32_t>() & 0x3ffff);
            for (int l = 1; l < 19; ++l) frame[l] = in.take<int16_t>();
            sqProcess(frame, leads, wire);
        }
        sqDeinit();
        break;
    }
    case 1: {
        // One lead, fuzzed windows and ladders; then the graders.
        SignalQualityConf conf{};
        conf.name = "fuzz";
        conf.fs = in.byte() < 240 ? (in.byte() & 1 ? 1000 : 250) : in.take<int32_t>();
        conf.detectWindowLen = in.byte() < 240 ? int32_t(in.below(3000)) : in.take<int32_t>();
        conf.detectStepLen = in.byte() < 240 ? int32_t(in.below(3000)) : in.take<int32_t>();
        conf.baseIntolerableThre = in.take<int16_t>();
        conf.basePerfectThre = in.take<int16_t>();
        conf.emgIntolerableThre = in.take<int16_t>();
        conf.emgPerfectThre = in.take<int16_t>();
        std::vector<int16_t> x;
        while (!in.empty() && x.size() < 3000) x.push_back(in.take<int16_t>());
        if (SignalQuality *q = newSignalQuality(&conf)) {
            for (int16_t v : x) detectSignalQuality(q, v);
            initSignalQuality(q);
            int32_t segments[16];
            getValidSignal(q, x.data(), int32_t(x.size()), segments, 8, 200);
            isLeadInvalid(q, x.data(), int32_t(x.size()));
            delSignalQuality(&q);
        }
        const int32_t n = int32_t(x.size());
        int32_t segments[16];
        getSegmentQuality(x.data(), n, conf.fs, conf.emgPerfectThre);
        getSegmentQualitySimple(x.data(), n, conf.fs, conf.emgPerfectThre);
        _getValidSignal(x.data(), n, segments, 8, conf.detectWindowLen, conf.baseIntolerableThre);
        _getValidSignalSimple(x.data(), n, segments, 8, conf.detectStepLen, conf.basePerfectThre);
        break;
    }
    default: {
        const RespConf conf = {"resp", nullptr, 1000, onRate, onBeat, onNoise};
        newResp(&conf);
        initResp();
        onPatientType(in.take<int8_t>());
        onRespSuffocationThr(in.take<int32_t>());
        for (int n = 0; n < 1000 && !in.empty(); ++n) {
            if (n % 500 == 0) onHrChangedResp(in.take<int16_t>());
            processResp(in.take<int32_t>());
        }
        delResp();
        break;
    }
    }
    return 0;
}
