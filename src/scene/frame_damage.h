// Which window pixels a frame has to redraw when the buffer still holds the
// frame before: boxes around everything drawn that changed since. Geometry
// only, no GL: the caller projects scene points with the frame's matrices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "orbits/orbit_path.h"
#include "orbits/orbit_picture.h"
#include "plane/scissor_boxes.h"

// Window pixels: columns left to right - 1, rows bottom to top - 1.
struct pixel_box {
    long left;
    long bottom;
    long right;
    long top;

    bool empty() const { return left >= right || bottom >= top; }
    long area() const { return empty() ? 0 : (right - left) * (top - bottom); }
    bool meets(const pixel_box& other) const
    {
        return left < other.right && other.left < right && bottom < other.top && other.bottom < top;
    }
    // Grows to take in other (an empty box takes nothing in, nor stays).
    void take_in(const pixel_box& other);
    pixel_box clipped(const pixel_box& to) const;
};

constexpr pixel_box no_pixels{0, 0, 0, 0};
// Beyond every window: the box of what does not project.
constexpr pixel_box every_pixel{-(1L << 30), -(1L << 30), 1L << 30, 1L << 30};

// How far, in window pixels, drawing reaches beyond its projected geometry:
// half the lines' width of 2, and the disc's polygon smoothing. slack widens
// every box further (negative only in tests, to show a box one pixel short).
// Boxes covering more than most_share of the window cost more than a whole
// frame.
struct damage_rules {
    double line = 1.0;
    double disc = 1.0;
    long slack = 2;
    double most_share = 0.6;
};

// Everything one frame drew, in window pixels: each path's strip and each
// walker's disc and trail, in drawing order, and the boxes the plane's quad
// was drawn in.
struct frame_outline {
    std::vector<pixel_box> paths;
    // Each path's strip in pieces of piece_segments segments (the last one
    // shorter): path i's are path_pieces[path_pieces_first[i]] up to
    // path_pieces[path_pieces_first[i + 1]], so that a box redraws only the
    // pieces that meet it.
    static constexpr int piece_segments = 32;
    std::vector<pixel_box> path_pieces;
    std::vector<std::size_t> path_pieces_first;
    std::vector<pixel_box> walkers;
    std::vector<scissor_box> plane;
    // The quad drawn whole: no boxes could be placed.
    bool plane_whole = true;
    // The window (the viewport), and the projection's matrices it was drawn
    // with; another projection changes every pixel.
    pixel_box window = no_pixels;
    double matrices[32] = {};
    // The plane image drawn (plane_texture's image_count).
    std::uint32_t plane_image = 0;
};

// The box of the scene points (x, y), projected, widened by reach and slack
// pixels; every_pixel when a point does not project.
pixel_box projected_box(const scene_projection& project, const vertex2f* points, std::size_t count, double reach,
                        long slack);

// Fills outline's object boxes for the paths and walkers of picture.
void outline_orbits(const scene_projection& project, const std::vector<std::unique_ptr<orbit_path>>& paths,
                    const orbit_picture& picture, const damage_rules& reach, frame_outline& outline);

// Adds to damage the boxes around what differs between the frame before and
// this one: the segments of a path's strip that were added, dropped or
// recoloured; every walker of both frames unless no walker changed at all;
// the plane's boxes of both frames after an upload. False when only a whole
// frame will do (another projection, the quad drawn whole, paths added or
// removed).
bool changed_boxes(const scene_projection& project, const std::vector<std::unique_ptr<orbit_path>>& paths,
                   const orbit_picture& before_picture, const frame_outline& before, const orbit_picture& picture,
                   const frame_outline& now, bool plane_uploaded, const damage_rules& reach,
                   std::vector<pixel_box>& damage);

// The boxes a frame over the last redraws for the damage: the damage
// clipped to the window, gathered in tiles and joined row by row where that
// wastes little, then the pairs that waste the least joined until at most
// `most` remain. Every pixel of the damage inside the window is in one of
// them; they may overlap. False (a whole frame costs less) when they would
// cover more than most_share of the window.
bool damage_boxes(const std::vector<pixel_box>& damage, const pixel_box& window, std::size_t most, double most_share,
                  std::vector<pixel_box>& boxes);
