// The decisions of the saver's close rules that need no window: how far the
// mouse may move, what a power event does, and the pause after a password
// prompt. The Win32 procedures apply them to real messages.
#pragma once

#include <cstdint>

// Largest movement in pixels, summed over both axes from the start position,
// that does not close the saver.
constexpr std::uint32_t wake_distance = 4;

// True when the cursor at (x, y) lies more than wake_distance from the start.
bool moved_beyond_wake_distance(std::int32_t start_x, std::int32_t start_y, std::int32_t x, std::int32_t y);

enum class power_response {
    grant,       // answer the query with 1 and do nothing else
    close,       // ask to close, then the default handling
    keep_going,  // only the default handling
};

// The reaction to WM_POWERBROADCAST with this event code (wParam) and its
// flags (lParam); bit 0 of the flags marks a resume after a failure.
power_response power_event_response(std::uint64_t event, std::uint64_t flags);

// Milliseconds after the end of a password prompt during which close
// requests are refused without asking again.
constexpr std::uint32_t password_refusal_ms = 200;

// No password prompt has ended yet.
constexpr std::uint32_t never_checked = 0xFFFFFFFFu;

// True while a close request at tick count now falls in the refusal window
// after the prompt that ended at last_check (tick counts wrap at 2^32).
bool within_password_refusal(std::uint32_t now, std::uint32_t last_check);
