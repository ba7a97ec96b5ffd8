#include "scene/frame_damage.h"

#include <algorithm>
#include <cmath>

#include "orbits/orbit_drawing.h"

namespace {

// Window coordinates beyond this are out of reach of any window.
constexpr double far_away = 1e9;
// The damage is gathered in tiles of this many pixels a side, and boxes are
// joined when that wastes less than a tile: a box costs a pass over the
// objects.
constexpr long tile = 32;
// Changed segments of a strip joined into one box before the boxes are
// merged: few enough that a box of a curling strip stays small.
constexpr int segments_per_box = 8;

pixel_box from_scissor(const scissor_box& box)
{
    return {box.left, box.bottom, box.left + box.width, box.bottom + box.height};
}

bool same_colour(const colour_rgba& a, const colour_rgba& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

bool same_vertex(const vertex2f& a, const vertex2f& b)
{
    return a.x == b.x && a.y == b.y;
}

// The walkers draw the same in both pictures.
bool same_walkers(const orbit_picture& a, const orbit_picture& b)
{
    if (a.walkers.size() != b.walkers.size() || a.trail.size() != b.trail.size())
        return false;
    for (std::size_t i = 0; i < a.walkers.size(); ++i) {
        const orbit_picture::walker_mark& p = a.walkers[i];
        const orbit_picture::walker_mark& q = b.walkers[i];
        if (!same_vertex(p.at, q.at) || !same_colour(p.pulse, q.pulse) || p.trail_first != q.trail_first ||
            p.trail_count != q.trail_count)
            return false;
    }
    for (std::size_t i = 0; i < a.trail.size(); ++i)
        if (!same_vertex(a.trail[i], b.trail[i]) || !same_colour(a.trail_colours[i], b.trail_colours[i]))
            return false;
    return true;
}

// The scene box of points as its four corners, which bound the projection
// of every point inside it.
struct scene_box {
    float x0 = 0.0f;
    float y0 = 0.0f;
    float x1 = 0.0f;
    float y1 = 0.0f;
    bool any = false;

    void take_in(vertex2f v)
    {
        if (!any) {
            x0 = x1 = v.x;
            y0 = y1 = v.y;
            any = true;
            return;
        }
        x0 = std::min(x0, v.x);
        x1 = std::max(x1, v.x);
        y0 = std::min(y0, v.y);
        y1 = std::max(y1, v.y);
    }
    pixel_box project(const scene_projection& projection, double reach, long slack) const
    {
        if (!any)
            return no_pixels;
        const vertex2f corners[4] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
        return projected_box(projection, corners, 4, reach, slack);
    }
};

pixel_box walker_box(const scene_projection& project, const orbit_picture& picture, const orbit_picture::walker_mark& w,
                     const damage_rules& reach)
{
    const float r = marker_scale(w.pulse.a);
    scene_box disc;
    disc.take_in({w.at.x - r, w.at.y - r});
    disc.take_in({w.at.x + r, w.at.y + r});
    pixel_box box = disc.project(project, reach.disc, reach.slack);
    // A strip of one vertex draws nothing.
    if (w.trail_count > 1) {
        scene_box trail;
        for (std::size_t i = 0; i < w.trail_count; ++i)
            trail.take_in(picture.trail[w.trail_first + i]);
        box.take_in(trail.project(project, reach.line, reach.slack));
    }
    return box;
}

// The walker's disc, and its trail in runs of segments: a trail's segments
// all change colour every step, but they cover far fewer pixels than the
// trail's box.
void walker_damage(const scene_projection& project, const orbit_picture& picture, const orbit_picture::walker_mark& w,
                   const damage_rules& reach, std::vector<pixel_box>& damage)
{
    const float r = marker_scale(w.pulse.a);
    scene_box disc;
    disc.take_in({w.at.x - r, w.at.y - r});
    disc.take_in({w.at.x + r, w.at.y + r});
    damage.push_back(disc.project(project, reach.disc, reach.slack));
    const vertex2f* trail = picture.trail.data() + w.trail_first;
    for (std::size_t first = 0; first + 1 < w.trail_count; first += segments_per_box) {
        scene_box run;
        const std::size_t last = std::min(first + segments_per_box, w.trail_count - 1);
        for (std::size_t i = first; i <= last; ++i)
            run.take_in(trail[i]);
        damage.push_back(run.project(project, reach.line, reach.slack));
    }
}

// The boxes of a path's segments drawn in one window and not the other, or
// in other colours: the segments both draw alike keep their order, so the
// pixels only they cover stay as they were.
void changed_segments(const scene_projection& project, const orbit_path& path, const orbit_path::strip_window& a,
                      const orbit_path::strip_window& b, const damage_rules& reach, std::vector<pixel_box>& damage)
{
    // Vertex i's colour in a window, or nullptr when the window does not
    // draw segment i to i + 1.
    const auto segment_colours = [&path](const orbit_path::strip_window& w, int i) -> const colour_rgba* {
        if (i < w.first || i + 1 >= w.first + w.shown)
            return nullptr;
        return &path.colours[static_cast<std::size_t>(w.colour_first + i - w.first)];
    };
    const int from = std::min(a.first, b.first);
    const int to = std::max(a.first + a.shown, b.first + b.shown) - 1;
    scene_box run;
    int in_run = 0;
    for (int i = from; i < to; ++i) {
        const colour_rgba* ca = segment_colours(a, i);
        const colour_rgba* cb = segment_colours(b, i);
        if (ca == nullptr && cb == nullptr)
            continue;
        if (ca != nullptr && cb != nullptr && same_colour(ca[0], cb[0]) && same_colour(ca[1], cb[1]))
            continue;
        run.take_in(path.vertices[static_cast<std::size_t>(i)]);
        run.take_in(path.vertices[static_cast<std::size_t>(i + 1)]);
        if (++in_run == segments_per_box) {
            damage.push_back(run.project(project, reach.line, reach.slack));
            run = scene_box{};
            in_run = 0;
        }
    }
    if (in_run > 0)
        damage.push_back(run.project(project, reach.line, reach.slack));
}

bool same_windows(const orbit_path::strip_window& a, const orbit_path::strip_window& b)
{
    return a.first == b.first && a.colour_first == b.colour_first && a.shown == b.shown;
}

}  // namespace

void pixel_box::take_in(const pixel_box& other)
{
    if (other.empty())
        return;
    if (empty()) {
        *this = other;
        return;
    }
    left = std::min(left, other.left);
    bottom = std::min(bottom, other.bottom);
    right = std::max(right, other.right);
    top = std::max(top, other.top);
}

pixel_box pixel_box::clipped(const pixel_box& to) const
{
    const pixel_box box{std::max(left, to.left), std::max(bottom, to.bottom), std::min(right, to.right),
                        std::min(top, to.top)};
    return box.empty() ? no_pixels : box;
}

pixel_box projected_box(const scene_projection& project, const vertex2f* points, std::size_t count, double reach,
                        long slack)
{
    if (count == 0)
        return no_pixels;
    double x0 = far_away;
    double y0 = far_away;
    double x1 = -far_away;
    double y1 = -far_away;
    for (std::size_t i = 0; i < count; ++i) {
        double x = 0.0;
        double y = 0.0;
        if (!project(points[i].x, points[i].y, x, y) || !(std::fabs(x) < far_away) || !(std::fabs(y) < far_away))
            return every_pixel;
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
    }
    // A pixel is drawn when its centre, half a pixel in, is reached.
    return {static_cast<long>(std::floor(x0 - reach)) - slack, static_cast<long>(std::floor(y0 - reach)) - slack,
            static_cast<long>(std::ceil(x1 + reach)) + slack, static_cast<long>(std::ceil(y1 + reach)) + slack};
}

void outline_orbits(const scene_projection& project, const std::vector<std::unique_ptr<orbit_path>>& paths,
                    const orbit_picture& picture, const damage_rules& reach, frame_outline& outline)
{
    outline.paths.clear();
    outline.path_pieces.clear();
    outline.path_pieces_first.clear();
    for (std::size_t i = 0; i < paths.size() && i < picture.path_windows.size(); ++i) {
        const orbit_path::strip_window& w = picture.path_windows[i];
        outline.path_pieces_first.push_back(outline.path_pieces.size());
        pixel_box strip = no_pixels;
        // Segment s joins vertices first + s and first + s + 1.
        for (int s = 0; s + 1 < w.shown; s += frame_outline::piece_segments) {
            scene_box piece;
            const int last = std::min(s + frame_outline::piece_segments, w.shown - 1);
            for (int v = s; v <= last; ++v)
                piece.take_in(paths[i]->vertices[static_cast<std::size_t>(w.first + v)]);
            outline.path_pieces.push_back(piece.project(project, reach.line, reach.slack));
            strip.take_in(outline.path_pieces.back());
        }
        outline.paths.push_back(strip);
    }
    outline.path_pieces_first.push_back(outline.path_pieces.size());
    outline.walkers.clear();
    for (const orbit_picture::walker_mark& w : picture.walkers)
        outline.walkers.push_back(walker_box(project, picture, w, reach));
}

bool changed_boxes(const scene_projection& project, const std::vector<std::unique_ptr<orbit_path>>& paths,
                   const orbit_picture& before_picture, const frame_outline& before, const orbit_picture& picture,
                   const frame_outline& now, bool plane_uploaded, const damage_rules& reach,
                   std::vector<pixel_box>& damage)
{
    if (before.window.left != now.window.left || before.window.bottom != now.window.bottom ||
        before.window.right != now.window.right || before.window.top != now.window.top ||
        !std::equal(std::begin(before.matrices), std::end(before.matrices), std::begin(now.matrices)) ||
        before_picture.path_windows.size() != picture.path_windows.size())
        return false;
    if (plane_uploaded) {
        if (before.plane_whole || now.plane_whole)
            return false;
        for (const scissor_box& box : before.plane)
            damage.push_back(from_scissor(box));
        for (const scissor_box& box : now.plane)
            damage.push_back(from_scissor(box));
    }
    for (std::size_t i = 0; i < paths.size() && i < picture.path_windows.size(); ++i)
        if (!same_windows(before_picture.path_windows[i], picture.path_windows[i]))
            changed_segments(project, *paths[i], before_picture.path_windows[i], picture.path_windows[i], reach,
                             damage);
    if (!same_walkers(before_picture, picture))
        for (const orbit_picture* p : {&before_picture, &picture})
            for (const orbit_picture::walker_mark& w : p->walkers)
                walker_damage(project, *p, w, reach, damage);
    return true;
}

namespace {

long wasted_area(const pixel_box& a, const pixel_box& b)
{
    pixel_box both = a;
    both.take_in(b);
    return both.area() - a.area() - b.area();
}

// Each tile of the window keeps the box of the damage inside it.
std::vector<pixel_box> damaged_tiles(const std::vector<pixel_box>& boxes, const pixel_box& window, long columns,
                                     long rows)
{
    std::vector<pixel_box> tiles(static_cast<std::size_t>(columns * rows), no_pixels);
    for (const pixel_box& box : boxes) {
        const pixel_box inside = box.clipped(window);
        if (inside.empty())
            continue;
        for (long r = (inside.bottom - window.bottom) / tile; r <= (inside.top - 1 - window.bottom) / tile; ++r)
            for (long c = (inside.left - window.left) / tile; c <= (inside.right - 1 - window.left) / tile; ++c) {
                const pixel_box cell{window.left + c * tile, window.bottom + r * tile, window.left + (c + 1) * tile,
                                     window.bottom + (r + 1) * tile};
                tiles[static_cast<std::size_t>(r * columns + c)].take_in(inside.clipped(cell));
            }
    }
    return tiles;
}

// A row's runs of damaged tiles become one box each, joined with the box
// above when that wastes less than a tile.
std::vector<pixel_box> joined_runs(const std::vector<pixel_box>& tiles, long columns, long rows)
{
    std::vector<pixel_box> merged;
    // The boxes that reached the row below this one, by index in merged.
    std::vector<std::size_t> open;
    std::vector<std::size_t> next_open;
    for (long r = 0; r < rows; ++r) {
        next_open.clear();
        for (long c = 0; c < columns;) {
            pixel_box run = tiles[static_cast<std::size_t>(r * columns + c)];
            if (run.empty()) {
                ++c;
                continue;
            }
            for (++c; c < columns && !tiles[static_cast<std::size_t>(r * columns + c)].empty(); ++c)
                run.take_in(tiles[static_cast<std::size_t>(r * columns + c)]);
            std::size_t joined = merged.size();
            for (const std::size_t o : open)
                if (wasted_area(merged[o], run) < tile * tile) {
                    joined = o;
                    break;
                }
            if (joined == merged.size())
                merged.push_back(run);
            else
                merged[joined].take_in(run);
            next_open.push_back(joined);
        }
        open.swap(next_open);
    }
    return merged;
}

// Joins the pair that wastes least until at most `most` boxes are left.
void cap_boxes(std::vector<pixel_box>& merged, std::size_t most)
{
    while (merged.size() > most) {
        std::size_t best_i = 0;
        std::size_t best_j = 1;
        long best_waste = -1;
        for (std::size_t i = 0; i < merged.size(); ++i)
            for (std::size_t j = i + 1; j < merged.size(); ++j) {
                const long w = wasted_area(merged[i], merged[j]);
                if (best_waste < 0 || w < best_waste) {
                    best_waste = w;
                    best_i = i;
                    best_j = j;
                }
            }
        merged[best_i].take_in(merged[best_j]);
        merged[best_j] = merged.back();
        merged.pop_back();
    }
}

// The boxes' areas summed, overlaps counted twice.
double area_of(const std::vector<pixel_box>& boxes)
{
    double area = 0.0;
    for (const pixel_box& box : boxes)
        area += static_cast<double>(box.area());
    return area;
}

}  // namespace

bool damage_boxes(const std::vector<pixel_box>& damage, const pixel_box& window, std::size_t most, double most_share,
                  std::vector<pixel_box>& boxes)
{
    boxes.clear();
    const long columns = (window.right - window.left + tile - 1) / tile;
    const long rows = (window.top - window.bottom + tile - 1) / tile;
    if (columns <= 0 || rows <= 0)
        return true;
    const double most_area = most_share * static_cast<double>(window.area());
    const std::vector<pixel_box> tiles = damaged_tiles(damage, window, columns, rows);
    // The tiles' boxes do not overlap and each lies whole in a merged box:
    // merging can only add to their area, so this decides as the merged
    // boxes would, without the merging, which early in a life takes longer
    // than the whole frame.
    if (area_of(tiles) > most_area)
        return false;
    boxes = joined_runs(tiles, columns, rows);
    cap_boxes(boxes, most);
    return area_of(boxes) <= most_area;
}
