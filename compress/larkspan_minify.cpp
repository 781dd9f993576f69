// larkspan-minify: the markup compressor's command line (see
// compress/uMinifyCommand.h); htmlcompressor.jar runs it.
#include <iostream>
#include <string>
#include <vector>

#include "compress/uMinifyCommand.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return larkspan::RunMinifyCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                    std::cerr);
}
