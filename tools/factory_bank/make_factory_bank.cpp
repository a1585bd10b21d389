// Bank maker: koralin-make-bank PROGRAMS.txt BANK.fxb writes the factory programs as the embedded bank file.
#include <cstdio>
#include <exception>
#include <fstream>

#include "tools/factory_bank/bank_writer.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PROGRAMS.txt BANK.fxb\n", argc > 0 ? argv[0] : "koralin-make-bank");
    return 2;
  }
  try {
    const std::vector<uint8_t> file = bank::bankFile(bank::readProgramsFile(argv[1]));
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), (std::streamsize)file.size());
    out.close();
    if (!out) {
      std::fprintf(stderr, "koralin-make-bank: cannot write %s\n", argv[2]);
      std::remove(argv[2]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "koralin-make-bank: %s\n", e.what());
    return 1;
  }
  return 0;
}
