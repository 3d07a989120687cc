// Switches the machine off as the updater ends a completed update.
#include "hw/shutdown.h"

int main() {
    ShutdownSystem(EWX_POWEROFF);
    return 0;
}
