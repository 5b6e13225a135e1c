#include "records/frames.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "records/resample.hpp"
#include "records/simulator.hpp"

namespace tessivar::records {

const std::array<const char *, 18> kLeadNames = {"I",  "II", "III", "aVR", "aVL", "aVF", "V1",  "V2",  "V3",
                                                  "V4", "V5", "V6",  "V7",  "V8",  "V9",  "V3R", "V4R", "V5R"};

namespace {
constexpr int kFirstChest = 6;

std::string upper(std::string s)
{
    for (char &c : s) c = char(std::toupper((unsigned char)c));
    return s;
}

// Channel count of each wire type, and the chest leads it carries.
struct Wire {
    const char *name;
    int chestLeads;  // V1 onwards, in lead-id order
};
const Wire kWires[] = {{"3", 0}, {"5", 1}, {"12", 6}, {"15", 9}, {"18", 12}};
}  // namespace

int leadId(const std::string &name)
{
    for (size_t i = 0; i < kLeadNames.size(); ++i)
        if (name == kLeadNames[i]) return int(i);
    return -1;
}

int leadOfDescription(const std::string &description)
{
    std::string d = upper(description);
    d.erase(std::remove_if(d.begin(), d.end(), [](char c) { return std::isspace((unsigned char)c); }), d.end());
    if (d.rfind("ML", 0) == 0) d = d.substr(2);  // modified limb/chest leads of ambulatory records
    for (const char *lead : {"I", "II", "III", "V1", "V2", "V3", "V4", "V5", "V6", "V7", "V8", "V9", "V3R", "V4R",
                             "V5R"})
        if (d == upper(lead)) return leadId(lead);
    return -1;
}

FrameLayout chooseLayout(const Record &record, const std::map<std::string, std::string> &overrides,
                         const std::string &respDescription)
{
    FrameLayout layout;
    const std::string name = record.header.name;
    for (size_t s = 0; s < record.header.signals.size(); ++s) {
        const int id = leadOfDescription(record.header.signals[s].description);
        if (id >= 0 && !layout.signalOf.count(id)) layout.signalOf[id] = int(s);
    }
    for (const auto &[leadName, description] : overrides) {
        const int id = leadId(leadName);
        if (id < 0 || (id >= 3 && id < kFirstChest))
            throw RecordError(name + ": '" + leadName + "' is not an input lead (I, II, III, V1 ... V9, V3R ... V5R)");
        const int s = record.find(description);
        if (s < 0) throw RecordError(name + ": no signal described '" + description + "'");
        layout.signalOf[id] = s;
    }
    if (layout.signalOf.empty())
        throw RecordError(name + ": no ECG lead among the signal descriptions (map one with --leads II=NAME)");

    if (respDescription != "none") {
        const std::string wanted = respDescription.empty() ? "RESP" : respDescription;
        for (size_t s = 0; s < record.header.signals.size(); ++s)
            if (upper(record.header.signals[s].description) == upper(wanted)) layout.respSignal = int(s);
        if (!respDescription.empty() && layout.respSignal < 0)
            throw RecordError(name + ": no respiration signal described '" + respDescription + "'");
    }

    int highestChest = -1;
    for (const auto &entry : layout.signalOf)
        if (entry.first >= kFirstChest) highestChest = std::max(highestChest, entry.first - kFirstChest);
    const Wire *wire = &kWires[0];
    for (const Wire &w : kWires)
        if (w.chestLeads > highestChest) {
            wire = &w;
            break;
        }
    layout.wireType = wire->name;
    const bool withIII = layout.signalOf.count(2) > 0;
    layout.dataType = std::string("SL") + (layout.respSignal >= 0 ? "R" : "") + (withIII ? "T" : "");
    layout.channelLead = {0, 1};
    if (withIII) layout.channelLead.push_back(2);
    // I and II always have a channel; one without a signal is an electrode
    // off (I: right arm, II: left leg), so that nothing is taken from the
    // flat channel, by the automatic heart-rate lead choice least of all.
    if (!layout.signalOf.count(0)) layout.missingBits |= 0x1;
    if (!layout.signalOf.count(1)) layout.missingBits |= 0x2;
    for (int k = 0; k < wire->chestLeads; ++k) {
        layout.channelLead.push_back(kFirstChest + k);
        if (!layout.signalOf.count(kFirstChest + k)) layout.missingBits |= int32_t(1) << (2 + k);
    }
    return layout;
}

bool carriesLead(const FrameLayout &layout, int id)
{
    if (id < 0) return false;
    if (layout.signalOf.count(id)) return true;
    const bool limbs = layout.signalOf.count(0) && layout.signalOf.count(1);
    return id >= 2 && id < kFirstChest && limbs;
}

std::string carriedLeads(const FrameLayout &layout)
{
    std::string out;
    for (int id = 0; id < int(kLeadNames.size()); ++id)
        if (carriesLead(layout, id)) out += (out.empty() ? "" : ", ") + std::string(kLeadNames[size_t(id)]);
    return out;
}

std::vector<int32_t> buildFrames(const Record &record, const FrameLayout &layout, int fs, int lsbMv,
                                 double respScale, int64_t maxFrames)
{
    const double from = record.header.fs;
    const size_t inFrames = record.samples.empty() ? 0 : record.samples[0].size();
    if (inFrames == 0) return {};
    auto converted = [&](int s, double scale) {
        std::vector<double> x(inFrames);
        for (size_t t = 0; t < inFrames; ++t) x[t] = record.physical(s, t) * scale;
        return resample(x, from, fs);
    };
    std::vector<std::vector<double>> channels;
    for (int lead : layout.channelLead) {
        const auto it = layout.signalOf.find(lead);
        channels.push_back(it == layout.signalOf.end() ? std::vector<double>()
                                                       : converted(it->second, double(lsbMv)));
    }
    std::vector<double> resp;
    if (layout.respSignal >= 0) resp = converted(layout.respSignal, respScale);

    size_t frames = size_t(std::llround(double(inFrames) * fs / from));
    for (const auto &c : channels)
        if (!c.empty()) frames = std::min(frames, c.size());
    if (maxFrames >= 0) frames = std::min(frames, size_t(maxFrames));

    const size_t width = 1 + channels.size() + (resp.empty() ? 0 : 1);
    std::vector<int32_t> out(frames * width);
    auto toInt = [](double v) { return int32_t(std::llround(std::clamp(v, -2147483648.0, 2147483647.0))); };
    for (size_t j = 0; j < frames; ++j) {
        int32_t *frame = &out[j * width];
        // The status of the record frames this frame covers, OR-ed.
        const size_t a = std::min(inFrames - 1, size_t(double(j) * from / fs));
        const size_t b = std::max(a + 1, std::min(inFrames, size_t(double(j + 1) * from / fs)));
        int32_t status = layout.missingBits;
        for (size_t t = a; t < b; ++t) status |= statusWord(record, t);
        frame[0] = status;
        for (size_t c = 0; c < channels.size(); ++c) frame[1 + c] = channels[c].empty() ? 0 : toInt(channels[c][j]);
        if (!resp.empty()) frame[width - 1] = j < resp.size() ? toInt(resp[j]) : 0;
    }
    return out;
}

}  // namespace tessivar::records
