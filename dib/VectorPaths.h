#pragma once
// Which vector instructions the pixel loops use. The 256-bit forms are chosen at run time
// when the processor has them (not in Windows builds, where the compiler does not keep
// the stack aligned for spilled 256-bit values); 128-bit SSE2 forms are always there on
// x86-64. Tests switch the 256-bit forms off to check the 128-bit ones on any machine.

#if defined(__x86_64__) && !defined(_WIN32) && defined(__GNUC__)
#define MOIRELLE_HAVE_AVX2_PATHS 1
#endif

namespace moirelle {

// True when the 256-bit forms run: the processor has AVX2 and they are allowed.
bool Use256BitPaths();
// Allows (the default) or forbids the 256-bit forms.
void Allow256BitPaths(bool allow);

} // namespace moirelle
