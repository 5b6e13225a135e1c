// Command-line arguments of the tessivar program: positional words and
// "--name value" options ("--name" alone for a switch).
#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessivar::cli {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Args {
public:
    // switches: option names that take no value. Unknown options are
    // refused unless listed in valued or switches.
    Args(int argc, char **argv, int first, const std::set<std::string> &valued, const std::set<std::string> &switches);

    const std::vector<std::string> &positional() const { return positional_; }
    bool has(const std::string &name) const { return values_.count(name) > 0; }
    std::string text(const std::string &name, const std::string &def) const;
    double number(const std::string &name, double def) const;
    long integer(const std::string &name, long def) const;
    // The same, refused with a message naming the option when outside
    // [lo, hi].
    double number(const std::string &name, double def, double lo, double hi) const;
    long integer(const std::string &name, long def, long lo, long hi) const;

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> values_;
};

}  // namespace tessivar::cli
