#include "host/close_rules.h"

bool moved_beyond_wake_distance(std::int32_t start_x, std::int32_t start_y, std::int32_t x, std::int32_t y)
{
    // 64-bit, so that no pair of coordinates can overflow the difference.
    const std::int64_t dx = static_cast<std::int64_t>(x) - start_x;
    const std::int64_t dy = static_cast<std::int64_t>(y) - start_y;
    const std::uint64_t distance =
        static_cast<std::uint64_t>(dx < 0 ? -dx : dx) + static_cast<std::uint64_t>(dy < 0 ? -dy : dy);
    return distance > wake_distance;
}

power_response power_event_response(std::uint64_t event, std::uint64_t flags)
{
    constexpr std::uint64_t resume_from_failure = 1;
    switch (event) {
    case 0:  // query for suspend
        return power_response::grant;
    case 1:  // query for standby
    case 2:  // suspend query failed
    case 3:  // standby query failed
    case 4:  // suspend
    case 5:  // standby
        return power_response::close;
    case 6:   // resume from a critical suspend
    case 7:   // resume from suspend
    case 8:   // resume from standby
    case 18:  // automatic resume
        return (flags & resume_from_failure) != 0 ? power_response::keep_going : power_response::close;
    case 10:      // power status change
    case 0x8013:  // power setting change
        return power_response::keep_going;
    default:
        return power_response::close;
    }
}

bool within_password_refusal(std::uint32_t now, std::uint32_t last_check)
{
    return last_check != never_checked && static_cast<std::uint32_t>(now - last_check) < password_refusal_ms;
}
