#include "runtime/core/strings.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

std::string split_field(const std::string& text, int index, char sep) {
  if (index < 1) return "";
  size_t start = 0;
  for (int i = 1; i < index; i++) {
    size_t at = text.find(sep, start);
    if (at == std::string::npos) return "";
    start = at + 1;
  }
  size_t end = text.find(sep, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int count_of(const std::string& text, char sep) {
  int n = 0;
  for (char c : text) n += c == sep;
  return n;
}

static int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

int text_value(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) i++;
  unsigned base = 10;
  bool negative = false;
  if (i < text.size() && text[i] == '$') {
    base = 16, i++;
  } else if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-', i++;
  }
  // Wraps like a 32-bit register rather than overflowing.
  uint32_t v = 0;
  for (; i < text.size(); i++) {
    int d = digit_value(text[i]);
    if (d >= (int)base) break;
    v = v * base + (uint32_t)d;
  }
  return (int)(negative ? 0u - v : v);
}

int hex_value(const std::string& digits) { return text_value("$" + digits); }

std::string number_text(long long n) { return std::to_string(n); }

int trunc_int(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return (int)v;
}

void str_assign(char** dst, const char* src) {
  char* copy = src ? strdup(src) : nullptr;
  free(*dst);
  *dst = copy;
}

void str_release(char** s) {
  free(*s);
  *s = nullptr;
}
