// The faults the 32-bit checks must find, planted: imports that one old
// system lacks (IsDebuggerPresent: Windows 95; GetSystemPowerStatus: NT 4.0)
// or all of them (GetTickCount64) and, built with -msse2 -mfpmath=sse,
// instructions above the i686 floor of each kind: single precision on SSE,
// double precision on SSE2 and integer arithmetic on MMX (written out: with
// SSE2 at hand the compiler moves MMX intrinsics to %xmm). Declared here
// rather than from a header, so that no target Windows version in the build
// can hide the functions.
extern "C" __declspec(dllimport) unsigned long long __stdcall GetTickCount64();
extern "C" __declspec(dllimport) int __stdcall IsDebuggerPresent();
extern "C" __declspec(dllimport) int __stdcall GetSystemPowerStatus(void* status);

int main(int argc, char**)
{
    volatile double scale = 1.5;
    volatile float ratio = 0.75f;
    const double value = scale * argc + 0.25;
    const float single = ratio * static_cast<float>(argc) + 0.5f;
    int doubled = 0;
    asm volatile("movd %1, %%mm0\n\tpaddw %%mm0, %%mm0\n\tmovd %%mm0, %0\n\temms" : "=r"(doubled) : "r"(argc) : "mm0");
    unsigned char power_status[12] = {};
    return static_cast<int>(value) + static_cast<int>(single) + doubled + static_cast<int>(GetTickCount64() & 1u) +
           IsDebuggerPresent() + GetSystemPowerStatus(power_status);
}
