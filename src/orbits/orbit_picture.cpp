#include "orbits/orbit_picture.h"

void orbit_picture::capture(const std::vector<std::unique_ptr<orbit_path>>& paths,
                            const std::list<std::unique_ptr<orbit_walker>>& live_walkers)
{
    path_windows.clear();
    for (const auto& path : paths)
        path_windows.push_back(path->window());
    walkers.clear();
    trail.clear();
    trail_colours.clear();
    for (const auto& walker : live_walkers) {
        const std::size_t count = walker->trail.size();
        walkers.push_back({walker->pixel_position(walker->point.start), walker->pulse(), trail.size(), count});
        trail.insert(trail.end(), walker->trail.begin(), walker->trail.end());
        trail_colours.insert(trail_colours.end(), walker->trail_colours.begin(),
                             walker->trail_colours.begin() + static_cast<std::ptrdiff_t>(count));
    }
}
