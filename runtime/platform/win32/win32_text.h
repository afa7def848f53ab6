// UTF-8 inside the program, UTF-16 at the Windows calls.
#pragma once

#include <string>

// The UTF-16 form of a UTF-8 text; invalid bytes become U+FFFD.
std::wstring win32_wide(const std::string& text);
// The UTF-8 form of a UTF-16 text.
std::string win32_utf8(const std::wstring& text);
// A file's name (UTF-8, either separator) as the wide-character calls take it:
// beyond MAX_PATH, the "\\?\" form of its full path, which every Windows
// opens whether or not long paths are enabled.
std::wstring win32_file_path(const char* name);
// Moves the file from onto to, replacing it; a target held open for a moment by
// another reader (another copy of the game loading it) is waited for, a little.
// 0 on failure, with errno saying why.
int win32_replace_file(const std::wstring& from, const std::wstring& to);
