// For the tests under wine 8 only, never shipped: wine lacks bcryptprimitives.dll, which libvips-42.dll
// imports for ProcessPrng (Windows 10 and later have it). This stand-in forwards to RtlGenRandom.
#include <windows.h>

#include <ntsecapi.h>

extern "C" __declspec(dllexport) BOOL WINAPI ProcessPrng(PBYTE data, SIZE_T size) {
    while (size > 0) {
        const ULONG part = size > 0x10000000 ? 0x10000000UL : static_cast<ULONG>(size);
        if (!RtlGenRandom(data, part)) {
            return FALSE;
        }
        data += part;
        size -= part;
    }
    return TRUE;
}
