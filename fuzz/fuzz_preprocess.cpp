// The front end as a hostile host drives it: a fuzzed configuration, then a
// fuzzed sequence of setters and frame blocks. Every block is sized exactly
// from getCurInFrame / getCurOutFrame, so a frame loop that reads or writes
// one word too many is caught by AddressSanitizer.
#include <tessivar/tessivar.h>

#include <vector>

#include "fuzz_input.hpp"

using tessivar::fuzz::Input;

namespace {

const char *const kWires[] = {"1", "3", "5", "12", "15", "18"};
const char *const kFormats[] = {"SLR", "SL", "SLT", "SLRT"};
const char *const kLeads[] = {"I",  "II", "III", "aVR", "aVL", "aVF", "V1",  "V2",  "V3",  "V4",
                              "V5", "V6", "V7",  "V8",  "V9",  "V3R", "V4R", "V5R", "auto"};
const char *const kBase[] = {"null", "off", "auto", "cry", "0.01", "0.05", "0.3", "0.32", "0.5", "0.6", "0.67", "1"};
const char *const kLine[] = {"null", "off", "auto", "cry", "50", "50+0.3", "50+0.6", "60", "60+0.3", "60+0.6"};
const char *const kEmg[] = {"null", "off", "auto", "cry",  "20",  "25",  "35",  "40",  "42",
                            "45",   "75",  "100",  "150", "250", "270", "350", "380", "600"};
const char *const kModes[] = {"normal", "cry", "adult", "child", "newborn"};

int fuzzedRate(Input &in)
{
    const uint8_t k = in.byte();
    if (k < 200) return k % 2 ? 2000 : 1000;
    return in.take<int32_t>();
}

void runBlock(Input &in)
{
    const int inWords = getCurInFrame(), outWords = getCurOutFrame();
    const int frames = int(in.below(100));
    if (inWords < 1 || outWords < 1) {
        ecgPreprocessDoPreprocess(frames, nullptr, nullptr);
        return;
    }
    // Exactly the words the sizes promise, no slack.
    std::vector<int> input(size_t(frames) * size_t(inWords)), output(size_t(frames) * size_t(outWords));
    const int base = in.take<int16_t>();
    const int style = in.byte();
    for (size_t w = 0; w < input.size(); ++w) {
        if (w % size_t(inWords) == 0) {
            input[w] = (style & 1) ? int(in.take<uint32_t>() & 0x7ffff) : 0;  // status: lead-off and pace bits
        } else if (style & 2) {
            input[w] = in.take<int32_t>();  // anything, saturated samples included
        } else {
            input[w] = base + int(in.take<int8_t>()) * 16;
        }
    }
    ecgPreprocessDoPreprocess(frames, frames ? input.data() : nullptr, frames ? output.data() : nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    // Calls before a successful Init (or after a refused one) log too: into
    // the quiet hook, not standard output.
    const LogConf quiet = {nullptr, nullptr, LOG_LEVEL_ERROR, tessivar::fuzz::quietLog};
    newLog(&quiet);
    const std::string wire = in.pick(kWires), format = in.pick(kFormats), hr = in.pick(kLeads),
                      resp = in.pick(kLeads);
    PreprocessConf conf{};
    conf.fs = fuzzedRate(in);
    conf.lsbMv = in.byte() < 240 ? 1000 : in.take<int32_t>();
    conf.paceFilter = in.byte() & 1;
    conf.paceInhib = in.byte() & 1;
    conf.paceRemoveMs = in.take<int8_t>();
    conf.wireType = wire.c_str();
    conf.dataType = format.c_str();
    conf.hrLead = hr.c_str();
    conf.respLead = resp.c_str();
    conf.printFunc = tessivar::fuzz::quietLog;
    conf.qrsMethod = in.byte() % 5;
    ecgPreprocessInit(&conf);

    for (int step = 0; step < 32 && !in.empty(); ++step) {
        switch (in.below(14)) {
        case 0:
            ecgPreprocessSetWireType(in.pick(kWires).c_str());
            break;
        case 1: {
            const std::string f = in.pick(kFormats);
            const int fs = fuzzedRate(in);
            ecgPreprocessSetDataType(f.c_str(), fs, in.byte() < 240 ? 1000 : in.take<int32_t>());
            break;
        }
        case 2: {
            std::vector<std::string> names;
            for (uint32_t n = in.below(20); n > 0; --n) names.push_back(in.pick(kLeads));
            std::vector<const char *> leads;
            for (const std::string &n : names) leads.push_back(n.c_str());
            ecgPreprocessSetWireTypeNew(leads.empty() ? nullptr : leads.data(), int(leads.size()));
            break;
        }
        case 3: {
            const std::string b = in.pick(kBase), l = in.pick(kLine), e = in.pick(kEmg);
            ecgPreprocessSetFilter(b.c_str(), l.c_str(), e.c_str());
            break;
        }
        case 4:
            ecgPreprocessSetFilterMode(in.pick(kModes).c_str());
            ecgPreprocessSetQrsMode(in.pick(kModes).c_str());
            break;
        case 5:
            ecgPreprocessSetHrLead(in.pick(kLeads).c_str());
            ecgPreprocessSetRespLead(in.pick(kLeads).c_str());
            break;
        case 6:
            ecgPreprocessSetPaceFilter(in.byte() & 1);
            ecgPreprocessSetPaceInhib(in.byte() & 1);
            break;
        case 7:
            ecgPreprocessSetPaceRemoveMs(in.take<int32_t>());
            break;
        case 8:
            ecgPreprocessSetFuzzFilter(in.byte() & 1);
            break;
        case 9:
            ecgPreprocessSetNoiseThreshold(in.take<int8_t>());
            ecgPreprocessSetRespSuffocationThr(in.take<int32_t>());
            break;
        case 10:
            setSubUv(in.take<int32_t>());
            setMinAdultQRSThr(in.take<int32_t>(), in.take<int32_t>());
            break;
        case 11:
            ecgPreprocessSetConf(&conf);
            break;
        case 12: {
            char b[8], l[8], e[8];
            getCurFilterSetting(b, l, e);
            getCurHrLead();
            getCurHeartRate();
            getCurRespRate();
            getCurQuality();
            getCurStatu("hrlearning");
            getCurTotalDelay();
            ecgPreprocessResetHr();
            break;
        }
        default:
            runBlock(in);
            break;
        }
    }
    ecgPreprocessDenit();
    delLog();
    return 0;
}
