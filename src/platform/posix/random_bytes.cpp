// The system's randomness from /dev/urandom, which every POSIX system of
// ours has and which never blocks once the system has started.
#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.h"

bool FillRandomBytes(unsigned char* bytes, int count) {
    int source = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        return false;
    }
    int got = 0;
    while (got < count) {
        ssize_t read = ::read(source, bytes + got, (size_t)(count - got));
        if (read <= 0) {
            break;
        }
        got += (int)read;
    }
    close(source);
    return got == count;
}
