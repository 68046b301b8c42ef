// make_export RECORDS FILE: writes a generated KART export of RECORDS records.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "export_generator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_export RECORDS FILE\n");
    return 2;
  }
  unsigned long records = std::strtoul(argv[1], nullptr, 10);
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  std::string chunk;
  for (unsigned long i = 0; i < records; ++i) {
    appendRecord(chunk, static_cast<std::uint32_t>(i));
    if (chunk.size() > (1 << 20) || i + 1 == records) {
      if (std::fwrite(chunk.data(), 1, chunk.size(), file) != chunk.size()) {
        std::perror(argv[2]);
        return 1;
      }
      chunk.clear();
    }
  }
  if (std::fclose(file) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
