// The housekeeping lists on a directory holding the whole package plus leftovers.
#include "package/housekeeping.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/run_context.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"

namespace {

// The 37 files of the package, then what a run leaves or makes beside them.
const char* const kPackage[] = {
    "NP35XA01.wph",     "AddMem.sys",        "AFUWIN.exe",        "afuwinx64.exe",
    "amifldrv32.sys",   "amifldrv64.sys",    "amifldrv.vxd",      "UiLangChs.dll",
    "UiLangChs_ami.dll", "UiLangCht.dll",    "UiLangCht_ami.dll", "UiLangEn.dll",
    "UiLangEn_ami.dll", "UiLangFr.dll",      "UiLangFr_ami.dll",  "UiLangGr.dll",
    "UiLangGr_ami.dll", "UiLangKr.dll",      "UiLangKr_ami.dll",  "UiLangPo.dll",
    "UiLangPo_ami.dll", "UiLangRu.dll",      "UiLangRu_ami.dll",  "UiLangSp.dll",
    "UiLangSp_ami.dll", "mfc42.dll",         "msvcp60.dll",       "msvcrt.dll",
    "PHLASH_32.INI",    "PHLASH_64.INI",     "PhlashLc_32.dll",   "PhlashLc_64.dll",
    "PhlashNT_32.sys",  "PhlashNT_64.sys",   "SWinFlash_32.exe",  "SWinFlash_64.exe",
    "TarpexV01_10.exe"};
const char* const kLeftovers[] = {"bios.wph", "kbc.bin",  "KB3501.bin", "newSys.bin",
                                  "bios.bak", "PHLASH.LOG", "ReadRomFile.bin", "DebugLog.txt"};

std::set<std::string> Lowered(const std::vector<std::string>& names) {
    std::set<std::string> lowered;
    for (std::string name : names) {
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        lowered.insert(name);
    }
    return lowered;
}

std::vector<std::string> Files() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*", &found);
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void Populate() {
    MakeScratchDir(true);
    for (const char* name : kPackage) std::ofstream(name) << name;
    for (const char* name : kLeftovers) std::ofstream(name) << name;
}

void ListNames(NameList* list, std::vector<const char*> names) {
    *list = NameList{};
    for (const char* name : names) strcpy(list->slots[list->count++], name);
}

std::set<std::string> Without(const std::vector<std::string>& all,
                              const std::vector<std::string>& gone) {
    std::set<std::string> left = Lowered(all);
    for (const std::string& name : Lowered(gone)) left.erase(name);
    return left;
}

std::vector<std::string> Everything() {
    std::vector<std::string> all(std::begin(kPackage), std::end(kPackage));
    all.insert(all.end(), std::begin(kLeftovers), std::end(kLeftovers));
    return all;
}

TEST(Housekeeping, EveryDeletionList) {
    struct Case {
        const char* what;
        void (*operation)();
        std::vector<std::string> deleted;
    };
    const Case cases[] = {
        {"Phoenix", DeletePhoenixFiles, {"bios.wph", "bios.bak", "newSys.bin"}},
        {"AMI", DeleteAmiFiles,
         {"AFUWIN.exe", "afuwinx64.exe", "amifldrv32.sys", "amifldrv64.sys", "amifldrv.vxd"}},
        {"Phoenix 64", DeletePhoenix64Files,
         {"SWinFlash_64.exe", "PhlashNT_64.sys", "PhlashLc_64.dll", "PHLASH_64.INI"}},
        {"Phoenix 32", DeletePhoenix32Files,
         {"SWinFlash_32.exe", "PhlashNT_32.sys", "PhlashLc_32.dll", "PHLASH_32.INI"}},
        {"MICOM", DeleteMicomFiles, {"TarpexV01_10.exe", "kbc.bin"}},
        {"access driver", [] { DeleteAccessDriverFile(); }, {"AddMem.sys"}},
        {"flasher log", [] { DeletePhlashLog(); }, {"PHLASH.LOG"}},
        {"languages", DeleteLanguageFiles,
         {"UiLangChs.dll", "UiLangChs_ami.dll", "UiLangCht.dll", "UiLangCht_ami.dll",
          "UiLangEn.dll", "UiLangEn_ami.dll", "UiLangFr.dll", "UiLangFr_ami.dll", "UiLangGr.dll",
          "UiLangGr_ami.dll", "UiLangKr.dll", "UiLangKr_ami.dll", "UiLangPo.dll",
          "UiLangPo_ami.dll", "UiLangRu.dll", "UiLangRu_ami.dll", "UiLangSp.dll",
          "UiLangSp_ami.dll"}},
        {"listed and runtime", DeleteListedAndRuntimeFiles,
         {"NP35XA01.wph", "KB3501.bin", "mfc42.dll", "msvcp60.dll", "msvcrt.dll"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Populate();
        ListNames(&g_run.images, {"NP35XA01.wph", "BIOS.WPH"});
        ListNames(&g_run.micomFiles, {"KB3501.bin", "Kbc.Bin"});
        c.operation();
        EXPECT_EQ(Lowered(Files()), Without(Everything(), c.deleted));
    }
}

TEST(Housekeeping, GenericFlasherNamesPerBitness) {
    struct Case {
        void (*operation)();
        const char* bits;
    };
    // Windows 98 and Me export MoveFileExA as a stub that fails: the same names come about.
    for (bool nt : {true, false})
    for (const Case& c : {Case{UsePhoenix32Files, "_32"}, Case{UsePhoenix64Files, "_64"}}) {
        SCOPED_TRACE(std::string(c.bits) + (nt ? "" : " on Windows 98"));
        Populate();
        std::ofstream("SWinFlash.exe") << "an earlier run's";
        g_fakeOs = FakeOs{};
        g_fakeOs.profile.windows.nt = nt;
        c.operation();
        g_fakeOs = FakeOs{};
        std::vector<std::string> gone = {"SWinFlash_32.exe", "PhlashNT_32.sys", "PhlashLc_32.dll",
                                         "PHLASH_32.INI",    "SWinFlash_64.exe", "PhlashNT_64.sys",
                                         "PhlashLc_64.dll",  "PHLASH_64.INI"};
        std::set<std::string> expected = Without(Everything(), gone);
        for (const char* generic : {"swinflash.exe", "phlashnt.sys", "phlashlc.dll", "phlash.ini"}) {
            expected.insert(generic);
        }
        EXPECT_EQ(Lowered(Files()), expected);
        EXPECT_EQ(ReadWholeFile("SWinFlash.exe"), std::string("SWinFlash") + c.bits + ".exe");
        EXPECT_EQ(ReadWholeFile("PHLASH.INI"), std::string("PHLASH") + c.bits + ".INI");
        EXPECT_EQ(ReadWholeFile("DebugLog.txt").find("Rename"), std::string::npos)
            << "a missing PHLASH_32.LOG is no fault";
    }
    // What cannot take the name keeps it, and the file that could not be renamed is logged.
    Populate();
    CreateDirectoryA("SWinFlash.exe", nullptr);
    UsePhoenix32Files();
    EXPECT_EQ(ReadWholeFile("PHLASH.INI"), "PHLASH_32.INI");
    EXPECT_NE(ReadWholeFile("DebugLog.txt").find("Rename : SWinFlash_32.exe to SWinFlash.exe failed (error "),
              std::string::npos);
    RemoveDirectoryA("SWinFlash.exe");
}

TEST(Housekeeping, FullCleanUpLeavesOnlyTheReadOutAndTheLog) {
    Populate();
    ListNames(&g_run.images, {"NP35XA01.wph"});
    ListNames(&g_run.micomFiles, {"KB3501.bin"});
    UsePhoenix32Files();
    DeleteExtractedFiles();
    EXPECT_EQ(Lowered(Files()), Lowered({"ReadRomFile.bin", "DebugLog.txt"}));
}

// Whatever stands where the working directory goes is removed whole, or the run is refused.
TEST(Housekeeping, SweepRemovesWhateverStandsThereWhole) {
    enum class Held { Nothing, AFileInside };
    struct Case {
        const char* what;
        bool directory;
        Held held;
        int result;
    };
    const Case cases[] = {
        {"a directory with files, a read-only one and a subdirectory", true, Held::Nothing, 0},
        {"a file in its place", false, Held::Nothing, 0},
        {"a file inside held open by another program", true, Held::AFileInside, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeScratchDir(true);
        std::string path = "__Quorvin_Update";
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.directory) {
            CreateDirectoryA(path.c_str(), nullptr);
            CreateDirectoryA((path + "\\sub").c_str(), nullptr);
            for (const char* name : {"\\kbc.bin", "\\bios.wph", "\\sub\\deep.txt"}) std::ofstream(path + name) << name;
            SetFileAttributesA((path + "\\bios.wph").c_str(), FILE_ATTRIBUTE_READONLY);
            SetFileAttributesA((path + "\\sub\\deep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
            if (c.held == Held::AFileInside) {
                held = CreateFileA((path + "\\kbc.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            }
        } else {
            std::ofstream(path) << "a file";
        }
        EXPECT_EQ(SweepWorkingDirectory(path.c_str()), c.result);
        EXPECT_EQ(GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES, c.result == 0);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        std::string log = ReadWholeFile("DebugLog.txt");
        for (const char* name : {"bios.wph", "sub"}) {
            EXPECT_EQ(log.find(std::string("DeleteDirectoryFile : ") + name + " is Deleted\r\n") != std::string::npos,
                      c.directory)
                << name;
        }
        EXPECT_EQ(log.find("DeleteDirectoryFile : kbc.bin is Deleted") != std::string::npos, c.directory && c.result == 0)
            << "only what went is logged as deleted";
    }
}

}  // namespace
