#include "driver/driver.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::prepareProcess();
  return runKartconv(platform::commandWords(argc, argv));
}
