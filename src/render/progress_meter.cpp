#include "render/progress_meter.h"

#include <cmath>
#include <utility>

std::string progress_text(const std::string& label, std::int64_t done, std::int64_t total, double seconds)
{
    char text[160];
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (done <= 0 || seconds <= 0.0) {
        std::snprintf(text, sizeof text, ": %lld of %lld frames (%d %%)", static_cast<long long>(done),
                      static_cast<long long>(total), percent);
        return label + text;
    }
    const double rate = static_cast<double>(done) / seconds;
    const auto left = static_cast<long long>(std::lround(static_cast<double>(total - done) / rate));
    char time_left[32];
    if (left >= 3600)
        std::snprintf(time_left, sizeof time_left, "%lld:%02lld:%02lld", left / 3600, left / 60 % 60, left % 60);
    else
        std::snprintf(time_left, sizeof time_left, "%lld:%02lld", left / 60, left % 60);
    std::snprintf(text, sizeof text, ": %lld of %lld frames (%d %%), %.1f frames a second, %s left",
                  static_cast<long long>(done), static_cast<long long>(total), percent, rate, time_left);
    return label + text;
}

progress_meter::progress_meter(std::string label, std::int64_t total, bool terminal, std::FILE* out)
    : label_(std::move(label)), total_(total), terminal_(terminal), out_(out)
{}

void progress_meter::report(std::int64_t done, double seconds)
{
    if (terminal_) {
        if (done < total_ && drawn_at_ >= 0.0 && seconds - drawn_at_ < 0.25)
            return;
        drawn_at_ = seconds;
        // Back to the line's start, and blanks to its end after the text.
        std::fprintf(out_, "\r%s\033[K", progress_text(label_, done, total_, seconds).c_str());
    } else {
        if (total_ <= 0 || done * 10 / total_ == reported_ * 10 / total_)
            return;
        std::fprintf(out_, "%s\n", progress_text(label_, done, total_, seconds).c_str());
    }
    reported_ = done;
    std::fflush(out_);
}

void progress_meter::end()
{
    if (terminal_ && drawn_at_ >= 0.0)
        std::fputs("\n", out_);
    drawn_at_ = -1.0;
}
