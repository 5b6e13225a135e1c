// Display filter selection of the front end.
//
// The host names a base (high-pass), line (mains) and emg (low-pass) choice;
// the selection maps the three values to coefficient records of the 1000 Hz
// or 2000 Hz catalogue and installs them in every lead record. The catalogues
// and the mapping (set_filter, set_filter2000) come with the coefficient
// tables; until then no display filter is installed and no choice is
// reported, while the rest of the machinery (re-applying the choice after a
// rebuild, the extra 0.01 Hz high-pass in front of integer-kind filters, the
// delay update, the cry mode, the 60 Hz comb stepping) is in place.
#include "common/log_macros.hpp"
#include "preprocess/ecg_preprocess.hpp"
#include "preprocess/utils.hpp"

namespace tessivar {
namespace {

constexpr const char *kTag = kPreprocessTag;

// Extra 0.01 Hz high-pass: a moving-average high-pass of about 24 s.
const AvgFilterConf kExtraHighPass1000 = {SIGNAL_FILTER_AVG, "hpass 0.01", nullptr, 24025};
const AvgFilterConf kExtraHighPass2000 = {SIGNAL_FILTER_AVG, "hp 0.01", nullptr, 48050};

// The 60 Hz comb at 1000 Hz is stepped three times per sample with the same
// input; the mean of the three outputs is the sample.
double do_60_comb_filt(SignalFilter *filter, double x)
{
    const double a = doSignalFilter(filter, x);
    const double b = doSignalFilter(filter, x);
    const double c = doSignalFilter(filter, x);
    return (a + b + c) / 3.0;
}

}  // namespace

int _ecgPreprocessSetFilter(Monitor &m, const char *base, const char *line, const char *emg)
{
    // A missing name gives -1, which the selection treats like any value it
    // does not know: the slot keeps its filter.
    const int32_t b = get_value_by_name(base_array, base);
    const int32_t l = get_value_by_name(line_array, line);
    const int32_t e = get_value_by_name(emg_array, emg);
    if (m.g_ecgPreprocess.fs == 2000)
        set_filter2000(m, b, l, e);
    else
        set_filter(m, b, l, e);
    updateExtra001Filter(m);
    _update_all_delay(m);
    return 0;
}

// The 1000 Hz catalogue comes with the coefficient tables: nothing is
// installed yet.
int set_filter(Monitor &m, int32_t base, int32_t line, int32_t emg)
{
    (void)m;
    TV_LOGT(kTag, ":%d-%d-%d", base, line, emg);
    return 0;
}

// The 2000 Hz catalogue comes with the coefficient tables: nothing is
// installed yet.
int set_filter2000(Monitor &m, int32_t base, int32_t line, int32_t emg)
{
    (void)m;
    TV_LOGT(kTag, ":%d-%d-%d", base, line, emg);
    return 0;
}

int set_mode(Monitor &m, int32_t mode)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    TV_LOGT(kTag, ":%d", mode);
    // Both directions use the 1000 Hz catalogue, whatever the rate.
    if (mode == 1) {
        st.savedBase = st.curBase;
        st.savedLine = st.curLine;
        st.savedEmg = st.curEmg;
        set_filter(m, 2222, 2222, 2222);
    } else {
        set_filter(m, st.savedBase, st.savedLine, st.savedEmg);
    }
    return 0;
}

int updateExtra001Filter(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    bool integerKind = false;
    if (st.leadBuffs != nullptr && st.leadBufCount > 0)
        for (SignalFilter *f : st.leadBuffs[0].dispFilter)
            integerKind = integerKind || (f != nullptr && f->type == SIGNAL_FILTER_INTEGER);

    const auto *record = reinterpret_cast<const SignalFilterConf *>(st.fs == 2000 ? &kExtraHighPass2000
                                                                                   : &kExtraHighPass1000);
    for (int32_t i = 0; st.leadBuffs != nullptr && i < st.leadBufCount; ++i) {
        SignalFilter *&extra = st.leadBuffs[i].extraFilter;
        if (!integerKind) {
            if (extra != nullptr) delSignalFilter(&extra);
            continue;
        }
        if (extra == nullptr)
            extra = newSignalFilter(record);
        else
            initSignalFilter(extra);
        if (extra != nullptr) setSignalFilterDelay(extra, 0);
    }
    if (integerKind)
        TV_LOGT(kTag, "extra 0.01 Hz hp filter add");
    else
        TV_LOGT(kTag, "extra 0.01 Hz hp filter delete");
    st.extraDelay = 0;
    return 0;
}

// The analysis chain's mains comb ("trap_50") comes with the coefficient
// tables; until then the analysis chain has no filter.
const SignalFilterConf *analysisLineFilterConf() { return nullptr; }

double doLineFilter(const Monitor &m, SignalFilter *filter, double x)
{
    if (filter == nullptr) return x;
    if (m.g_ecgPreprocess.curLine == 60 && m.g_ecgPreprocess.fs == 1000) return do_60_comb_filt(filter, x);
    return doSignalFilter(filter, x);
}

double doAllFilter(const Monitor &m, SignalFilter *const chain[kChainSlots], double x)
{
    if (chain[kBase] != nullptr) x = doSignalFilter(chain[kBase], x);
    x = doLineFilter(m, chain[kLine], x);
    if (chain[kEmg] != nullptr) x = doSignalFilter(chain[kEmg], x);
    return x;
}

}  // namespace tessivar
