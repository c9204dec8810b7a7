// The Windows process start without a C runtime: animconv.exe imports KERNEL32.dll alone.
// The entry takes the command line from GetCommandLineA itself (through main), so nothing here prepares
// arguments; the few C library routines the compiler and the shared code call are provided below.
#include <cstddef>

#include "platform/platform.h"

// main, reached under another name: ISO C++ does not let a program call main directly.
extern "C" int animconvMain(int count, char** values) __asm__("main");

extern "C" [[noreturn]] void animconvStart() {
    animconv::platform::exitProcess(animconvMain(0, nullptr));
}

// The compiler's constructor runner (__main) registers the destructors here. The process always ends in
// ExitProcess, which runs no such handlers on any runtime, so none are kept.
extern "C" int atexit(void (*)()) {
    return 0;
}

// Byte loops: the inputs are a few kilobytes at most. The build compiles this file with the loop idiom
// recognition off, so these loops are not turned back into calls to themselves.
extern "C" void* memcpy(void* destination, const void* source, std::size_t count) {
    auto* to = static_cast<unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    for (std::size_t i = 0; i < count; ++i) {
        to[i] = from[i];
    }
    return destination;
}

extern "C" void* memmove(void* destination, const void* source, std::size_t count) {
    auto* to = static_cast<unsigned char*>(destination);
    const auto* from = static_cast<const unsigned char*>(source);
    if (to < from) {
        for (std::size_t i = 0; i < count; ++i) {
            to[i] = from[i];
        }
    } else {
        for (std::size_t i = count; i > 0; --i) {
            to[i - 1] = from[i - 1];
        }
    }
    return destination;
}

extern "C" void* memset(void* destination, int value, std::size_t count) {
    auto* to = static_cast<unsigned char*>(destination);
    for (std::size_t i = 0; i < count; ++i) {
        to[i] = static_cast<unsigned char>(value);
    }
    return destination;
}

extern "C" int memcmp(const void* left, const void* right, std::size_t count) {
    const auto* a = static_cast<const unsigned char*>(left);
    const auto* b = static_cast<const unsigned char*>(right);
    for (std::size_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

extern "C" void* memchr(const void* bytes, int value, std::size_t count) {
    const auto* at = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < count; ++i) {
        if (at[i] == static_cast<unsigned char>(value)) {
            return const_cast<unsigned char*>(at + i);
        }
    }
    return nullptr;
}

extern "C" std::size_t strlen(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

extern "C" int strcmp(const char* left, const char* right) {
    const auto* a = reinterpret_cast<const unsigned char*>(left);
    const auto* b = reinterpret_cast<const unsigned char*>(right);
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b ? 0 : (*a < *b ? -1 : 1);
}
