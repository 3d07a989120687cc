// Brings the access driver up on the simulated notebook of a profile, in a process of its own,
// because a driver that never comes up in VEXA or KMDFMEMIO mode ends the process.
//
//   hw_probe PROFILE.json        prints every OS call as it happens, then "acquired 0|1"
//   hw_probe PROFILE.json lost   the same after mouse and keyboard were taken, with the driver
//                                gone meanwhile, as when it is stopped mid-run
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/run_end.h"
#include "firmware/input_suppression.h"
#include "hw/access_driver.h"
#include "tests/win/os_fake.h"

int main(int argc, char** argv) {
    bool lost = argc == 3 && std::string(argv[2]) == "lost";
    if (argc != 2 && !lost) {
        fprintf(stderr, "usage: hw_probe PROFILE.json [lost]\n");
        return 2;
    }
    std::ifstream file(argv[1]);
    std::stringstream text;
    text << file.rdbuf();
    std::string error;
    if (!ParseProfile(text.str(), &g_fakeOs.profile, &error)) {
        fprintf(stderr, "hw_probe: %s\n", error.c_str());
        return 2;
    }
    g_fakeOs.echo = true;
    ProbeWindowsVersion();
    if (lost) {
        // Input back at the end, as the program's own end routine gives it back first.
        SetEndRoutine(RestoreInput);
        SuppressInput();
        g_fakeOs.profile.drivers.vexa = g_fakeOs.profile.drivers.kmdf = false;
    }
    printf("acquired %d\n", AcquireAccessDriver() ? 1 : 0);
    return 0;
}
