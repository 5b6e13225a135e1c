// Patient simulator: a synthetic multi-lead ECG with a thoracic-impedance
// respiration channel and the acquisition status word, written as a WFDB
// record with a ground-truth beat annotation list.
//
// The heart is a moving dipole: each wave (P, septal Q, R, S, T) is a
// Gaussian pulse in time carrying a fixed 3-D dipole (x to the patient's
// left, y inferior, z anterior); a lead sees the dot product of the dipole
// with its lead vector. Limb leads I and II and chest leads V1..V6 are
// recorded (the library derives III, aVR, aVL and aVF). RR intervals follow
// the heart rate with respiratory sinus arrhythmia and random variability;
// the T wave moves with the RR interval. Deterministic for a given seed.
#pragma once

#include <cstdint>
#include <vector>

#include "records/wfdb.hpp"

namespace tessivar::records {

// Status word bits of the acquisition.
inline constexpr int32_t kPaceBit = 0x4000;

struct SimOptions {
    int fs = 1000;                // 1000 or 2000
    double seconds = 120.0;
    uint32_t seed = 1;
    double heartRate = 72.0;      // beats per minute
    double variability = 0.03;    // RR standard deviation as a fraction of RR
    double respRate = 15.0;       // breaths per minute
    bool pace = false;            // ventricular pacing spikes with the pace bit
    bool baselineWander = false;  // 0.3 Hz, 500 uV
    double muscleNoiseUv = 0.0;   // RMS of 20..150 Hz noise
    double mainsUv = 0.0;         // amplitude of mains interference
    double mainsHz = 50.0;
    bool leadOff = false;         // a V2 episode and a left-arm episode
};

struct Simulation {
    // Signals I, II, V1..V6 (1 adu = 1 uV), RESP (1 adu = 1 milliohm),
    // STATUS (low 16 bits of the status word) and STATUS_HI (high bits).
    Record record;
    std::vector<Annotation> beats;  // R-peak times; code 1 (N) or 12 (paced)
};

Simulation simulate(const SimOptions &options);

// The status word of frame t of a simulated (or simulated-format) record,
// or 0 when the record has no STATUS signal.
int32_t statusWord(const Record &record, size_t t);

}  // namespace tessivar::records
