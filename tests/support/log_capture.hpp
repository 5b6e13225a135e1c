// Collects the library's log lines for a test: while a LogCapture lives, the
// print hook stores every line (the print level is trace, so all pass).
#pragma once

#include <string>
#include <vector>

namespace tessivar::test {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const std::vector<std::string> &lines() const { return lines_; }
    // Number of captured lines containing text.
    int count(const std::string &text) const;
    bool contains(const std::string &text) const { return count(text) > 0; }
    void clear() { lines_.clear(); }
    // The print hook to hand to the library (every start of the log that
    // names no hook runs without one).
    static void hook(const char *line);

private:
    std::vector<std::string> lines_;
};

}  // namespace tessivar::test
