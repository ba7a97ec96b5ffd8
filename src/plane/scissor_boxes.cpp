#include "plane/scissor_boxes.h"

#include <cmath>
#include <cstdlib>

namespace {

// Window coordinates beyond this are out of reach of any window.
constexpr double far_away = 1e9;

// The window row of each band edge; false unless the plane lies square to the
// window (an edge projects to one window row across the whole quad) and
// every band is more than a few pixels high, so that rounding its edges
// cannot move it past the reach of its neighbours' spans. Grid row j is
// image row rows - 1 - j, drawn from y = (rows - 1 - j) / rows * height.
bool band_edges(const scene_projection& project, const quad_layout& quad, int band_count, long* edges)
{
    const double rows = quad.rows;
    for (int b = 0; b <= band_count; ++b) {
        const double grid_row = b * quad.band_rows < quad.rows ? b * quad.band_rows : rows;
        const double y = (rows - grid_row) / rows * quad.height;
        double centre_x = 0.0;
        double centre_y = 0.0;
        double left_x = 0.0;
        double left_y = 0.0;
        double right_x = 0.0;
        double right_y = 0.0;
        if (!project(0.5 * quad.width, y, centre_x, centre_y) || !project(0.0, y, left_x, left_y) ||
            !project(quad.width, y, right_x, right_y) || std::fabs(left_y - centre_y) > 1e-3 ||
            std::fabs(right_y - centre_y) > 1e-3 || !(std::fabs(centre_y) < far_away))
            return false;
        edges[b] = std::lround(centre_y);
    }
    for (int b = 0; b < band_count; ++b)
        if (std::labs(edges[b + 1] - edges[b]) < 4)
            return false;
    return true;
}

// The columns band b's box spans, before its reach.
texel_span box_columns(const texel_span* spans, int band_count, int b, int reach, int columns)
{
    texel_span box{columns, 0};
    const int from = reach > 0 && b > 0 ? b - 1 : b;
    const int to = reach > 0 && b + 1 < band_count ? b + 1 : b;
    for (int n = from; n <= to; ++n)
        if (!spans[n].empty())
            box.widen(spans[n].first, spans[n].end);
    return box;
}

// Band b's box across the columns of span widened by reach; false when a
// side is out of reach.
bool band_box(const scene_projection& project, const quad_layout& quad, const long* edges, int band_count, int b,
              texel_span span, int reach, scissor_box& box)
{
    const double columns = quad.columns;
    double x0 = 0.0;
    double x1 = 0.0;
    double unused = 0.0;
    if (!project((span.first - reach) / columns * quad.width, 0.0, x0, unused) ||
        !project((span.end + reach) / columns * quad.width, 0.0, x1, unused) || !(std::fabs(x0) < far_away) ||
        !(std::fabs(x1) < far_away))
        return false;
    const long left = static_cast<long>(std::floor(x0 < x1 ? x0 : x1));
    const long right = static_cast<long>(std::ceil(x0 < x1 ? x1 : x0));
    long bottom = edges[b] < edges[b + 1] ? edges[b] : edges[b + 1];
    long top = edges[b] < edges[b + 1] ? edges[b + 1] : edges[b];
    // The outermost boxes reach past the quad's edges, where a pixel on the
    // rounded edge may still be the quad's; the rasteriser clips.
    const long outer_bottom = edges[0] < edges[band_count] ? edges[0] : edges[band_count];
    const long outer_top = edges[0] < edges[band_count] ? edges[band_count] : edges[0];
    if (bottom == outer_bottom)
        bottom -= 2;
    if (top == outer_top)
        top += 2;
    box = {left, bottom, right - left, top - bottom};
    return true;
}

}  // namespace

int place_scissor_boxes(const scene_projection& project, const quad_layout& quad, const texel_span* spans,
                        int band_count, int reach, scissor_box* boxes)
{
    long edges[max_scissor_bands + 1];
    if (band_count < 1 || band_count > max_scissor_bands || reach < 0 || quad.width <= 0.0 || quad.height <= 0.0 ||
        !band_edges(project, quad, band_count, edges))
        return -1;
    int placed = 0;
    for (int b = 0; b < band_count; ++b) {
        const texel_span span = box_columns(spans, band_count, b, reach, quad.columns);
        if (span.empty())
            continue;
        if (!band_box(project, quad, edges, band_count, b, span, reach, boxes[placed]))
            return -1;
        ++placed;
    }
    return placed;
}
