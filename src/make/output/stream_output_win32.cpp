// The Windows steps of the stream output: a temporary file renamed over the stream (in the toolkit), for
// an append after a copy of the old stream held under share mode 0 (no other handle on it while we hold
// it, up to the rename). Ctrl-C, Ctrl-Break and closing the console reach a console control
// handler, which runs on a thread of its own: it takes the same lock as every change of the output, undoes it
// and ends the process (Ctrl-C and Ctrl-Break with 130, closing the console, logging off or shutting down
// with 143, as SIGINT and SIGTERM do on Linux).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "make/output/stream_check.h"
#include "make/output/stream_output.h"
#include "make/output/stream_output_os.h"
#include "toolkit/held_interrupts.h"
#include "toolkit/translation.h"
#include "toolkit/win32_text.h"

namespace animmake::output {
namespace {

constexpr UINT kInterruptStatus = 130;
constexpr UINT kTerminateStatus = 143;

const StreamOutput* undone = nullptr;

HANDLE handleOf(toolkit::FileHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    UINT status = kTerminateStatus;
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        status = kInterruptStatus;
    }
    // Every change of the output happens with interrupts held: this waits for the one under way.
    const toolkit::HeldInterrupts held;
    if (undone != nullptr) {
        undone->undoNow();
    }
    // No DLL detach and no waiting for the other threads: they may hold libvips' or the C library's locks.
    TerminateProcess(GetCurrentProcess(), status);
    return TRUE;
}

}  // namespace

void installInterruptHandlers() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void takeInterrupts() {
    // Nothing is held until now: the control handler never runs on a thread that writes the stream.
}

namespace streamos {

void setInterruptUndo(const StreamOutput* output) {
    undone = output;
}

bool examine(const std::string& path, bool& directory, std::uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (GetFileAttributesExW(toolplatform::wideOf(path).c_str(), GetFileExInfoStandard, &attributes) == 0) {
        return false;
    }
    directory = (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size = (std::uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
    return true;
}

std::string linkedFile(const std::string& path) {
    return path;
}

Opened openLocked(const std::string& path, toolkit::FileHandle& handle, std::string& reason) {
    const HANDLE opened = CreateFileW(toolplatform::wideOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
            return Opened::locked;
        }
        reason = toolplatform::systemReason(code);
        return Opened::failed;
    }
    handle = reinterpret_cast<toolkit::FileHandle>(opened);
    return Opened::yes;
}

void releaseForReplacing(toolkit::FileHandle& held) {
    if (held != toolkit::kNoFile) {
        CloseHandle(handleOf(held));
        held = toolkit::kNoFile;
    }
}

bool seekToEnd(toolkit::FileHandle handle, std::uint64_t& length, std::string& reason) {
    LARGE_INTEGER end{};
    if (SetFilePointerEx(handleOf(handle), LARGE_INTEGER{}, &end, FILE_END) == 0) {
        reason = toolplatform::systemReason(GetLastError());
        return false;
    }
    length = static_cast<std::uint64_t>(end.QuadPart);
    return true;
}

// The stream as it is, read whole, checked as on Linux.
bool holdsWholeStream(toolkit::FileHandle handle, std::uint64_t length, std::string& fault) {
    if (length == 0) {
        return true;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        fault = _("cannot be read: not enough memory");
        return false;
    }
    std::size_t got = 0;
    while (got < bytes.size()) {
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1U << 30));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(got);
        at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(got) >> 32);
        DWORD read = 0;
        if (ReadFile(handleOf(handle), bytes.data() + got, part, &read, &at) == 0 || read == 0) {
            fault = _("cannot be read: ") + toolplatform::systemReason(GetLastError());
            return false;
        }
        got += read;
    }
    return isWholeStream(bytes.data(), bytes.size(), fault);
}

bool copyStream(toolkit::FileHandle from, std::uint64_t length, toolkit::FileHandle into,
                std::string& reason) {
    static char chunk[1 << 16];
    for (std::uint64_t done = 0; done < length;) {
        const DWORD part = static_cast<DWORD>(std::min<std::uint64_t>(sizeof chunk, length - done));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        at.OffsetHigh = static_cast<DWORD>(done >> 32);
        DWORD got = 0;
        if (ReadFile(handleOf(from), chunk, part, &got, &at) == 0 || got == 0) {
            reason = got == 0 ? std::string(_("the stream got shorter"))
                              : toolplatform::systemReason(GetLastError());
            return false;
        }
        if (!toolkit::filesteps::writeAll(into, chunk, got, reason)) {
            return false;
        }
        done += got;
    }
    return true;
}

}  // namespace streamos
}  // namespace animmake::output
