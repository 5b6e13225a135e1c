// Reading back the JSON-lines event log that `tessivar run` writes: one
// object per line with "frame", "t" (seconds), "event" and the event's own
// fields.
#pragma once

#include <string>
#include <vector>

namespace tessivar::records {

struct Event {
    double t = 0;          // seconds from the start of the run
    std::string kind;      // "beat", "heartRate", "respRate", "quality", "status", "filter", "hrLead", "end"
    double value = 0;      // "rate" of rate events, "latencyMs" of beats, "totalDelay" of the end event
    std::string text;      // "text" of quality events, "lead" of hrLead events
};

// Throws RecordError when the file cannot be read.
std::vector<Event> readEvents(const std::string &path);

// A formatted JSON text on one line (line ends and tabs dropped).
std::string oneLine(const std::string &json);

}  // namespace tessivar::records
