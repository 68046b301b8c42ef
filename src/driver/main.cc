#include <new>

#include "driver/driver.h"
#include "io/text_file.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::prepareProcess();
  try {
    return runKartconv(platform::commandWords(argc, argv));
  } catch (const std::bad_alloc&) {
    // The temporary file goes, and the run ends as any failed operation does.
    endWithRuntimeError(platform::outOfMemoryError(), "allocate", "");
  }
}
