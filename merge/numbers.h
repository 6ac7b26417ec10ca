// The numbers of a data row, converted as the format "%f %f %f %f %f %f %f %f"
// converts them.
#pragma once

// isspace in the C locale: what separates numbers and column names
inline bool isspace_c(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

// Converts up to eight numbers from the start of line, a NUL-terminated row
// with no LF before its end, into v, 32-bit. Returns what
// std::sscanf(line, "%f %f %f %f %f %f %f %f", ...) returns: the count
// converted, or EOF where the line holds nothing but whitespace.
int convertrow(const char* line, float v[8]);

// convertrow for rows of plain numbers only ([-]digits[.digits], the way
// rows are written), which it converts where they lie, with no NUL after
// the LF; stop is left where it stopped: at the LF or NUL that ends the
// text, or after the eighth number. Returns notplain, with v and stop
// undefined, where a token is anything else.
constexpr int notplain = -2;
int convertplain(const char* text, float v[8], const char*& stop);
