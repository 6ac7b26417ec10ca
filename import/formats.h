// The table of instrument formats: each with its -f name, how its content is
// told apart, and its reader; xylib reads the rest.
#pragma once

#include <string>

// The -f name of the table's format whose content data is ("" where none);
// data may be the whole file or its first bytes, but a zip archive is told
// apart only from the whole file.
std::string detectformat(const std::string& data);
// Whether name is the -f name of one of the table's formats.
bool formatname(const std::string& name);
// The table's -f names and descriptions, one a line, for the help.
std::string formatlist();
