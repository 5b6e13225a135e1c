// Beats of the whole front end (method 0 on II, 1000 Hz), driven as a host would, on annotated recordings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "records/beat_compare.hpp"
#include "records/frames.hpp"
#include "records/wfdb.hpp"
#include "tessivar/tessivar.h"

namespace {

namespace rec = tessivar::records;

// Input frames (1000 Hz) through a front end as a host drives it; the input frame of every beat's fiducial point.
std::vector<int64_t> beatFrames(const std::string &wire, const std::string &data, const std::vector<int32_t> &frames)
{
    std::vector<int64_t> beats;
    PreprocessConf c{};
    c.fs = c.lsbMv = 1000;
    c.paceInhib = 1;
    c.paceRemoveMs = 10;
    c.wireType = wire.c_str();
    c.dataType = data.c_str();
    c.hrLead = c.respLead = "II";
    c.printFunc = [](const char *) {};
    EXPECT_EQ(ecgPreprocessInit(&c), 0);
    ecgPreprocessSetBeatEventCallback(
        [](const EcgBeatEvent *e, void *user) { static_cast<std::vector<int64_t> *>(user)->push_back(e->frame); }, &beats);
    ecgPreprocessSetFilter("0.67", "50", "35");
    const int in = getCurInFrame(), block = 50;
    std::vector<int> out(size_t(block * getCurOutFrame()));
    for (int64_t f = 0, count = int64_t(frames.size()) / in; f < count; f += block)
        ecgPreprocessDoPreprocess(int(std::min<int64_t>(block, count - f)), frames.data() + f * in, out.data());
    ecgPreprocessDenit();
    return beats;
}

TEST(HrPipeline, MitdbFirstSixMinutesMatchTheGoldenCounts)
{
    const std::string dir = std::string(TESSIVAR_SHARED_DATA) + "/mitdb/";
    if (!std::ifstream(dir + "100.hea").good()) GTEST_SKIP() << "no recordings in " << TESSIVAR_SHARED_DATA;
    std::ifstream f(std::string(TESSIVAR_TEST_DATA) + "/heart_rate/mitdb_golden.txt");
    int records = 0;
    for (std::string line; std::getline(f, line);) {
        std::istringstream in(line);
        std::string name;
        double seconds = 0, tolerance = 0;
        rec::CompareOptions o;
        rec::BeatCounts want;
        if (line[0] == '#' || !(in >> name >> seconds >> o.learningS >> want.tp >> want.fn >> want.fp >> tolerance)) continue;
        ++records;
        // MLII as lead II; the last frame repeated 2500 times (more than the path holds back).
        const rec::Record record = rec::readRecord(dir + name);
        const rec::FrameLayout layout = rec::chooseLayout(record, {}, "none");
        std::vector<int32_t> frames = rec::buildFrames(record, layout, 1000, 1000, 1000.0, int64_t(seconds * 1000));
        const std::vector<int32_t> last(frames.end() - std::ptrdiff_t(1 + layout.channelLead.size() + (layout.respSignal >= 0)), frames.end());
        for (int k = 0; k < 2500; ++k) frames.insert(frames.end(), last.begin(), last.end());
        o.fs = record.header.fs;
        std::vector<int64_t> found, ref;
        for (int64_t k : beatFrames(layout.wireType, layout.dataType, frames)) found.push_back(std::llround(k * o.fs / 1000));
        std::sort(found.begin(), found.end());
        for (const rec::Annotation &a : rec::readAnnotations(dir + name + ".atr"))
            if (rec::isBeat(a.code) && double(a.time) < seconds * o.fs) ref.push_back(a.time);
        const rec::BeatCounts c = rec::compareBeats(ref, found, o);
        EXPECT_NEAR(100 * c.sensitivity(), 100 * want.sensitivity(), tolerance) << name;
        EXPECT_NEAR(100 * c.positivePredictivity(), 100 * want.positivePredictivity(), tolerance) << name;
        EXPECT_EQ(c.tp + c.fn, want.tp + want.fn) << name;
    }
    EXPECT_GE(records, 6);
}

}  // namespace
