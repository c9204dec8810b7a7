// UTF-8 text and the UTF-16 of the Windows API, for the tools' Windows code.
#pragma once

#include <windows.h>

#include <string>

namespace toolplatform {

std::wstring wideOf(const std::string& utf8);
std::string utf8OfWide(const wchar_t* wide, int length);  // length -1: up to the NUL

// The name for the system's wide calls: as it is, or whole with the \\?\ prefix when it is too long for
// the plain form (Windows refuses those unless long paths are switched on for the whole system).
std::wstring systemPathOf(const std::string& utf8);

// The system's text for an error code (GetLastError), one line of UTF-8 without the final full stop.
std::string systemReason(DWORD error);

}  // namespace toolplatform
