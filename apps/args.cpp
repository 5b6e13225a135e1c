#include "args.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace tessivar::cli {

Args::Args(int argc, char **argv, int first, const std::set<std::string> &valued,
           const std::set<std::string> &switches)
{
    for (int i = first; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.rfind("--", 0) != 0 || word.size() == 2) {
            positional_.push_back(word);
            continue;
        }
        const std::string name = word.substr(2);
        if (switches.count(name)) {
            values_[name] = "1";
        } else if (valued.count(name)) {
            if (i + 1 >= argc) throw UsageError("option --" + name + " needs a value");
            values_[name] = argv[++i];
        } else {
            throw UsageError("unknown option --" + name);
        }
    }
}

std::string Args::text(const std::string &name, const std::string &def) const
{
    const auto it = values_.find(name);
    return it == values_.end() ? def : it->second;
}

double Args::number(const std::string &name, double def) const
{
    const auto it = values_.find(name);
    if (it == values_.end()) return def;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(it->second.c_str(), &end);
    if (errno != 0 || *end != '\0' || it->second.empty() || !std::isfinite(v))
        throw UsageError("option --" + name + " takes a number, not '" + it->second + "'");
    return v;
}

long Args::integer(const std::string &name, long def) const
{
    const auto it = values_.find(name);
    if (it == values_.end()) return def;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(it->second.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || it->second.empty())
        throw UsageError("option --" + name + " takes a whole number, not '" + it->second + "'");
    return v;
}

namespace {
std::string show(double v)
{
    std::ostringstream out;
    out << v;
    return out.str();
}
}  // namespace

double Args::number(const std::string &name, double def, double lo, double hi) const
{
    const double v = number(name, def);
    if (has(name) && !(v >= lo && v <= hi))
        throw UsageError("option --" + name + " must be from " + show(lo) + " to " + show(hi) + ", not '" +
                         text(name, "") + "'");
    return v;
}

long Args::integer(const std::string &name, long def, long lo, long hi) const
{
    const long v = integer(name, def);
    if (has(name) && (v < lo || v > hi))
        throw UsageError("option --" + name + " must be from " + std::to_string(lo) + " to " + std::to_string(hi) +
                         ", not '" + text(name, "") + "'");
    return v;
}

}  // namespace tessivar::cli
