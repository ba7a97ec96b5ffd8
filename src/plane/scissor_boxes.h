// Where the plane's quad is drawn through the scissor: a window rectangle
// around the texels of each band of grid rows that are not fully
// transparent, since a transparent texel leaves the cleared background as
// it is. Geometry only: the caller projects scene points with the frame's
// matrices.
#pragma once

#include <functional>

// The image columns first to end - 1 that hold every texel of one band of
// grid rows that is not fully transparent; empty (first >= end) when none is.
struct texel_span {
    int first;
    int end;

    bool empty() const { return first >= end; }
    // Takes in the columns from to to - 1.
    void widen(int from, int to)
    {
        first = from < first ? from : first;
        end = to > end ? to : end;
    }
};

// Window coordinates of the scene point (x, y, 0); false when not finite.
using scene_projection = std::function<bool(double x, double y, double& window_x, double& window_y)>;

// The quad in scene units and the image on it in texels, in bands of
// band_rows grid rows from grid row 0 (the image's bottom row).
struct quad_layout {
    double width;
    double height;
    int columns;
    int rows;
    int band_rows;
};

struct scissor_box {
    long left;
    long bottom;
    long width;
    long height;
};

constexpr int max_scissor_bands = 64;

// One box per band whose span, widened by reach texels (and with a reach of
// 1 or more by the neighbouring bands' spans, for bilinear filtering across
// a band's edge), holds a texel; bands with none get no box. The boxes split
// the quad's height at the bands' edges rounded to whole pixels, so that
// they neither overlap nor leave a gap. Returns the number of boxes, or -1
// when no boxes can be placed (the plane not square to the window, a band
// of a few pixels or less, a point out of reach): the caller then draws the
// whole quad. spans and boxes hold band_count entries, at most
// max_scissor_bands.
int place_scissor_boxes(const scene_projection& project, const quad_layout& quad, const texel_span* spans,
                        int band_count, int reach, scissor_box* boxes);
