// SHA-256 (FIPS 180-4), for the run's record of the files it read and wrote.
#pragma once

#include <string>

// The digest of text as 64 lower-case hex digits.
std::string sha256hex(const std::string& text);
