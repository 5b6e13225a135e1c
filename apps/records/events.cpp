#include "records/events.hpp"

#include <cstdlib>
#include <fstream>

#include "records/wfdb.hpp"

namespace tessivar::records {
namespace {

// The raw text after "key": up to the next ',' or '}' (numbers), or the
// JSON string with its escapes undone.
bool field(const std::string &line, const std::string &key, std::string &out)
{
    const std::string tag = "\"" + key + "\":";
    size_t at = line.find(tag);
    if (at == std::string::npos) return false;
    at += tag.size();
    out.clear();
    if (at < line.size() && line[at] == '"') {
        for (size_t k = at + 1; k < line.size() && line[k] != '"'; ++k) {
            if (line[k] == '\\' && k + 1 < line.size()) {
                ++k;
                if (line[k] == 'u' && k + 4 < line.size()) {
                    out.push_back(char(std::strtol(line.substr(k + 1, 4).c_str(), nullptr, 16)));
                    k += 4;
                    continue;
                }
            }
            out.push_back(line[k]);
        }
        return true;
    }
    const size_t end = line.find_first_of(",}", at);
    out = line.substr(at, end == std::string::npos ? std::string::npos : end - at);
    return true;
}

}  // namespace

std::vector<Event> readEvents(const std::string &path)
{
    std::ifstream in(path);
    if (!in) throw RecordError(path + ": cannot open");
    std::vector<Event> events;
    std::string line, v;
    while (std::getline(in, line)) {
        Event e;
        if (!field(line, "event", e.kind)) continue;
        if (field(line, "t", v)) e.t = std::atof(v.c_str());
        if (field(line, "rate", v) || field(line, "totalDelay", v) || field(line, "latencyMs", v)) e.value = std::atof(v.c_str());
        if (field(line, "text", v) || field(line, "lead", v)) e.text = v;
        events.push_back(e);
    }
    return events;
}

std::string oneLine(const std::string &json)
{
    std::string out;
    for (char c : json)
        if (c != '\n' && c != '\t' && c != '\r') out.push_back(c);
    return out;
}

}  // namespace tessivar::records
