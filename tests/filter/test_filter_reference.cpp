// FIR, IIR and integer-kind filters against scipy.signal.lfilter
// (tools/gen_filter_reference.py): the per-sample output of a freshly
// created filter (primed by its first sample) and the whole-array output
// with the lag removed, to 1e-9 relative.
#include <gtest/gtest.h>

#include "filter/filter_test_util.hpp"

namespace tessivar::test {
namespace {

constexpr double kTolerance = 1e-9;

FilterPtr buildFilter(const ReferenceCase &c)
{
    if (c.kind == "fir") {
        FirFilterConf conf = firConf(c.num, c.gain);
        return makeFilter(&conf);
    }
    if (c.kind == "iir") {
        IirCombFilterConf conf = iirConf(c.num, c.den, c.gain, c.delay);
        return makeFilter(&conf);
    }
    IntegerFilterConf conf = integerConf(c.numTaps, c.numLen, c.denTaps, c.denLen, c.gain);
    return makeFilter(&conf);
}

class FilterReference : public ::testing::TestWithParam<const char *> {};

TEST_P(FilterReference, PerSampleAndWholeArrayMatchLfilter)
{
    const ReferenceCase c = readReference(GetParam());
    ASSERT_FALSE(c.input.empty());
    FilterPtr f = buildFilter(c);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(getSignalFilterDelay(f.get()), c.delay);

    EXPECT_TRUE(nearRelative(feed(f.get(), c.input), c.perSample, kTolerance));

    std::vector<double> out(c.input.size());
    EXPECT_EQ(doSignalFilterNotRealTime(f.get(), c.input.data(), out.data(), static_cast<int32_t>(out.size())), 0);
    EXPECT_TRUE(nearRelative(out, c.wholeArray, kTolerance));
}

INSTANTIATE_TEST_SUITE_P(Records, FilterReference,
                         ::testing::Values("fir_23", "fir_8_gain", "fir_113", "iir_notch", "iir_butter3",
                                           "iir_zero_sum_hp", "integer_hp16", "integer_xpa10"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

}  // namespace
}  // namespace tessivar::test
