// Text helpers shared by the runtime and the game.
#pragma once

#include <string>

// Field index (from 1) of text split at sep; "" beyond the last field.
std::string split_field(const std::string& text, int index, char sep);
// How often sep occurs in text.
int count_of(const std::string& text, char sep);
// The integer value of a text: optional sign and decimal digits, or "$" and
// hexadecimal digits; reading stops at the first other character, no digits give 0.
int text_value(const std::string& text);
// text_value of "$" + digits: the hexadecimal value of a caption colour field.
int hex_value(const std::string& digits);
// Decimal text of n, no leading zeros or spaces.
std::string number_text(long long n);
// Float to int, truncating toward zero; values beyond the int range saturate.
int trunc_int(double v);

// Owned C strings in zero-filled records: replaces *dst with a copy of src.
void str_assign(char** dst, const char* src);
void str_release(char** s);
