// Test seam for the output file, linked only into the test build animconv_with_output_faults. The linker
// (--wrap) routes the converter's calls of writeFile and truncateFile here; the production binary does not
// contain this file. ANIMCONV_OUTPUT_FAULT chooses the fault:
//   fail:N              the N-th file write writes nothing and fails
//   short:N             the N-th file write writes its first half and fails
//   fail:N:no-cutback   as fail:N, and every cut-back fails as well (likewise short:N:no-cutback)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

using animconv::platform::File;

extern "C" {
bool __real__ZN8animconv8platform9writeFileENS0_4FileEPKvm(File file, const void* bytes, std::size_t count);
bool __real__ZN8animconv8platform12truncateFileENS0_4FileEm(File file, std::uint64_t length);
}

namespace {

struct Fault {
    bool parsed = false;
    char kind[8] = {};
    unsigned writeNumber = 0;
    bool failCutBack = false;
};

Fault& fault() {
    static Fault chosen;
    if (!chosen.parsed) {
        chosen.parsed = true;
        const char* setting = std::getenv("ANIMCONV_OUTPUT_FAULT");
        char cutBack[16] = {};
        if (setting != nullptr &&
            std::sscanf(setting, "%7[a-z]:%u:%15s", chosen.kind, &chosen.writeNumber, cutBack) >= 2) {
            chosen.failCutBack = std::strcmp(cutBack, "no-cutback") == 0;
        }
    }
    return chosen;
}

unsigned writesSoFar = 0;

}  // namespace

extern "C" bool __wrap__ZN8animconv8platform9writeFileENS0_4FileEPKvm(File file, const void* bytes,
                                                                      std::size_t count) {
    const Fault& chosen = fault();
    if (++writesSoFar != chosen.writeNumber) {
        return __real__ZN8animconv8platform9writeFileENS0_4FileEPKvm(file, bytes, count);
    }
    if (std::strcmp(chosen.kind, "short") == 0) {
        __real__ZN8animconv8platform9writeFileENS0_4FileEPKvm(file, bytes, count / 2);
    }
    return false;
}

extern "C" bool __wrap__ZN8animconv8platform12truncateFileENS0_4FileEm(File file, std::uint64_t length) {
    if (fault().failCutBack) {
        return false;
    }
    return __real__ZN8animconv8platform12truncateFileENS0_4FileEm(file, length);
}
