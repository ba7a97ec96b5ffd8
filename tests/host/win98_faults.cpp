// The faults the 32-bit checks must find, planted: imports that one old
// system lacks (IsDebuggerPresent: Windows 95; GetSystemPowerStatus: NT 4.0)
// or all of them (GetTickCount64) and, built with -msse2 -mfpmath=sse, double
// arithmetic in SSE2 instructions. Declared here rather than from a header,
// so that no target Windows version in the build can hide the functions.
extern "C" __declspec(dllimport) unsigned long long __stdcall GetTickCount64();
extern "C" __declspec(dllimport) int __stdcall IsDebuggerPresent();
extern "C" __declspec(dllimport) int __stdcall GetSystemPowerStatus(void* status);

int main(int argc, char**)
{
    volatile double scale = 1.5;
    const double value = scale * argc + 0.25;
    unsigned char power_status[12] = {};
    return static_cast<int>(value) + static_cast<int>(GetTickCount64() & 1u) + IsDebuggerPresent() +
           GetSystemPowerStatus(power_status);
}
