// Vocabularies of the front end: every text setting is looked up in a table
// of (name, value) pairs ended by a pair with a null name and the value -1.
// Lookups compare texts exactly (case matters) and return the first match,
// so a value shared by several names reads back as the first of them.
#pragma once

#include <cstdint>

namespace tessivar {

struct NameValue {
    const char *name;
    int32_t value;
};

extern const NameValue valid_lead_num_array[];  // wire type -> input ECG channels
extern const NameValue g_ecgDataFormat[];       // data format -> flag bits
extern const NameValue g_ecgHrLead[];           // heart-rate lead -> lead id (18 "auto")
extern const NameValue g_ecgOutLead[];          // lead name -> lead id
extern const NameValue g_respLead[];            // respiration lead -> lead id
extern const NameValue g_qrsMode[];             // patient class -> detector mode
extern const NameValue g_filterMode[];          // "normal" 0, "cry" 1
extern const NameValue base_array[];            // high-pass choice
extern const NameValue line_array[];            // mains filter choice
extern const NameValue emg_array[];             // low-pass choice

// Value of the first pair named name; -1 when absent or name is null.
int32_t get_value_by_name(const NameValue *table, const char *name);

// Name of the first pair with value; null when absent.
const char *get_name_by_value(const NameValue *table, int32_t value);

// The same, but "null" when absent.
const char *get_name_by_value_no_null(const NameValue *table, int32_t value);

}  // namespace tessivar
