// Turning a recording into the front end's input frames: signals mapped to
// leads by their descriptions, the wiring and frame format that carry them,
// resampling to the run rate, and the status word.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "records/wfdb.hpp"

namespace tessivar::records {

// Lead ids as the front end numbers them: I, II, III, aVR, aVL, aVF, V1..V9,
// V3R, V4R, V5R.
extern const std::array<const char *, 18> kLeadNames;

// Lead id of a lead name ("I", "V4R", ...), or -1.
int leadId(const std::string &name);

// Lead id a signal description stands for ("MLII" and "II" give II, "V5"
// gives V5, ...), or -1 for descriptions that are not input leads (derived
// leads, PPG, respiration, ...).
int leadOfDescription(const std::string &description);

struct FrameLayout {
    std::string wireType;         // "1", "3", "5", "12", "15", "18"
    std::string dataType;         // "SL", "SLR", "SLT", "SLRT"
    std::vector<int> channelLead; // lead id of each input channel, in frame order
    std::map<int, int> signalOf;  // lead id -> record signal index (mapped leads only)
    int respSignal = -1;          // record signal of the respiration channel, or -1
    int32_t missingBits = 0;      // lead-off bits of the channels without a signal
};

// True when the record carries lead id: an input lead mapped to a signal,
// or a limb lead derived from I and II when both are.
bool carriesLead(const FrameLayout &layout, int id);
// The leads the record carries, e.g. "V2, V5".
std::string carriedLeads(const FrameLayout &layout);

// Chooses the layout for a record. overrides: lead name -> signal description
// (replaces the automatic mapping for that lead); respDescription: the
// respiration signal ("" = the signal described "RESP", if any; "none" = no
// respiration). Throws RecordError for unknown lead names, unknown signals
// and records without any ECG lead.
FrameLayout chooseLayout(const Record &record, const std::map<std::string, std::string> &overrides,
                         const std::string &respDescription);

// The input frames at rate fs: per frame the status word, one sample per
// channel in counts of 1/lsbMv mV, then the respiration sample when the
// layout carries one: its physical value times respScale (the respiration
// channel's limits are set for milliohms of a swing of about an ohm, so
// 1000 suits impedance in ohms and normalised traces alike). Signals are
// resampled with soxr; the status word of an output frame is the OR of the
// record frames it covers.
std::vector<int32_t> buildFrames(const Record &record, const FrameLayout &layout, int fs, int lsbMv,
                                 double respScale, int64_t maxFrames);

}  // namespace tessivar::records
