// Small whole files the game keeps beside its art: written in one go through
// the platform's file layer, so a failed write never leaves half a file.
#pragma once

#include <string>

// Writes bytes as the file name (a temporary file renamed into place); 0 when
// it could not be written, the old file then left as it was.
int small_file_write(const char* name, const std::string& bytes);
// 1 when name is a regular file.
int small_file_exists(const char* name);
