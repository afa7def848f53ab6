// Dates as seconds from 1970-01-01 00:00:00 counted at face value (no time zone),
// their formatting, and the file size probe.
#pragma once

#include <cstdint>
#include <string>

typedef int32_t Date;

struct DateParts {
  int year, month, day, hour, minute, second;
};

// The local calendar date and clock time now, seconds only.
Date date_now();
// The Date of a calendar date and clock time (proleptic Gregorian, 86400 s a day).
Date date_from_parts(const DateParts& parts);
// The calendar breakdown of a Date; a negative Date breaks down to all zeros.
DateParts date_parts(Date date);
// The mask with %yyyy %yy %mm %dd %hh %ii %ss (any case) replaced; "" for a null mask.
std::string date_format(const char* mask, Date date);
// Size in bytes of the file a path names; -1 for nothing (or a drive name: there
// are no drives here), -2 for a folder. "\" separates folders like "/".
int64_t file_size(const char* path);
