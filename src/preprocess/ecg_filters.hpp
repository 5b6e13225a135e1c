// The display filter catalogues of the front end, for the selection and its
// tests. The selection itself (set_filter, set_filter2000, set_mode, ...) is
// declared with the rest of the front end in ecg_preprocess.hpp.
#pragma once

#include <cstdint>

#include "tessivar/signal_filter.h"

namespace tessivar {

// The two coefficient catalogues: one for 2000 Hz, one for every other rate.
enum FilterCatalogue { kCatalogue1000 = 0, kCatalogue2000 = 1 };

// The record a catalogue holds for a chain slot (kBase, kLine, kEmg) and a
// selection value, or null when it holds none (0, "auto", "cry" at 2000 Hz,
// emg 600 at 1000 Hz, any unknown value or slot).
const SignalFilterConf *catalogueRecord(int catalogue, int slot, int32_t value);

// The extra 0.01 Hz high-pass run in front of integer-kind display filters:
// "hp 0.01" at 2000 Hz, "hpass 0.01" at every other rate.
const SignalFilterConf *extraHighPassConf(int32_t fs);

}  // namespace tessivar
