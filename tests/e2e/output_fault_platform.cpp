// The POSIX layer with an output file whose writes can be made to fail, for animconv_with_output_faults
// only: this build compiles src/platform/platform_posix.cpp with its writeFile and truncateFile renamed to
// posixWriteFile and posixTruncateFile, and puts these two in front of them. ANIMCONV_OUTPUT_FAULT chooses:
//   fail:N              the N-th file write writes nothing and fails
//   short:N             the N-th file write writes its first half and fails
//   fail:N:no-cutback   as fail:N, and every cut-back fails as well (likewise short:N:no-cutback)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace animconv::platform {

bool posixWriteFile(File file, const void* bytes, std::size_t count);
bool posixTruncateFile(File file, std::uint64_t length);

namespace {

struct Fault {
    bool parsed = false;
    char kind[8] = {};
    unsigned writeNumber = 0;
    bool failCutBack = false;
};

const Fault& fault() {
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

bool writeFile(File file, const void* bytes, std::size_t count) {
    const Fault& chosen = fault();
    if (++writesSoFar != chosen.writeNumber) {
        return posixWriteFile(file, bytes, count);
    }
    if (std::strcmp(chosen.kind, "short") == 0) {
        posixWriteFile(file, bytes, count / 2);
    }
    return false;
}

bool truncateFile(File file, std::uint64_t length) {
    return !fault().failCutBack && posixTruncateFile(file, length);
}

}  // namespace animconv::platform
