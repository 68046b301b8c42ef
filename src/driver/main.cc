#include <new>
#include <string>

#include "driver/driver.h"
#include "io/text_file.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::prepareProcess();
  try {
    return runKartconv(platform::commandWords(argc, argv));
  } catch (const std::bad_alloc&) {
    // The run is gone with its stack: its temporary file goes as it does
    // when the run is interrupted, and the run ends as a failed operation.
    platform::removeTemporaryOnInterrupt();
    Failure failure{platform::outOfMemoryError(), "allocate", ""};
    std::string line = runtimeErrorLine(failure) + "\r\n";
    platform::writeAll(platform::standardError(), line.data(), line.size());
    return exitCodeOf(failure.error);
  }
}
