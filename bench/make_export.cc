// make_export RECORDS FILE [unique] [utf8|cp437]: writes a generated KART
// export of RECORDS records; with "unique" every record has a key of its own
// (see Keys); "utf8" or "cp437" writes every letter in that encoding instead
// of the mixed bytes (see Encoding).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "export_generator.h"

int main(int argc, char** argv) {
  Keys keys = Keys::Repeating;
  Encoding encoding = Encoding::Mixed;
  bool known = argc >= 3 && argc <= 5;
  for (int i = 3; known && i < argc; ++i) {
    if (std::strcmp(argv[i], "unique") == 0 && keys == Keys::Repeating) {
      keys = Keys::Unique;
    } else if (std::strcmp(argv[i], "utf8") == 0 && encoding == Encoding::Mixed) {
      encoding = Encoding::Utf8;
    } else if (std::strcmp(argv[i], "cp437") == 0 && encoding == Encoding::Mixed) {
      encoding = Encoding::Cp437;
    } else {
      known = false;
    }
  }
  char* end = nullptr;
  unsigned long records = argc >= 3 ? std::strtoul(argv[1], &end, 10) : 0;
  if (!known || end == argv[1] || *end != '\0' || records > 0xFFFFFFFFul) {
    std::fprintf(stderr, "usage: make_export RECORDS FILE [unique] [utf8|cp437]\n");
    return 2;
  }
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  std::string chunk;
  for (unsigned long i = 0; i < records; ++i) {
    appendRecord(chunk, static_cast<std::uint32_t>(i), keys, encoding);
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
