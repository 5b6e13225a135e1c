#include "preprocess/utils.hpp"

#include <cstring>

namespace tessivar {

const NameValue valid_lead_num_array[] = {
    {"1", 1}, {"3", 2}, {"5", 3}, {"12", 8}, {"15", 11}, {"18", 14}, {nullptr, -1},
};

// Flag bits: 1 status word, 2 lead samples, 4 respiration sample, 8 lead III
// is an input.
const NameValue g_ecgDataFormat[] = {
    {"SLR", 7}, {"SL", 3}, {"SLT", 11}, {"SLRT", 15}, {nullptr, -1},
};

const NameValue g_ecgHrLead[] = {
    {"I", 0},   {"II", 1},  {"III", 2}, {"aVR", 3}, {"aVL", 4},  {"aVF", 5},  {"V1", 6},
    {"V2", 7},  {"V3", 8},  {"V4", 9},  {"V5", 10}, {"V6", 11},  {"V7", 12},  {"V8", 13},
    {"V9", 14}, {"V3R", 15}, {"V4R", 16}, {"V5R", 17}, {"auto", 18}, {nullptr, -1},
};

const NameValue g_ecgOutLead[] = {
    {"I", 0},   {"II", 1},  {"III", 2}, {"aVR", 3}, {"aVL", 4},  {"aVF", 5},  {"V1", 6},
    {"V2", 7},  {"V3", 8},  {"V4", 9},  {"V5", 10}, {"V6", 11},  {"V7", 12},  {"V8", 13},
    {"V9", 14}, {"V3R", 15}, {"V4R", 16}, {"V5R", 17}, {nullptr, -1},
};

const NameValue g_respLead[] = {{"I", 0}, {"II", 1}, {nullptr, -1}};

const NameValue g_qrsMode[] = {{"adult", 0}, {"child", 1}, {"newborn", 1}, {nullptr, -1}};

const NameValue g_filterMode[] = {{"normal", 0}, {"cry", 1}, {nullptr, -1}};

const NameValue base_array[] = {
    {"null", 0}, {"off", 0},   {"auto", 1111}, {"cry", 2222}, {"0.01", 10}, {"0.05", 50}, {"0.3", 300},
    {"0.32", 320}, {"0.5", 500}, {"0.6", 600},  {"0.67", 1000}, {"1", 1000}, {nullptr, -1},
};

const NameValue line_array[] = {
    {"null", 0}, {"off", 0},     {"auto", 1111}, {"cry", 2222},   {"50", 50}, {"50+0.3", 51},
    {"50+0.6", 52}, {"60", 60}, {"60+0.3", 61}, {"60+0.6", 62}, {nullptr, -1},
};

const NameValue emg_array[] = {
    {"null", 0}, {"off", 0},  {"auto", 1111}, {"cry", 2222}, {"20", 20},   {"25", 25},   {"35", 35},
    {"40", 40},  {"42", 40},  {"45", 45},     {"75", 75},    {"100", 100}, {"150", 150}, {"250", 250},
    {"270", 270}, {"350", 350}, {"380", 380}, {"600", 600},  {nullptr, -1},
};

int32_t get_value_by_name(const NameValue *table, const char *name)
{
    if (table == nullptr || name == nullptr) return -1;
    for (const NameValue *p = table; p->name != nullptr; ++p)
        if (std::strcmp(p->name, name) == 0) return p->value;
    return -1;
}

const char *get_name_by_value(const NameValue *table, int32_t value)
{
    if (table == nullptr) return nullptr;
    for (const NameValue *p = table; p->name != nullptr; ++p)
        if (p->value == value) return p->name;
    return nullptr;
}

const char *get_name_by_value_no_null(const NameValue *table, int32_t value)
{
    const char *name = get_name_by_value(table, value);
    return name != nullptr ? name : "null";
}

}  // namespace tessivar
