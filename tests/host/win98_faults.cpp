// The two faults the 32-bit checks must find, planted: an import Windows 98
// lacks and, built with -msse2 -mfpmath=sse, double arithmetic in SSE2
// instructions. Declared here rather than from a header, so that no target
// Windows version in the build can hide the function.
extern "C" __declspec(dllimport) unsigned long long __stdcall GetTickCount64();

int main(int argc, char**)
{
    volatile double scale = 1.5;
    const double value = scale * argc + 0.25;
    return static_cast<int>(value) + static_cast<int>(GetTickCount64() & 1u);
}
