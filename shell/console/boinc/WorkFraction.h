// WorkFraction: the fraction of a work unit done, for the client's progress
// bar, from what the run already tells its front end: the list line it is
// on (File and Verifier modes post each finished line) and the percentage
// in the progress texts of the running test ("... ? Computing power
// [12.34%, 3 mn 02 s remaining]").
//
// A candidate may run several tests (the test, its verification, the
// related primes), each from 0 % again; within a line the fraction keeps
// the largest share seen, and it never goes back, as the client expects.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace numen {

// The percentage of a progress text, or nothing for any other pane text
// (a line ending in a line end, a text without " [p%").
std::optional<double> ProgressPercent(std::string_view text);

class WorkFraction {
public:
    // `totalLines`: the lines of the list (at least 1 is assumed); a run
    // without a list counts as one line.
    explicit WorkFraction(int32_t totalLines) : totalLines_(totalLines < 1 ? 1 : totalLines) {}

    // The run finished `linesDone` lines (restored ones included).
    void linesDone(int32_t lines);
    // A progress text of the running candidate showed `percent`.
    void candidatePercent(double percent);

    // In [0, 1], never less than an earlier answer.
    double value() const { return value_; }

private:
    void update();

    int32_t totalLines_;
    int32_t linesDone_ = 0;
    double linePercent_ = 0.0;   // largest percentage seen on the current line
    double value_ = 0.0;
};

}  // namespace numen
