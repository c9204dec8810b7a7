#include <windows.h>

#include "toolkit/replacing_file.h"
#include "toolkit/translation.h"
#include "toolkit/win32_text.h"

namespace toolkit {
namespace {

HANDLE handleOf(FileHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// On a thread of its own; the process ends with it, as on Linux.
BOOL WINAPI removeAndEnd(DWORD event) {
    filesteps::removeAllNow();
    TerminateProcess(GetCurrentProcess(), event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 143);
    return TRUE;
}

}  // namespace

struct RemovedOnInterrupt::Saved {};

RemovedOnInterrupt::RemovedOnInterrupt(const ReplacingFile& file) : saved_(std::make_unique<Saved>()) {
    filesteps::lookAfter(&file);
    SetConsoleCtrlHandler(removeAndEnd, TRUE);
}

RemovedOnInterrupt::~RemovedOnInterrupt() {
    SetConsoleCtrlHandler(removeAndEnd, FALSE);
    filesteps::stopLookingAfter();
}

void ReplacingFile::removeNow() const {
    if (handle_ != kNoFile) {
        CloseHandle(handleOf(handle_));
    }
    if (pending_) {
        DeleteFileW(toolplatform::wideOf(temporary_).c_str());
    }
}

namespace filesteps {

namespace {

// Marks the open file to be deleted when its last handle closes (however the process ends), or clears it.
bool markDeleted(HANDLE handle, bool deleted) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// A temporary file held open by its run admits no other opener, so a name of the pattern that can be
// deleted was left by a run that died (between its creation and its mark, or its renaming).
void removeDeadLeftovers(const std::wstring& widePath, const std::wstring& wideTag) {
    const std::wstring pattern = widePath + wideTag + L"*";
    const std::size_t slash = widePath.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : widePath.substr(0, slash + 1);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
            DeleteFileW((folder + found.cFileName).c_str());
        }
    } while (FindNextFileW(search, &found) != 0);
    FindClose(search);
}

}  // namespace

// A name of our own beside the file: the process id and a counter, until one is free.
bool createBeside(const std::string& path, const char* tag, FileHandle& handle, std::string& temporary,
                  FileFailure& failure) {
    failure.step = FileStep::create;
    const std::wstring widePath = toolplatform::wideOf(path);
    const std::wstring wideTag = toolplatform::wideOf(tag);
    removeDeadLeftovers(widePath, wideTag);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::wstring suffix = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
        const HANDLE created = CreateFileW((widePath + wideTag + suffix).c_str(), GENERIC_WRITE | DELETE, 0,
                                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            // Best effort: where the mark is refused, a dead run's file is removed by the next run.
            markDeleted(created, true);
            handle = reinterpret_cast<FileHandle>(created);
            temporary = path + tag + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
            return true;
        }
        const DWORD code = GetLastError();
        if (code == ERROR_PATH_NOT_FOUND) {
            failure.reason = _("the folder does not exist");
            return false;
        }
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            failure.reason = toolplatform::systemReason(code);
            return false;
        }
    }
    failure.reason = _("every name is taken");
    return false;
}

// Unmarked, closed and moved by name: between the two a kill leaves it named, for the next run to remove.
bool putInPlace(FileHandle handle, const std::string& path, const char*, std::string& temporary,
                volatile bool& pending, bool toDisk, FileFailure& failure) {
    const HANDLE file = handleOf(handle);
    const auto fail = [&](FileStep step, DWORD code) {
        failure.step = step;
        failure.reason = toolplatform::systemReason(code);
        DeleteFileW(toolplatform::wideOf(temporary).c_str());
        pending = false;
        return false;
    };
    if (toDisk && FlushFileBuffers(file) == 0) {
        const DWORD code = GetLastError();
        CloseHandle(file);
        return fail(FileStep::write, code);
    }
    const bool kept = markDeleted(file, false);
    const DWORD markCode = GetLastError();
    CloseHandle(file);
    if (!kept) {
        return fail(FileStep::replace, markCode);
    }
    if (MoveFileExW(toolplatform::wideOf(temporary).c_str(), toolplatform::wideOf(path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        return fail(FileStep::replace, GetLastError());
    }
    pending = false;
    return true;
}

bool writeAll(FileHandle handle, const void* bytes, std::size_t size, std::string& reason) {
    DWORD written = 0;
    if (WriteFile(handleOf(handle), bytes, static_cast<DWORD>(size), &written, nullptr) == 0 ||
        written != size) {
        const DWORD code = GetLastError();
        reason = code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL || written != size
                     ? std::string(_("the disk is full"))
                     : toolplatform::systemReason(code);
        return false;
    }
    return true;
}

bool flushAndClose(FileHandle handle, bool toDisk, std::string& reason) {
    const bool flushed = !toDisk || FlushFileBuffers(handleOf(handle)) != 0;
    const DWORD code = GetLastError();
    CloseHandle(handleOf(handle));
    if (!flushed) {
        reason = toolplatform::systemReason(code);
        return false;
    }
    return true;
}

bool renameOver(const std::string& from, const std::string& to, std::string& reason) {
    if (MoveFileExW(toolplatform::wideOf(from).c_str(), toolplatform::wideOf(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        reason = toolplatform::systemReason(GetLastError());
        return false;
    }
    return true;
}

void removeFile(const std::string& path) {
    DeleteFileW(toolplatform::wideOf(path).c_str());
}

void closeFile(FileHandle handle) {
    CloseHandle(handleOf(handle));
}

}  // namespace filesteps
}  // namespace toolkit
