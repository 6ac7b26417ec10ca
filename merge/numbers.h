// The numbers of a data row, converted as the format "%f %f %f %f %f %f %f %f"
// converts them.
#pragma once

// isspace in the C locale: what separates numbers and column names
inline bool isspace_c(char ch) {
  return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

// Converts up to eight numbers from the start of line into v, 32-bit.
// Returns what std::sscanf(line, "%f %f %f %f %f %f %f %f", ...) returns:
// the count converted, or EOF where the line holds nothing but whitespace.
int convertrow(const char* line, float v[8]);
