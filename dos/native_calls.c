/* On the host the program is started with its own path as argument 0 (a test runs it under the
 * package's name), and the C library has everything else. */
#include "dos/dos_calls.h"

const char* OwnPath(const char* argument0) {
    return argument0;
}
