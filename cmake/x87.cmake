# Code generation for every 32-bit x86 build (the Windows saver and the
# 32-bit Linux build of the core): any i686-class processor, the x87 unit
# only (no MMX, SSE or SSE2, which Windows 95, 98 first edition and NT 4.0
# do not save across task switches). The x87 unit keeps intermediate
# results wider than they are written; with the precision control at 53
# bits (set at start-up and by every thread that computes), storing each
# float result rounds it to exactly the single-precision result, and
# -ffloat-store makes every assignment such a store. GCC (12) goes further
# than the option promises: it keeps no float intermediate in a register
# either, so that a*b + c*d rounds each product too
# (iterated_point.square_rounds_each_product_to_single_precision checks it).
# The stores cost time; src/CMakeLists.txt names the two files built
# without them, and why they need none.
set(VELMORA_X87_FLAGS "-march=i686 -mtune=generic -mfpmath=387 -ffloat-store")
