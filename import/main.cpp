// scanimport: instrument files to scan files for scanmerge.
#include <csignal>
#include <iostream>

#include "files/process.h"
#include "scanimport.h"

int main(int argc, char** argv) {
  if (!openstandardstreams()) return 1;
  removetempsonsignals();
  // past a file-size limit a write fails, and the run writes nothing,
  // instead of dying with a file cut short
  std::signal(SIGXFSZ, SIG_IGN);
  return scanimport(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
