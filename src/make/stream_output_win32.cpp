// The Windows way of leaving the stream as it was: a temporary file beside it moved over it at the end
// (MoveFileExW), or an append under share mode 0 (no other handle on the file while we hold it) cut back to
// its starting length. Ctrl-C, Ctrl-Break and closing the console reach a console control handler, which
// runs on a thread of its own: it takes the same lock as every change of the undo state, undoes the output
// and ends the process (Ctrl-C and Ctrl-Break with 130, closing the console, logging off or shutting down
// with 143, as SIGINT and SIGTERM do on Linux).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "make/held_interrupts.h"
#include "make/stream_check.h"
#include "make/stream_output.h"
#include "platform/win32_text.h"

namespace animmake {
namespace {

using toolplatform::wideOf;

constexpr UINT kInterruptStatus = 130;
constexpr UINT kTerminateStatus = 143;

enum class Undo { nothing, removeTemporary, cutBack };

// Taken by HeldInterrupts and by the control handler; made before main runs.
struct UndoLock {
    UndoLock() { InitializeCriticalSection(&section); }
    CRITICAL_SECTION section;
} undoLock;
Undo undoKind = Undo::nothing;
HANDLE stream = INVALID_HANDLE_VALUE;
std::wstring temporaryPath;
std::wstring finalWidePath;
LARGE_INTEGER startLength{};
std::string finalPath;

// Called with the lock held, in the control handler too.
void undoOutput() {
    switch (undoKind) {
        case Undo::removeTemporary:
            CloseHandle(stream);
            stream = INVALID_HANDLE_VALUE;
            DeleteFileW(temporaryPath.c_str());
            break;
        case Undo::cutBack:
            // Nothing more can be done about a failed cut-back here.
            SetFilePointerEx(stream, startLength, nullptr, FILE_BEGIN);
            SetEndOfFile(stream);
            break;
        case Undo::nothing:
            break;
    }
    undoKind = Undo::nothing;
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    UINT status = kTerminateStatus;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        status = kInterruptStatus;
    }
    EnterCriticalSection(&undoLock.section);
    undoOutput();
    // No DLL detach and no waiting for the other threads: they may hold libvips' or the C library's locks.
    TerminateProcess(GetCurrentProcess(), status);
    return TRUE;
}

// The stream as it is, read whole, checked as on Linux.
bool readWholeStream(HANDLE handle, LARGE_INTEGER length, std::string& fault) {
    if (length.QuadPart == 0) {
        return true;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(length.QuadPart));
    } catch (const std::bad_alloc&) {
        fault = "cannot be read: not enough memory";
        return false;
    }
    std::size_t got = 0;
    while (got < bytes.size()) {
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1U << 30));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(got);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(got) >> 32);
        DWORD read = 0;
        if (ReadFile(handle, bytes.data() + got, part, &read, &at) == 0 || read == 0) {
            fault = "cannot be read: " + toolplatform::systemReason(GetLastError());
            return false;
        }
        got += read;
    }
    return isWholeStream(bytes.data(), bytes.size(), fault);
}

bool openForAppend(const std::string& path, std::string& error) {
    HeldInterrupts hold;
    const HANDLE handle = CreateFileW(wideOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION
                    ? path + ": the stream is locked by another run"
                    : path + ": cannot open the stream: " + toolplatform::systemReason(code);
        return false;
    }
    LARGE_INTEGER end{};
    if (SetFilePointerEx(handle, LARGE_INTEGER{}, &end, FILE_END) == 0) {
        error = path + ": cannot append to the stream: " + toolplatform::systemReason(GetLastError());
        CloseHandle(handle);
        return false;
    }
    std::string fault;
    if (!readWholeStream(handle, end, fault)) {
        error = path + ": " + fault + "; it was left as it was";
        CloseHandle(handle);
        return false;
    }
    stream = handle;
    startLength = end;
    undoKind = Undo::cutBack;
    return true;
}

bool openTemporary(const std::string& path, OutputMode mode, std::string& error) {
    const std::wstring widePath = wideOf(path);
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (GetFileAttributesExW(widePath.c_str(), GetFileExInfoStandard, &attributes) != 0) {
        if ((attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            error = path + ": the stream is a directory";
            return false;
        }
        if (mode == OutputMode::create && (attributes.nFileSizeHigh != 0 || attributes.nFileSizeLow != 0)) {
            error = path + ": the stream exists and is not empty (use -f to replace it, -a to append)";
            return false;
        }
    }
    HeldInterrupts hold;
    // A name of our own beside the stream: the process id and a counter, until one is free.
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::wstring candidate = widePath + L".animmake-" + std::to_wstring(GetCurrentProcessId()) +
                                       L"-" + std::to_wstring(attempt);
        const HANDLE handle = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            stream = handle;
            temporaryPath = candidate;
            finalWidePath = widePath;
            undoKind = Undo::removeTemporary;
            return true;
        }
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            error = path +
                    ": cannot create a temporary file beside the stream: " + toolplatform::systemReason(code);
            return false;
        }
    }
    error = path + ": cannot create a temporary file beside the stream: every name is taken";
    return false;
}

}  // namespace

struct HeldInterrupts::Saved {};

HeldInterrupts::HeldInterrupts() {
    EnterCriticalSection(&undoLock.section);
}

HeldInterrupts::~HeldInterrupts() {
    LeaveCriticalSection(&undoLock.section);
}

void installInterruptHandlers() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void takeInterrupts() {
    // Nothing is held until now: the control handler never runs on a thread that writes the stream.
}

bool openStream(const std::string& path, OutputMode mode, std::string& error) {
    finalPath = path;
    return mode == OutputMode::append ? openForAppend(path, error) : openTemporary(path, mode, error);
}

bool writeStreamFrame(const animconv::EncodedFrame& frame, std::string& error) {
    HeldInterrupts hold;  // a cut-back never races a write
    DWORD written = 0;
    if (WriteFile(stream, frame.bytes, static_cast<DWORD>(frame.length), &written, nullptr) == 0 ||
        written != frame.length) {
        const DWORD code = GetLastError();
        error = finalPath + ": cannot write the stream: " +
                (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL || written != frame.length
                     ? std::string("the disk is full")
                     : toolplatform::systemReason(code));
        return false;
    }
    return true;
}

bool finishStream(std::string& error) {
    HeldInterrupts hold;
    if (undoKind == Undo::cutBack) {
        undoKind = Undo::nothing;
        CloseHandle(stream);
        stream = INVALID_HANDLE_VALUE;
        return true;
    }
    if (FlushFileBuffers(stream) == 0) {
        error = finalPath + ": cannot write the stream: " + toolplatform::systemReason(GetLastError());
        undoOutput();
        return false;
    }
    CloseHandle(stream);
    stream = INVALID_HANDLE_VALUE;
    if (MoveFileExW(temporaryPath.c_str(), finalWidePath.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        error = finalPath + ": cannot replace the stream: " + toolplatform::systemReason(GetLastError());
        DeleteFileW(temporaryPath.c_str());
        undoKind = Undo::nothing;
        return false;
    }
    undoKind = Undo::nothing;
    return true;
}

void abandonStream() {
    HeldInterrupts hold;
    undoOutput();
    if (stream != INVALID_HANDLE_VALUE) {
        CloseHandle(stream);
        stream = INVALID_HANDLE_VALUE;
    }
}

}  // namespace animmake
