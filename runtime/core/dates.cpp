#include "runtime/core/dates.h"

#include "runtime/platform/plat_core.h"

#include <cctype>
#include <cstring>

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
static int64_t days_from_civil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Date date_from_parts(const DateParts& p) {
  int64_t seconds =
      days_from_civil(p.year, p.month, p.day) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
  return (Date)seconds;
}

DateParts date_parts(Date date) {
  if (date < 0) return DateParts{};
  int64_t days = date / 86400, rest = date % 86400;
  int64_t z = days + 719468;
  int64_t era = z / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int day = (int)(doy - (153 * mp + 2) / 5 + 1);
  int month = (int)(mp < 10 ? mp + 3 : mp - 9);
  int year = (int)(yoe + era * 400 + (month <= 2));
  return DateParts{year, month, day, (int)(rest / 3600), (int)(rest / 60 % 60), (int)(rest % 60)};
}

Date date_now() {
  PlatLocalTime t;
  plat_local_time(&t);
  return date_from_parts(DateParts{t.year, t.month, t.day, t.hour, t.minute, t.second});
}

static bool token_at(const char* s, const char* token) {
  for (; *token; s++, token++)
    if (tolower((unsigned char)*s) != *token) return false;
  return true;
}

static void append_two(std::string& out, int v) {
  out += (char)('0' + v / 10 % 10);
  out += (char)('0' + v % 10);
}

std::string date_format(const char* mask, Date date) {
  std::string out;
  if (!mask) return out;
  DateParts p = date_parts(date);
  for (const char* s = mask; *s;) {
    if (*s != '%') {
      out += *s++;
      continue;
    }
    const char* t = s + 1;
    if (token_at(t, "yyyy")) {
      append_two(out, p.year / 100);
      append_two(out, p.year % 100);
      s = t + 4;
    } else if (token_at(t, "yy")) {
      append_two(out, p.year % 100);
      s = t + 2;
    } else if (token_at(t, "mm")) {
      append_two(out, p.month), s = t + 2;
    } else if (token_at(t, "dd")) {
      append_two(out, p.day), s = t + 2;
    } else if (token_at(t, "hh")) {
      append_two(out, p.hour), s = t + 2;
    } else if (token_at(t, "ii")) {
      append_two(out, p.minute), s = t + 2;
    } else if (token_at(t, "ss")) {
      append_two(out, p.second), s = t + 2;
    } else {
      out += '%';
      s = t;
    }
  }
  return out;
}

int64_t file_size(const char* path) {
  if (!path || !*path) return -1;
  // The whole path: one cut at Windows' old 260 characters would name another file.
  std::string copy(path);
  // "C:" and "C:\" name drives, which this platform does not have.
  if ((copy.size() == 2 || copy.size() == 3) && copy[1] == ':') return -1;
  while (copy.size() > 1 && (copy.back() == '\\' || copy.back() == '/')) copy.pop_back();
  int64_t size = 0;
  switch (plat_file_kind(copy.c_str(), &size)) {
  case PLAT_FILE: return size;
  case PLAT_FOLDER: return -2;
  default: return -1;
  }
}
