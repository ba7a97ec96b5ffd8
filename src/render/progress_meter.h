// How far a long run has come: on a terminal one line redrawn in place; in
// a pipe or a log a line at every tenth of the work.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// "LABEL: DONE of TOTAL frames (P %), R frames a second, M:SS left" (from
// an hour on H:MM:SS), the rate and the time left from the mean pace so far;
// without them before the first frame.
std::string progress_text(const std::string& label, std::int64_t done, std::int64_t total, double seconds);

class progress_meter {
public:
    progress_meter(std::string label, std::int64_t total, bool terminal, std::FILE* out);

    // done of the total frames are done, seconds after the start. On a
    // terminal the line is redrawn at most 4 times a second and at the end.
    void report(std::int64_t done, double seconds);

    // Ends the terminal's line, where one was drawn.
    void end();

private:
    std::string label_;
    std::int64_t total_;
    bool terminal_;
    std::FILE* out_;
    std::int64_t reported_ = 0;
    double drawn_at_ = -1.0;
};
