// Runs the project's plane and the reference plane side by side through a
// whole life (96 cycles of 30 steps, then two cycles past the end) and checks,
// step by step, that they agree bit for bit: every record field of every
// point the step touched, the escape decision of every point at every whole
// pass, and every byte of the published picture.
//
// plane_comparison [--passes N] [--every-step]
//   --passes N    stop after N whole passes (default: the whole life)
//   --every-step  compare the whole grid after every step, not only the
//                 columns a prepare step handled
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plane/plane_region.h"
#include "plane/plane_texture.h"
#include "reference_plane.h"

namespace {

struct bounds {
    const char* name;
    plane_rectangle rectangle;
};

// The saver's region, and a lattice of step 1/64 whose points are exact
// binary fractions: it holds c = 0, 1, -1, -2, i (fixed points and 2-cycles
// reached exactly, logarithms of 0 and 1), |c| = 5 exactly, and corners that
// have escaped before the first pass.
const bounds regions[] = {
    {"saver region", saver_rectangle},
    {"binary lattice", {-6.0, -4.0, -6.0 + 679.0 / 64.0, -4.0 + 509.0 / 64.0}},
};

class comparison {
public:
    comparison(const bounds& region_bounds, bool compare_every_step)
        : where(region_bounds), every_step(compare_every_step), project(region_bounds.rectangle),
          reference(
              static_cast<float>(region_bounds.rectangle.re_min), static_cast<float>(region_bounds.rectangle.im_min),
              static_cast<float>(region_bounds.rectangle.re_max), static_cast<float>(region_bounds.rectangle.im_max)),
          project_picture(project), reference_picture(reference)
    {}

    // Returns the number of mismatches found.
    long run(int passes)
    {
        step_name = "construction";
        compare_points(0, project.columns);
        compare_pictures();
        for (int pass = 1; pass <= passes; ++pass) {
            for (int phase = 1; phase <= 29; ++phase) {
                step_name = "pass " + std::to_string(pass) + ", phase " + std::to_string(phase);
                const int first = project.prepare_cursor;
                project.prepare_pass(phase / 29.0);
                reference.prepare_pass(phase / 29.0);
                // As the scene composes the coming picture; every third
                // pass stops halfway, so that the pass composes the rest.
                if (pass % 3 != 0 || phase <= 14)
                    project_picture.compose_ahead();
                check(project.prepare_cursor == reference.prepare_cursor, "prepare_cursor");
                if (every_step)
                    compare_points(0, project.columns);
                else
                    compare_points(first, reference.prepare_cursor);
                ++steps;
            }
            step_name = "whole pass " + std::to_string(pass);
            record_steps_before();
            project.advance_pass();
            reference.advance_pass();
            project_picture.recolour();
            reference_picture.recolour();
            check(project.pass_count == reference.pass_count, "pass_count");
            check(project.prepare_cursor == reference.prepare_cursor, "prepare_cursor");
            compare_escape_decisions();
            compare_points(0, project.columns);
            compare_pictures();
            ++steps;
        }
        return mismatches;
    }

    void summary(int passes) const
    {
        std::printf("%s: %d whole passes, %ld steps; compared %ld records, %ld picture bytes and %ld escape "
                    "decisions (%ld of them skips): %s\n",
                    where.name, passes, steps, records, picture_bytes, decisions, skips,
                    mismatches == 0 ? "bit-identical" : "MISMATCHES");
        std::printf("%s: digest of the project's pictures and escape decisions %016llx\n", where.name,
                    static_cast<unsigned long long>(digest));
    }

private:
    // The two records have the same fields in the same order and no padding,
    // so that equal bytes mean equal fields.
    static_assert(sizeof(iterated_point) == 7 * sizeof(complex_f) + sizeof(std::int32_t), "padded record");
    static_assert(sizeof(reference::point) == sizeof(iterated_point), "records differ in layout");

    static bool same_bits(complex_f a, complex_f b) { return std::memcmp(&a, &b, sizeof a) == 0; }

    void check(bool agrees, const char* what)
    {
        if (agrees)
            return;
        if (++mismatches <= 20)
            std::printf("%s, %s: %s differs\n", where.name, step_name.c_str(), what);
    }

    void check_field(complex_f mine, complex_f theirs, const char* field, int i, int j)
    {
        if (same_bits(mine, theirs))
            return;
        if (++mismatches <= 20)
            std::printf("%s, %s: column %d row %d: %s is (%.9g, %.9g), reference (%.9g, %.9g)\n", where.name,
                        step_name.c_str(), i, j, field, static_cast<double>(mine.real()),
                        static_cast<double>(mine.imag()), static_cast<double>(theirs.real()),
                        static_cast<double>(theirs.imag()));
    }

    void compare_points(int first_column, int end_column)
    {
        for (int i = first_column; i < end_column; ++i)
            for (int j = 0; j < project.rows; ++j) {
                const iterated_point mine = project.point(i, j);
                const reference::point& theirs =
                    reference.grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                ++records;
                if (std::memcmp(&mine, &theirs, sizeof mine) == 0)
                    continue;
                check_field(mine.z, theirs.z, "z", i, j);
                check_field(mine.start, theirs.start, "start", i, j);
                check_field(mine.c, theirs.c, "c", i, j);
                check_field(mine.drawn, theirs.drawn, "drawn", i, j);
                check_field(mine.ratio, theirs.ratio, "ratio", i, j);
                check_field(mine.next, theirs.next, "next", i, j);
                check_field(mine.next_ratio, theirs.next_ratio, "next_ratio", i, j);
                if (mine.steps != theirs.steps && ++mismatches <= 20)
                    std::printf("%s, %s: column %d row %d: steps %d, reference %d\n", where.name, step_name.c_str(), i,
                                j, mine.steps, theirs.steps);
            }
    }

    void record_steps_before()
    {
        steps_before.clear();
        for (const auto& column : reference.grid)
            for (const auto& p : column)
                steps_before.push_back(p.steps);
    }

    // A point took part in the pass exactly when its steps went up.
    void compare_escape_decisions()
    {
        std::size_t k = 0;
        for (int i = 0; i < project.columns; ++i)
            for (int j = 0; j < project.rows; ++j, ++k) {
                const bool reference_advanced =
                    reference.grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)].steps != steps_before[k];
                const bool project_advanced = project.steps_at(k) != steps_before[k];
                fold(project_advanced ? 1 : 0);
                ++decisions;
                if (!reference_advanced)
                    ++skips;
                if (project_advanced != reference_advanced && ++mismatches <= 20)
                    std::printf("%s, %s: column %d row %d: the project %s the point, the reference %s\n", where.name,
                                step_name.c_str(), i, j, project_advanced ? "advanced" : "skipped",
                                reference_advanced ? "advanced" : "skipped");
            }
    }

    void compare_pictures()
    {
        check(project_picture.pixels_changed == reference_picture.pixels_changed, "pixels_changed");
        check(project_picture.pixels.size() == reference_picture.pixels.size(), "picture size");
        for (std::size_t b = 0; b < project_picture.pixels.size() && b < reference_picture.pixels.size(); ++b) {
            if (project_picture.pixels[b] != reference_picture.pixels[b] && ++mismatches <= 20) {
                const std::size_t texel = b / 4;
                std::printf("%s, %s: image row %zu texel %zu byte %zu is %d, reference %d\n", where.name,
                            step_name.c_str(), texel / static_cast<std::size_t>(project.columns),
                            texel % static_cast<std::size_t>(project.columns), b % 4, project_picture.pixels[b],
                            reference_picture.pixels[b]);
            }
            ++picture_bytes;
        }
        for (const std::uint8_t byte : project_picture.pixels)
            fold(byte);
    }

    // FNV-1a over every picture byte and escape decision of the project's
    // life, so that builds with different compilers and maths libraries
    // (native, 64-bit and 32-bit Windows) can be compared with each other.
    void fold(std::uint8_t byte) { digest = (digest ^ byte) * 0x100000001B3u; }

    const bounds& where;
    const bool every_step;
    plane_region project;
    reference::region reference;
    plane_texture project_picture;
    reference::texture reference_picture;
    std::string step_name;
    std::vector<std::int32_t> steps_before;
    long mismatches = 0;
    long steps = 0;
    long records = 0;
    long picture_bytes = 0;
    long decisions = 0;
    long skips = 0;
    std::uint64_t digest = 0xCBF29CE484222325u;
};

}  // namespace

int main(int argc, char** argv)
{
    // Two cycles past the 96th pass: nothing may change there.
    int passes = plane_region::max_passes + 2;
    bool every_step = false;
    for (int a = 1; a < argc; ++a) {
        const std::string option = argv[a];
        if (option == "--passes" && a + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++a], &end, 10);
            if (*end != '\0' || value < 0 || value > 1000) {
                std::fprintf(stderr, "--passes needs a whole number from 0 to 1000\n");
                return 2;
            }
            passes = static_cast<int>(value);
        } else if (option == "--every-step") {
            every_step = true;
        } else {
            std::fprintf(stderr, "usage: plane_comparison [--passes N] [--every-step]\n");
            return 2;
        }
    }

    long mismatches = 0;
    for (const bounds& where : regions) {
        comparison run(where, every_step);
        mismatches += run.run(passes);
        run.summary(passes);
        std::fflush(stdout);
    }
    return mismatches == 0 ? 0 : 1;
}
