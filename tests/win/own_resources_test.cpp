// The updater's own resources, read from the built QuorvinUpdate.exe beside the tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

HMODULE LoadUpdater() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, length);
    dir.resize(dir.find_last_of('\\') + 1);
    return LoadLibraryExA((dir + "QuorvinUpdate.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

std::string Text(HMODULE module, UINT id) {
    char buffer[512];
    int length = LoadStringA(module, id, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, length) : std::string();
}

TEST(OwnResources, StringTableHoldsIds1To55Except6) {
    HMODULE updater = LoadUpdater();
    ASSERT_NE(updater, nullptr);
    for (UINT id = 1; id <= 56; ++id) {
        bool present = !Text(updater, id).empty();
        EXPECT_EQ(present, id != 6 && id != 56) << "string " << id;
    }
    EXPECT_EQ(Text(updater, 18), "New BIOS Version      : ");
    EXPECT_EQ(Text(updater, 33), "Fail to create directory.");
    EXPECT_EQ(Text(updater, 34),
              "AC adapter is not connected.\n\nFor update, the AC adapter has to be connected.");
    EXPECT_EQ(Text(updater, 35),
              "There is no connected battery or the remaining charge\r\nlevel of the battery is "
              "lower than 30%%.\n\nCheck your battery.");
    EXPECT_EQ(Text(updater, 36),
              "This system's BIOS version is the latest.\n\nUpdate program will be terminated.");
    EXPECT_EQ(Text(updater, 37),
              "There is no connected AC adapter and battery or the remaining charge\r\nof the "
              "battery is lower than 30%%. \n\nCheck your AC adapter and battery.");
    EXPECT_EQ(Text(updater, 21),
              "The BIOS/MICOM model to be updated is different.\n\nCheck the program.\n\n "
              "Current Model (BIOS Part Number) : %s(%s)\n\n     New Model (BIOS Part Number) : "
              "%s(%s)");
    EXPECT_EQ(Text(updater, 16),
              " - This program updates the Flash ROM of the BIOS and the MICOM.\n\n - During "
              "update, the mouse and keyboard will not work properly.\n\n - Exit the running "
              "programs for stable update.\n\n - After completing the update, the system will "
              "be turned off, and turn on automatically.")
        << "longer than 255 characters: read whole only with the 512-byte limit";
    FreeLibrary(updater);
}

TEST(OwnResources, ManifestAsksForAdministratorAndVersionIsSet) {
    HMODULE updater = LoadUpdater();
    ASSERT_NE(updater, nullptr);
    HRSRC manifest = FindResourceA(updater, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    std::string text(static_cast<const char*>(LockResource(LoadResource(updater, manifest))),
                     SizeofResource(updater, manifest));
    EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(FindResourceA(updater, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)), nullptr);
    FreeLibrary(updater);
}

}  // namespace
