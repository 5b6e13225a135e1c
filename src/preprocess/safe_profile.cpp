// The safety profile of the front end: corrections a monitor maker needs
// where the default behaviour is exact but unsafe to ship (docs/safety.md).
// Everything here runs only while the profile is on; the default path keeps
// its behaviour. The decision points themselves sit where the default
// behaviour is made (filter selection, delays, reports, respiration).
#include <cstring>

#include "common/kt_log.hpp"
#include "common/log_macros.hpp"
#include "heart_rate/hr_calc.hpp"
#include "preprocess/ecg_preprocess.hpp"
#include "preprocess/utils.hpp"
#include "resp/resp.hpp"
#include "tessivar/common.h"
#include "tessivar/lmini.h"

namespace tessivar {
namespace {

constexpr const char *kTag = kPreprocessTag;

// What a channel's display chain is: its records and how the line filter
// is stepped. A change restarts the channel from its current sample.
struct ChainShape {
    const char *names[kChainSlots];
    bool triple;
};

ChainShape shapeOf(const Monitor &m)
{
    ChainShape shape{};
    const EcgPreprocessState &st = m.g_ecgPreprocess;
    if (st.leadBuffs == nullptr || st.leadBufCount < 1) return shape;
    const SingleLeadBuff &r = st.leadBuffs[0];
    for (int k = 0; k < kChainSlots; ++k) shape.names[k] = r.dispFilter[k] != nullptr ? r.dispFilter[k]->name : nullptr;
    shape.triple = tripleStepped(m, r.dispFilter[kLine]);
    return shape;
}

bool sameShape(const ChainShape &a, const ChainShape &b)
{
    for (int k = 0; k < kChainSlots; ++k) {
        if ((a.names[k] == nullptr) != (b.names[k] == nullptr)) return false;
        if (a.names[k] != nullptr && std::strcmp(a.names[k], b.names[k]) != 0) return false;
    }
    return a.triple == b.triple;
}

}  // namespace

void applySafeProfile(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    const ChainShape before = shapeOf(m);
    m.safe.on = m.safe.requested;
    m.safe.stepsSinceBeat = 0;
    respSetSafeMode(m.safe.on);
    TV_LOGW(kTag, "safe mode %d", m.safe.on);
    if (st.leadBuffs == nullptr) return;
    // The current choice again, by name, under the profile now in effect.
    if (st.filterMode == 1) {
        set_mode(m, 0);
        set_mode(m, 1);
    } else {
        _ecgPreprocessSetFilter(m, get_name_by_value(base_array, st.curBase),
                                get_name_by_value(line_array, st.curLine), get_name_by_value(emg_array, st.curEmg));
    }
    _update_all_delay(m);
    // A changed chain starts from the channel's current sample, as after a
    // baseline step, rather than from a state the new chain never had.
    if (!sameShape(before, shapeOf(m)))
        for (int32_t i = 0; i < st.leadBufCount; ++i) {
            SingleLeadBuff &r = st.leadBuffs[i];
            // Only a channel that was running has an output to continue from.
            r.blendArmed = r.initialised == 1 ? 1 : 0;
            r.initialised = 0;
        }
}

void scanSafeKey(Monitor &m)
{
    const char *path = ktLogState().g_log_cfg_file;
    if (path[0] == '\0' || fileExist(path) != 1) return;
    LmIni *ini = newIni();
    if (ini == nullptr) return;
    int32_t value = -1;
    if (ini->_iniInit(ini, path) == 0) {
        const char *text = ini->_iniValue(ini, "", "safe_mode", "");
        if (text != nullptr && _lmstrncasecmp(text, "ON", 3) == 0 && std::strlen(text) == 2) value = 1;
        if (text != nullptr && _lmstrncasecmp(text, "OFF", 4) == 0 && std::strlen(text) == 3) value = 0;
    }
    delIni(&ini);
    // Only a change of the key is a request: the host's setter keeps the
    // last word while the file stays as it is.
    if (value != m.safe.iniValue && value >= 0) m.safe.requested = value;
    m.safe.iniValue = value;
}

void checkStaleHeartRate(Monitor &m)
{
    EcgPreprocessState &st = m.g_ecgPreprocess;
    if (++m.safe.stepsSinceBeat < kStaleHrSteps) return;
    m.safe.stepsSinceBeat = 0;
    // Only a shown rate goes stale: 0 (pause, flat line) and -1 stay.
    if (st.curHeartRate <= 0) return;
    TV_LOGW(kTag, "no valid beat for %d steps: heart rate unknown, learning again", kStaleHrSteps);
    hrForgetRate();
    reportCurHeartRate(m, -1);
    hrEnterLearning();
}

}  // namespace tessivar

using tessivar::monitor;

extern "C" int ecgPreprocessSetSafeMode(int on)
{
    tessivar::Monitor &m = monitor();
    if (on != 0 && on != 1) {
        TV_LOGE(tessivar::kPreprocessTag, "%s", tessivar::kBadInput);
        return -1;
    }
    if (m.started) TV_LOGW(tessivar::kPreprocessTag, ":%d", on);
    m.safe.requested = on;
    return 0;
}

extern "C" int ecgPreprocessGetSafeMode(void) { return monitor().safe.on; }
