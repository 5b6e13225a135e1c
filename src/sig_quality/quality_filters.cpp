// Coefficients of the quality filters, numerator first, index 0 meeting the
// newest sample. The sixth-order 1000 Hz pair is badly conditioned in
// direct form (poles within 0.008 of the unit circle): its low-pass gains
// about 1.03 to 1.05 at DC depending on the arithmetic, which the level
// ladders absorb.
#include "sig_quality/quality_filters.hpp"

#include <iterator>

namespace tessivar {
namespace {

#define COEFFS(num, den) {num, int32_t(std::size(num)), den, int32_t(std::size(den))}

// Full mode, 1000 Hz (and every rate but 125).
constexpr double kLp1000[] = {9.498089386097795e-16, 5.698853631658677e-15, 1.424713407914669e-14,
                              1.899617877219559e-14, 1.424713407914669e-14, 5.698853631658677e-15,
                              9.498089386097795e-16};
constexpr double kLp1000Den[] = {1.0, -5.975723643994615, 14.878912715306342, -19.75841215795478,
                                 14.758996633559054, -5.879789434468503, 0.976015887552561};
constexpr double kHp1000[] = {0.73797091240786,   -4.427825474447159, 11.069563686117899, -14.759418248157196,
                              11.069563686117899, -4.427825474447159, 0.73797091240786};
constexpr double kHp1000Den[] = {1.0, -5.393212484861355, 12.1474251704169, -14.623787566607609,
                                 9.923048570770405, -3.59806353388664, 0.54460106756012};

// Full mode, 125 Hz.
constexpr double kLp125[] = {0.0005875325345458, 0.001175065069092, 0.0005875325345458};
constexpr double kLp125Den[] = {1.0, -1.930276561511, 0.9326266916497};
constexpr double kHp125[] = {0.2472248339845, -0.7416745019536, 0.7416745019536, -0.2472248339845};
constexpr double kHp125Den[] = {1.0, -0.5219321712321, 0.4055987839804, -0.05026771666376};

// Economical mode.
constexpr double kEcoLp1000[] = {9.462729857096e-06, 1.892545971419e-05, 9.462729857096e-06};
constexpr double kEcoLp1000Den[] = {1.0, -1.991280414756, 0.9913182656753};
constexpr double kEcoHp1000[] = {0.8947941291538, -1.789588258308, 0.8947941291538};
constexpr double kEcoHp1000Den[] = {1.0, -1.778489185694, 0.8006873309213};

constexpr double kEcoLp125[] = {0.0005875325345458, 0.001175065069092, 0.0005875325345458};
constexpr double kEcoLp125Den[] = {1.0, -1.930276561511, 0.9326266916497};
constexpr double kEcoHp125[] = {0.3692003318839, -0.7384006637679, 0.3692003318839};
constexpr double kEcoHp125Den[] = {1.0, -0.2902921273756, 0.1865092001601};

constexpr double kEcoLp128[] = {0.0005820761342360468, 0.001164152268472, 0.0005820761342360468};
constexpr double kEcoLp128Den[] = {1.0, -1.930606427219668, 0.932934731756612};
constexpr double kEcoHp128[] = {0.401282317830725, -0.80256463566145, 0.401282317830725};
constexpr double kEcoHp128Den[] = {1.0, -0.404484904660942, 0.200644366661958};

constexpr double kEcoLp250[] = {0.0001551484234756995, 0.000310296846951399, 0.0001551484234756995};
constexpr double kEcoLp250Den[] = {1.0, -1.964460580205232, 0.965081173899135};
constexpr double kEcoHp250[] = {0.638945525159023, -1.277891050318045, 0.638945525159023};
constexpr double kEcoHp250Den[] = {1.0, -1.142980502539901, 0.412801598096189};

constexpr double kEcoLp256[] = {0.0001480219865318225, 0.0002960439730636449, 0.0001480219865318225};
constexpr double kEcoLp256Den[] = {1.0, -1.96529337262269, 0.965885460568818};
constexpr double kEcoHp256[] = {0.645835425825293, -1.291670851650586, 0.645835425825293};
constexpr double kEcoHp256Den[] = {1.0, -1.162037077179318, 0.421304626121855};

constexpr double kEcoLp500[] = {3.91302053991441e-05, 7.826041079828821e-05, 3.91302053991441e-05};
constexpr double kEcoLp500Den[] = {1.0, -1.982228929792529, 0.982385450614126};
constexpr double kEcoHp500[] = {0.80059240346457, -1.601184806929141, 0.80059240346457};
constexpr double kEcoHp500Den[] = {1.0, -1.561018075800718, 0.641351538057563};

constexpr double kEcoLp512[] = {3.732519892929904e-05, 7.465039785859809e-05, 3.732519892929904e-05};
constexpr double kEcoLp512Den[] = {1.0, -1.982645418504117, 0.982794719299834};
constexpr double kEcoHp512[] = {0.804789793763112, -1.609579587526225, 0.804789793763112};
constexpr double kEcoHp512Den[] = {1.0, -1.571102440190402, 0.648056734862049};

constexpr double kEcoLp1024[] = {9.371697475265412e-06, 1.874339495053082e-05, 9.371697475265412e-06};
constexpr double kEcoLp1024Den[] = {1.0, -1.991322548359169, 0.991360035149071};
constexpr double kEcoHp1024[] = {0.897192575745157, -1.794385151490314, 0.897192575745157};
constexpr double kEcoHp1024Den[] = {1.0, -1.78378770855923, 0.804982594421399};

const QualityFilterSet kFull1000 = {1000, COEFFS(kLp1000, kLp1000Den), COEFFS(kHp1000, kHp1000Den), 700, 40};
const QualityFilterSet kFull125 = {125, COEFFS(kLp125, kLp125Den), COEFFS(kHp125, kHp125Den), 30, 1};

const QualityFilterSet kEconomical[] = {
    {125, COEFFS(kEcoLp125, kEcoLp125Den), COEFFS(kEcoHp125, kEcoHp125Den), 34, 1},
    {128, COEFFS(kEcoLp128, kEcoLp128Den), COEFFS(kEcoHp128, kEcoHp128Den), 35, 1},
    {250, COEFFS(kEcoLp250, kEcoLp250Den), COEFFS(kEcoHp250, kEcoHp250Den), 65, 2},
    {256, COEFFS(kEcoLp256, kEcoLp256Den), COEFFS(kEcoHp256, kEcoHp256Den), 67, 2},
    {500, COEFFS(kEcoLp500, kEcoLp500Den), COEFFS(kEcoHp500, kEcoHp500Den), 121, 4},
    {512, COEFFS(kEcoLp512, kEcoLp512Den), COEFFS(kEcoHp512, kEcoHp512Den), 125, 4},
    {1024, COEFFS(kEcoLp1024, kEcoLp1024Den), COEFFS(kEcoHp1024, kEcoHp1024Den), 230, 5},
};
const QualityFilterSet kEconomical1000 = {1000, COEFFS(kEcoLp1000, kEcoLp1000Den),
                                          COEFFS(kEcoHp1000, kEcoHp1000Den), 250, 5};

#undef COEFFS

}  // namespace

const QualityFilterSet &fullQualityFilters(int32_t fs) { return fs == 125 ? kFull125 : kFull1000; }

const QualityFilterSet &economicalQualityFilters(int32_t fs)
{
    for (const QualityFilterSet &set : kEconomical)
        if (set.fs == fs) return set;
    return kEconomical1000;
}

}  // namespace tessivar
