// The 32-bit x86 program's first act: a processor without SSE2 (before the
// Pentium 4) gets one line saying so and exit status 1, rather than
// "Illegal instruction" at the first SSE2 instruction of main. The figures
// come from SSE2 arithmetic (x87's wider registers would change them), so
// there is no slower path to fall back on. This file alone is compiled for
// the plain i686 baseline, and runs before any other constructor.
#include <cpuid.h>
#include <unistd.h>

namespace {

constexpr char NEEDS_SSE2[] = "quorvast: this program needs a processor with SSE2 (a Pentium 4 or later)\n";

bool has_sse2() {
  unsigned int eax = 0;
  unsigned int ebx = 0;
  unsigned int ecx = 0;
  unsigned int edx = 0;
  // A processor without CPUID (before the late 486s) has no SSE2 either.
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0;
}

// Priority 101, the earliest an application may take: before the C++
// library's and the program's own initialisation.
__attribute__((constructor(101))) void refuse_without_sse2() {
  if (!has_sse2()) {
    const ssize_t written = ::write(STDERR_FILENO, NEEDS_SSE2, sizeof NEEDS_SSE2 - 1);
    (void)written;  // nowhere left to report a failure

    ::_exit(1);
  }
}

}  // namespace
