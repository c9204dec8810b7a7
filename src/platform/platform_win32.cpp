// Win32 implementation: KERNEL32 services only, no C runtime.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/platform.h"

namespace animconv::platform {
namespace {

HANDLE handleOf(File file) {
    return reinterpret_cast<HANDLE>(file.handle);
}

bool fitsOneRequest(std::size_t count) {
    return count <= MAXDWORD;
}

// SetFilePointer reports a failure only through the last error once a high part is passed along.
bool moveFilePointer(HANDLE handle, std::uint64_t offset, DWORD method, std::uint64_t& position) {
    LONG high = static_cast<LONG>(offset >> 32);
    ::SetLastError(NO_ERROR);
    const DWORD low = ::SetFilePointer(handle, static_cast<LONG>(offset & MAXDWORD), &high, method);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) {
        return false;
    }
    position = (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low;
    return true;
}

// Share mode 0 admits no other opener; without FILE_FLAG_BACKUP_SEMANTICS a directory fails to open.
FileIdentity identityOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (::GetFileInformationByHandle(handle, &information) == FALSE) {
        return {};
    }
    return {information.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow, true};
}

bool createFile(const char* path, DWORD access, DWORD disposition, File& file) {
    const HANDLE handle =
        ::CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    file.handle = reinterpret_cast<std::intptr_t>(handle);
    file.readsInPieces = ::GetFileType(handle) != FILE_TYPE_DISK;
    if (access == GENERIC_READ) {
        file.identity = identityOfHandle(handle);
    }
    return true;
}

}  // namespace

void prepareProcess() {
    // Nothing to prepare: a closed or missing standard output already makes WriteFile fail.
}

const char* rawCommandLine() {
    return ::GetCommandLineA();
}

bool writeStandardOutput(const void* bytes, std::size_t count) {
    // Asked for at each write, so that output redirected with SetStdHandle is followed.
    DWORD written = 0;
    return fitsOneRequest(count) &&
           ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, static_cast<DWORD>(count), &written,
                       nullptr) != FALSE &&
           written == count;
}

bool openForReading(const char* path, File& file) {
    return createFile(path, GENERIC_READ, OPEN_EXISTING, file);
}

// Opened with no access and every sharing, so that a file held by another opener is still recognised.
FileIdentity identityOf(const char* path) {
    const HANDLE handle = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    const FileIdentity identity = identityOfHandle(handle);
    ::CloseHandle(handle);
    return identity;
}

bool openForAppending(const char* path, File& file, std::uint64_t& endOffset) {
    if (!createFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, file)) {
        return false;
    }
    if (!moveFilePointer(handleOf(file), 0, FILE_END, endOffset)) {
        closeFile(file);
        return false;
    }
    return true;
}

std::size_t readFile(File file, void* buffer, std::size_t capacity) {
    auto* next = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < capacity) {
        const std::size_t left = capacity - total;
        DWORD got = 0;
        const DWORD request = fitsOneRequest(left) ? static_cast<DWORD>(left) : MAXDWORD;
        if (::ReadFile(handleOf(file), next + total, request, &got, nullptr) == FALSE || got == 0) {
            break;
        }
        total += got;
        if (!file.readsInPieces) {
            break;  // a disk file gives all it has to one request
        }
    }
    return total;
}

bool writeFile(File file, const void* bytes, std::size_t count) {
    DWORD written = 0;
    return fitsOneRequest(count) &&
           ::WriteFile(handleOf(file), bytes, static_cast<DWORD>(count), &written, nullptr) != FALSE &&
           written == count;
}

bool truncateFile(File file, std::uint64_t length) {
    std::uint64_t position = 0;
    return moveFilePointer(handleOf(file), length, FILE_BEGIN, position) &&
           ::SetEndOfFile(handleOf(file)) != FALSE;
}

void closeFile(File file) {
    ::CloseHandle(handleOf(file));
}

void* allocateMemory(std::size_t size) {
    return ::HeapAlloc(::GetProcessHeap(), 0, size);
}

void releaseMemory(void* block) {
    if (block != nullptr) {
        ::HeapFree(::GetProcessHeap(), 0, block);
    }
}

void exitProcess(int status) {
    // -1 reaches the system as 0xFFFFFFFF.
    ::ExitProcess(static_cast<UINT>(status));
}

}  // namespace animconv::platform
