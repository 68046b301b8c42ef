// make_export RECORDS FILE [unique]: writes a generated KART export of RECORDS
// records; with "unique" every record has a key of its own (see Keys).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "export_generator.h"

int main(int argc, char** argv) {
  bool unique = argc == 4 && std::strcmp(argv[3], "unique") == 0;
  char* end = nullptr;
  unsigned long records = argc >= 3 ? std::strtoul(argv[1], &end, 10) : 0;
  if (argc < 3 || argc > 4 || (argc == 4 && !unique) || end == argv[1] || *end != '\0' ||
      records > 0xFFFFFFFFul) {
    std::fprintf(stderr, "usage: make_export RECORDS FILE [unique]\n");
    return 2;
  }
  Keys keys = unique ? Keys::Unique : Keys::Repeating;
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  std::string chunk;
  for (unsigned long i = 0; i < records; ++i) {
    appendRecord(chunk, static_cast<std::uint32_t>(i), keys);
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
