// Runs the program's own port and memory requests on the simulated notebook, in whatever mode
// the Windows version chooses, and prints what came back: the relay path for every request
// family, which the update sequence reaches only in later steps.
#include <cstdio>

#include "hw/access_driver.h"
#include "hw/requests.h"

int main() {
    ProbeWindowsVersion();
    if (!AcquireAccessDriver()) {
        printf("no driver\n");
        return 1;
    }
    CmosWrite(0x2C, 0x5A);
    CmosWriteHigh(0x10, 0xA5);
    IoPortWrite8(0x70, 0x2C);
    printf("cmos %02X\n", IoPortRead8(0x71));
    IoPortWrite8(0x72, 0x10);
    printf("cmos-high %02X\n", IoPortRead8(0x73));
    printf("pm-base %08X\n", PciConfigRead32(0, 31, 0, 0x40));
    IoPortWrite16(0x430, 0xBEEF);
    printf("smi-enable %04X\n", IoPortRead16(0x430));
    printf("devel %llX\n", static_cast<unsigned long long>(PhysMemFind(0xF0000, 0x10000, "DEVEL", 1)));
    char patch[2] = {'Q', 'V'};
    PhysMemWrite(0xFFF00000, 2, patch);
    char back[2] = {};
    PhysMemRead(0xFFF00000, 2, back);
    printf("flash %c%c\n", back[0], back[1]);
    KbcWriteCommand(0x20);
    printf("kbc-command-byte %02X\n", KbcReadData());
    ReleaseAccessDriver();
    return 0;
}
