#include "validator/StandardDescriptors.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

void reserveStandardDescriptors() {
  const int modes[] = {O_RDONLY, O_RDONLY, O_WRONLY};
  for (int descriptor = 0; descriptor < 3; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    // open() returns the lowest free number, which is this one: the lower
    // ones are open by now.
    const int opened = open("/dev/null", modes[descriptor]);
    if (opened != -1 && opened != descriptor) {
      close(opened);
    }
  }
}
