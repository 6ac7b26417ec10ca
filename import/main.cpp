// scanimport: instrument files to scan files for scanmerge.
#include <iostream>

#include "scanimport.h"

int main(int argc, char** argv) {
  return scanimport(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
