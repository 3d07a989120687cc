// Brings the access driver up on the simulated notebook of a profile, in a process of its own,
// because a driver that never comes up in VEXA or KMDFMEMIO mode ends the process.
//
//   hw_probe PROFILE.json     prints every OS call as it happens, then "acquired 0|1"
#include <cstdio>
#include <fstream>
#include <sstream>

#include "hw/access_driver.h"
#include "tests/win/os_fake.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: hw_probe PROFILE.json\n");
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
    printf("acquired %d\n", AcquireAccessDriver() ? 1 : 0);
    return 0;
}
