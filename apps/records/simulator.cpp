#include "records/simulator.hpp"

#include <algorithm>
#include <cmath>
#include <random>

namespace tessivar::records {
namespace {

struct Vec3 {
    double x, y, z;
};
double dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// One wave of the beat: centre relative to the R peak (seconds; the T wave's
// is scaled by sqrt(RR)), width (seconds) and dipole (mV).
struct Wave {
    double centre, width;
    Vec3 dipole;
    bool scalesWithRr;
};

const Wave kWaves[] = {
    {-0.170, 0.022, {0.08, 0.12, 0.02}, false},   // P
    {-0.028, 0.009, {-0.15, 0.05, 0.30}, false},  // septal activation (q in I, r in V1)
    {0.000, 0.011, {1.00, 0.90, -0.35}, false},   // R
    {0.030, 0.011, {-0.25, -0.30, -0.30}, false}, // S
    {0.280, 0.055, {0.25, 0.30, 0.10}, true},     // T
};

struct Lead {
    const char *name;
    Vec3 vector;
};
const Lead kLeads[] = {
    {"I", {1.0, 0.0, 0.0}},       {"II", {0.5, 0.866, 0.0}},   {"V1", {-0.2, 0.0, 1.0}},
    {"V2", {0.0, 0.0, 1.0}},      {"V3", {0.4, 0.0, 0.9}},     {"V4", {0.7, 0.1, 0.7}},
    {"V5", {0.9, 0.1, 0.4}},      {"V6", {1.0, 0.1, 0.0}},
};
constexpr int kEcgLeads = int(sizeof kLeads / sizeof kLeads[0]);

// Status bits of the lead-off episodes: V2 (chest electrode 2) and the
// left-arm electrode (bit 0, in the masks of I, III and the augmented
// leads: the front end zeroes the derived leads while it is off).
constexpr int32_t kV2Off = 0x8;
constexpr int32_t kLeftArmOff = 0x1;

SignalInfo signal(const char *description, double gain, const char *units)
{
    SignalInfo s;
    s.gain = gain;
    s.units = units;
    s.description = description;
    return s;
}

}  // namespace

Simulation simulate(const SimOptions &o)
{
    const double fs = o.fs;
    const size_t n = size_t(std::max(0.0, o.seconds) * fs);
    std::mt19937 rng(o.seed);
    std::normal_distribution<double> normal(0.0, 1.0);

    // Beat times: RR = 60/HR modulated by breathing (RSA) plus random.
    const double rr0 = 60.0 / std::clamp(o.heartRate, 20.0, 300.0);
    const double fResp = o.respRate / 60.0;
    std::vector<double> rTimes;
    for (double t = 0.4; t < o.seconds - 0.3;) {
        rTimes.push_back(t);
        const double rr = rr0 * (1.0 + 0.04 * std::sin(2 * M_PI * fResp * t) + o.variability * normal(rng));
        t += std::max(rr, 0.2);
    }

    Simulation sim;
    Record &r = sim.record;
    r.header.name = "sim";
    r.header.fs = fs;
    for (const Lead &lead : kLeads) r.header.signals.push_back(signal(lead.name, 1000.0, "mV"));
    r.header.signals.push_back(signal("RESP", 1000.0, "Ohm"));
    r.header.signals.push_back(signal("STATUS", 1.0, "bits"));
    r.header.signals.push_back(signal("STATUS_HI", 1.0, "bits"));
    r.samples.assign(r.header.signals.size(), std::vector<int32_t>(n, 0));

    std::vector<double> ecg(n);
    std::vector<int32_t> status(n, 0);
    // Interference common to all leads in its source, different per lead in
    // its amplitude: baseline wander, muscle noise, mains.
    std::vector<double> muscle(n, 0.0);
    if (o.muscleNoiseUv > 0) {
        // White noise through a one-pole 20 Hz high-pass and 150 Hz low-pass.
        const double ah = std::exp(-2 * M_PI * 20.0 / fs), al = std::exp(-2 * M_PI * 150.0 / fs);
        double hp = 0, lp = 0, prev = 0, sumsq = 0;
        for (size_t t = 0; t < n; ++t) {
            const double w = normal(rng);
            hp = ah * (hp + w - prev);
            prev = w;
            lp = al * lp + (1 - al) * hp;
            muscle[t] = lp;
            sumsq += lp * lp;
        }
        const double scale = n ? o.muscleNoiseUv / std::sqrt(sumsq / double(n)) : 0.0;
        for (double &m : muscle) m *= scale;
    }

    for (int l = 0; l < kEcgLeads; ++l) {
        std::fill(ecg.begin(), ecg.end(), 0.0);
        for (size_t b = 0; b < rTimes.size(); ++b) {
            const double rr = b + 1 < rTimes.size() ? rTimes[b + 1] - rTimes[b] : rr0;
            for (const Wave &w : kWaves) {
                const double centre = rTimes[b] + w.centre * (w.scalesWithRr ? std::sqrt(rr) : 1.0);
                const double amp = 1000.0 * dot(w.dipole, kLeads[l].vector);  // uV
                const long lo = std::max(0L, long((centre - 4 * w.width) * fs));
                const long hi = std::min(long(n) - 1, long((centre + 4 * w.width) * fs));
                for (long t = lo; t <= hi; ++t) {
                    const double u = (t / fs - centre) / w.width;
                    ecg[size_t(t)] += amp * std::exp(-0.5 * u * u);
                }
            }
            if (o.pace) {
                // A 2 ms, 4 mV spike 40 ms before the R peak, marked in the status.
                const long start = long((rTimes[b] - 0.040) * fs);
                for (long t = start; t < start + long(0.002 * fs) && t < long(n); ++t) {
                    if (t < 0) continue;
                    ecg[size_t(t)] += 4000.0;
                    status[size_t(t)] |= kPaceBit;
                }
            }
        }
        const double leadGain = 0.6 + 0.1 * l;  // interference differs by lead
        for (size_t t = 0; t < n; ++t) {
            double v = ecg[t];
            const double ts = t / fs;
            if (o.baselineWander) v += leadGain * 500.0 * std::sin(2 * M_PI * 0.3 * ts + l);
            v += leadGain * muscle[t];
            if (o.mainsUv > 0) v += o.mainsUv * std::sin(2 * M_PI * o.mainsHz * ts);
            r.samples[size_t(l)][t] = int32_t(std::lround(std::clamp(v, -32768.0, 32767.0)));
        }
    }

    // Respiration: impedance swing of 0.5 ohm at the breathing rate, with a
    // small cardiac artefact at every beat.
    std::vector<int32_t> &resp = r.samples[size_t(kEcgLeads)];
    for (size_t t = 0; t < n; ++t) resp[t] = int32_t(std::lround(250.0 * std::sin(2 * M_PI * fResp * (t / fs))));
    for (double rt : rTimes) {
        for (long t = long((rt + 0.1) * fs); t < long((rt + 0.3) * fs) && t < long(n); ++t) {
            const double u = (t / fs - rt - 0.2) / 0.04;
            resp[size_t(t)] += int32_t(std::lround(20.0 * std::exp(-0.5 * u * u)));
        }
    }

    if (o.leadOff) {
        auto episode = [&](double from, double seconds, int32_t bits, std::initializer_list<int> leads) {
            const size_t a = size_t(from * double(n)), b = std::min(n, a + size_t(seconds * fs));
            for (size_t t = a; t < b; ++t) {
                status[t] |= bits;
                for (int l : leads) r.samples[size_t(l)][t] = 0;
            }
        };
        episode(0.3, 5.0, kV2Off, {3});
        episode(0.6, 3.0, kLeftArmOff, {0});
    }
    for (size_t t = 0; t < n; ++t) {
        r.samples[size_t(kEcgLeads) + 1][t] = int16_t(uint16_t(status[t] & 0xffff));
        r.samples[size_t(kEcgLeads) + 2][t] = int16_t(uint16_t((status[t] >> 16) & 0xffff));
    }

    for (double rt : rTimes) {
        Annotation a;
        a.time = int64_t(std::lround(rt * fs));
        a.code = o.pace ? 12 : 1;
        if (a.time < int64_t(n)) sim.beats.push_back(a);
    }
    return sim;
}

int32_t statusWord(const Record &record, size_t t)
{
    const int lo = record.find("STATUS"), hi = record.find("STATUS_HI");
    if (lo < 0) return 0;
    const uint32_t low = uint16_t(int16_t(record.samples[size_t(lo)][t]));
    const uint32_t high = hi < 0 ? 0 : uint16_t(int16_t(record.samples[size_t(hi)][t]));
    return int32_t(low | (high << 16));
}

}  // namespace tessivar::records
