// UTF-8 inside the program, UTF-16 at the Windows calls.
#pragma once

#include <string>

// The UTF-16 form of a UTF-8 text; invalid bytes become U+FFFD.
std::wstring win32_wide(const std::string& text);
// The UTF-8 form of a UTF-16 text.
std::string win32_utf8(const std::wstring& text);
