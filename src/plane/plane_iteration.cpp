// The grid's iteration, z -> z * z + c in single precision. The 32-bit x87
// build compiles this file without -ffloat-store (src/CMakeLists.txt): the
// x87 unit rounds each result to the float result at 24-bit precision
// control, which saves a store and a load per operation. Why it rounds
// exactly here: a prepared point is active, so |z| < 5 and no product or
// sum comes near float's largest values, and |D + c| <= |c| + 50 cannot pass
// them either. A product may fall below float's least normal value, 2^-126,
// where float loses bits and the x87 unit does not; that changes nothing:
// with D = re * re - im * im, if the other product is at least 2^-100, the
// tiny one is below a quarter of its last place and D is the same; if not,
// |D| < 2^-99, and so is 2 * re * im in the same case, which is below a
// quarter of the last place of every grid value of at least 2^-64
// (least_grid_value), and D + c rounds to c both ways. A nonzero D + c is
// at least half c's last place, 2^-89, a normal float. Grids with a smaller
// or zero value (none of the saver's: its least is 2^-9.6) take the stores.
#include "plane/next_iterates.h"
#include "plane/plane_region.h"
#include "plane/x87_single_precision.h"

void plane_region::iterate_at_single_precision(const std::uint8_t* steps, const point_state* states,
                                               const complex_f* const slots[2], float c_re, const float* c_im,
                                               int first, int end, complex_f* next)
{
    // Inputs read and results written through memory, inside the guard.
    const x87_single_precision guard;
    iterate_rows(steps, states, active, slots, c_re, c_im, first, end, next);
}
