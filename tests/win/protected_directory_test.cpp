// The working place on a real file system: what is made, entered, removed and left alone, and
// the owner and DACL read back through its handle. Wine keeps no security descriptor of its
// own (it maps one onto the Unix mode bits and reads back its own making), so the fake OS keeps
// what is set on a file and hands it back, as Windows does. Wine keeps no DACL of its own: it maps the one it is given onto the
// Unix mode bits and reads those back (SYSTEM, the owner, Everyone), so the read-back shows here
// who besides SYSTEM, Administrators and the owner may write, and whether Everyone gets anything.
// Links in the path are refused in the e2e tier, where the Linux side can plant them.
#include "package/protected_directory.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/run_context.h"
#include "hw/access_driver.h"
#include "package/administrators_folder.h"
#include "package/run_lock.h"
#include "platform/os.h"
#include "tests/win/os_fake.h"
#include "tests/win/scratch.h"

namespace {

std::string CurrentDirectory() {
    char directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    return std::string(directory, length);
}

constexpr DWORD kWriting = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                           DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                           GENERIC_ALL;

// The grants of path's DACL, read back, that let Everyone do anything or anyone but SYSTEM,
// Administrators and the owner write: each as "SID mask".
std::vector<std::string> GrantsToOthers(const std::string& path) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR security = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                              &dacl, nullptr, &security) != ERROR_SUCCESS) {
        return {"<unreadable>"};
    }
    std::vector<std::string> grants;
    if (dacl == nullptr) grants.push_back("<no DACL: everyone may do anything>");
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
            ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) {
            continue;
        }
        PSID sid = &ace->SidStart;
        bool everyone = IsWellKnownSid(sid, WinWorldSid);
        bool trusted = EqualSid(sid, owner) || IsWellKnownSid(sid, WinLocalSystemSid) ||
                       IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
        if (everyone || (!trusted && (ace->Mask & kWriting) != 0)) {
            char* text = nullptr;
            ConvertSidToStringSidA(sid, &text);
            grants.push_back(std::string(text ? text : "?") + " " + std::to_string(ace->Mask));
            LocalFree(text);
        }
    }
    LocalFree(security);
    return grants;
}

const char kOwnProtection[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

bool MakeDirectoryWith(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR security = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &security, nullptr)) return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, security, FALSE};
    bool made = CreateDirectoryA(path.c_str(), &attributes) != 0;
    LocalFree(security);
    return made;
}

std::vector<std::string> Entries(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// The owner and DACL of what the handle holds, as SDDL, asked as the program asks.
std::string SecurityOf(HANDLE handle) {
    auto get = reinterpret_cast<decltype(&GetKernelObjectSecurity)>(
        reinterpret_cast<void*>(OsGetProcAddress("advapi32.dll", "GetKernelObjectSecurity")));
    BYTE security[4096];
    DWORD needed = 0;
    char* text = nullptr;
    if (!get(handle, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, security, sizeof security, &needed) ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(
            security, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return "<unreadable>";
    }
    std::string sddl = text;
    LocalFree(text);
    return sddl;
}

// What stood under the parent before: this program's earlier place goes; a directory anyone may
// use, a file, a link to a place of ours elsewhere and the random name drawn first stay as they
// were, never entered.
std::vector<std::string> g_visited;  // the earlier places handed to the program, and whether they stood

TEST(WorkingPlace, MadeAnewBesideWhatStoodThere) {
    g_fakeOs = FakeOs{};
    g_visited.clear();
    SetEarlierPlaceRoutine([](const char* path) { g_visited.push_back(std::string(path) + (IsDirectory(path) ? " stood" : "")); });
    std::string parent = MakeScratchDir(false);
    char earlier[MAX_PATH];
    HANDLE earlierHeld = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(MakeProtectedPlace(parent.c_str(), earlier, sizeof earlier, &earlierHeld));
    CloseHandle(earlierHeld);
    std::ofstream(std::string(earlier) + "ReadRomFile.bin") << "rom";
    ASSERT_TRUE(MakeDirectoryWith(parent + "\\__Quorvin_UpdateOpen", "D:(A;OICI;FA;;;WD)"));
    std::ofstream(parent + "\\__Quorvin_UpdateOpen\\keep.txt") << "mine";
    std::ofstream(parent + "\\__Quorvin_UpdateFile") << "mine";
    std::string elsewhere = MakeScratchDir(false);
    char linked[MAX_PATH];
    HANDLE linkedHeld = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(MakeProtectedPlace(elsewhere.c_str(), linked, sizeof linked, &linkedHeld));
    CloseHandle(linkedHeld);
    std::ofstream(std::string(linked) + "kbc.bin") << "theirs";
    ASSERT_TRUE(CreateDirectoryA((parent + "\\__Quorvin_UpdateLINK").c_str(), nullptr));
    g_fakeOs.links[parent + "\\__Quorvin_UpdateLINK"] = linked;
    ASSERT_TRUE(MakeDirectoryWith(parent + "\\__Quorvin_Update0000000000000000", "D:(A;OICI;FA;;;WD)"));
    std::ofstream(parent + "\\__Quorvin_Update0000000000000000\\keep.txt") << "drawn first";
    g_fakeOs.randomBytes = {0, 0, 0, 0, 0, 0, 0, 0, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11};

    char place[MAX_PATH];
    HANDLE held = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(MakeProtectedPlace(parent.c_str(), place, sizeof place, &held));
    std::string made = place;
    EXPECT_EQ(made, parent + "\\__Quorvin_Update1111111111111111\\") << "a name that stands is never taken";
    EXPECT_EQ(ReadWholeFile(parent + "\\__Quorvin_Update0000000000000000\\keep.txt"), "drawn first");
    RemoveEarlierPlaces(parent.c_str(), "__Quorvin_Update1111111111111111");
    EXPECT_EQ(CurrentDirectory() + "\\", made);
    EXPECT_EQ(SecurityOf(held), kOwnProtection);
    EXPECT_EQ(GrantsToOthers(made), std::vector<std::string>{});

    EXPECT_FALSE(IsDirectory(earlier)) << "an earlier place of ours is removed";
    EXPECT_EQ(g_visited, std::vector<std::string>{std::string(earlier, strlen(earlier) - 1) + " stood"})
        << "our own earlier place is handed over before it goes, no other";
    SetEarlierPlaceRoutine(nullptr);
    EXPECT_EQ(ReadWholeFile(parent + "\\__Quorvin_UpdateOpen\\keep.txt"), "mine");
    EXPECT_EQ(ReadWholeFile(parent + "\\__Quorvin_UpdateFile"), "mine");
    EXPECT_TRUE(IsDirectory(parent + "\\__Quorvin_UpdateLINK")) << "a link is neither followed nor removed";
    EXPECT_EQ(ReadWholeFile(std::string(linked) + "kbc.bin"), "theirs");

    char again[MAX_PATH];
    HANDLE second = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(MakeProtectedPlace(parent.c_str(), again, sizeof again, &second));
    EXPECT_NE(std::string(again), made) << "every run draws its own name";
    EXPECT_TRUE(IsDirectory(made)) << "a place in use stays: its handle keeps it";
    CloseHandle(second);
    CloseHandle(held);
}

// Without the calls that protect and name it, an NT makes no place at all.
TEST(WorkingPlace, RefusedWithoutTheSecurityOrRandomCalls) {
    for (const char* missing : {"SetKernelObjectSecurity", "CryptGenRandom"}) {
        SCOPED_TRACE(missing);
        g_fakeOs = FakeOs{};
        g_fakeOs.missingFunctions = {missing};
        std::string parent = MakeScratchDir(false);
        std::string before = CurrentDirectory();
        char place[MAX_PATH];
        HANDLE held = INVALID_HANDLE_VALUE;
        EXPECT_FALSE(MakeProtectedPlace(parent.c_str(), place, sizeof place, &held));
        EXPECT_EQ(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(CurrentDirectory(), before) << "nothing entered";
        EXPECT_EQ(Entries(parent), std::vector<std::string>{}) << "nothing made";
    }
    g_fakeOs = FakeOs{};
}

// One run at a time, by a file of the Windows directory that nobody but administrators can make:
// what another run holds, or a leftover that is not ours, refuses the run; named objects that
// anyone may create decide nothing. The place is made under the Windows directory's Temp.
TEST(WorkingPlace, OneRunAtATime) {
    g_fakeOs = FakeOs{};
    g_run = RunContext{};
    char windows[MAX_PATH];
    ASSERT_NE(SystemWindowsDirectory(windows, sizeof windows), 0u);
    std::string lock = std::string(windows) + "\\QuorvinUpdate.lock";
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Global\\QuorvinUpdateRun");
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "QuorvinUpdateRun");
    ASSERT_TRUE(mutex != nullptr && event != nullptr);
    ASSERT_TRUE(MakeOwnPlace());
    std::string log = std::string(g_run.workingDirectory) + "DebugLog.txt";
    EXPECT_EQ(std::string(g_run.workingDirectory).rfind(std::string(windows) + "\\Temp\\__Quorvin_Update", 0), 0u)
        << g_run.workingDirectory;

    HANDLE left = CreateFileA(lock.c_str(), GENERIC_READ | WRITE_DAC | WRITE_OWNER, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(left, INVALID_HANDLE_VALUE);
    CloseHandle(left);
    EXPECT_FALSE(ClaimWorkingPlace()) << "a leftover lock that is not ours";
    EXPECT_NE(ReadWholeFile(log).find("is not this program's one-run lock"), std::string::npos) << ReadWholeFile(log);
    EXPECT_NE(ReadWholeFile(lock), "<missing>") << "what is not ours stays";

    // Ours, as a power loss leaves it, but held by another run.
    left = CreateFileA(lock.c_str(), GENERIC_READ | WRITE_DAC | WRITE_OWNER, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    PSECURITY_DESCRIPTOR own = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(kOwnProtection, SDDL_REVISION_1, &own, nullptr));
    auto set = OsLookup<decltype(&SetKernelObjectSecurity)>("advapi32.dll", "SetKernelObjectSecurity");
    ASSERT_TRUE(set(left, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, own));
    LocalFree(own);
    EXPECT_FALSE(ClaimWorkingPlace());
    EXPECT_NE(ReadWholeFile(log).find("another update is running"), std::string::npos) << ReadWholeFile(log);
    CloseHandle(left);

    ASSERT_TRUE(ClaimWorkingPlace()) << ReadWholeFile(log);
    EXPECT_EQ(ReadWholeFile(lock), "<missing>") << "held without sharing";
    CloseHandle(mutex);
    CloseHandle(event);
    CloseHandle(g_run.workingDirectoryHeld);
    g_run = RunContext{};
}

// Where users are not kept apart the place is TEMP's, swept; what GetVersion is made to say
// moves nothing, and is logged beside the kind of Windows.
TEST(WorkingPlace, UnderTempOnlyWhereUsersAreNotKeptApart) {
    struct Case {
        const char* what;
        bool nt;
        bool layerSays98;
        bool volumeWithoutAcls;
        bool underTemp;
        const char* logged;
    };
    const Case cases[] = {
        {"XP, GetVersion told to say 98", true, true, false, false, "Windows : NT 5.1, though GetVersion says 9x 4.10"},
        {"XP on a volume without ACLs", true, false, true, true, "under TEMP: this Windows keeps no users apart"},
        {"98", false, false, false, true, "under TEMP: this Windows keeps no users apart"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_fakeOs = FakeOs{};
        g_fakeOs.profile.windows.nt = c.nt;
        g_fakeOs.layerSays98 = c.layerSays98;
        g_fakeOs.volumeWithoutAcls = c.volumeWithoutAcls;
        g_run = RunContext{};
        g_accessDriver = AccessDriverState{};
        std::string temp = MakeScratchDir(true);
        SetEnvironmentVariableA("TEMP", temp.c_str());
        ASSERT_TRUE(MakeOwnPlace());
        ProbeWindowsVersion();
        ASSERT_TRUE(ClaimWorkingPlace());
        std::string place = g_run.workingDirectory;
        EXPECT_EQ(place.rfind(temp + "\\__Quorvin_Update", 0) == 0, c.underTemp) << place;
        EXPECT_NE(ReadWholeFile(place + "DebugLog.txt").find(c.logged), std::string::npos)
            << ReadWholeFile(place + "DebugLog.txt");
        EXPECT_EQ(g_run.workingDirectoryHeld != INVALID_HANDLE_VALUE, c.nt) << "98 opens no directory";
        if (g_run.workingDirectoryHeld != INVALID_HANDLE_VALUE) CloseHandle(g_run.workingDirectoryHeld);
        SetCurrentDirectoryA(temp.c_str());
    }
    g_fakeOs = FakeOs{};
    g_run = RunContext{};
}

enum class Before { Missing, OpenToEveryone, FileInItsPlace, ParentMissing, HeldFileInside };

// Where users are not kept apart: TEMP's fixed name, whatever stood there removed whole.
TEST(WorkingPlace, SweptPlaceEntersOnlyAPlainDirectory) {
    struct Case {
        const char* what;
        Before before;
        const char* suffix;  // how the path is given
        bool entered;
    };
    const Case cases[] = {
        {"missing, made", Before::Missing, "\\", true},
        {"there, open to everyone, removed and made anew", Before::OpenToEveryone, "\\", true},
        {"given without its backslash", Before::OpenToEveryone, "", true},
        {"a file in its place, removed", Before::FileInItsPlace, "\\", true},
        {"under a directory that is missing", Before::ParentMissing, "\\", false},
        {"there with a file held open inside, refused", Before::HeldFileInside, "\\", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_fakeOs = FakeOs{};
        std::string start = MakeScratchDir(true);
        std::string parent = start + (c.before == Before::ParentMissing ? "\\gone" : "");
        std::string directory = parent + "\\__Quorvin_Update";
        if (c.before == Before::OpenToEveryone) {
            ASSERT_TRUE(MakeDirectoryWith(directory, "D:(A;OICI;FA;;;WD)"));
        } else if (c.before == Before::FileInItsPlace) {
            CloseHandle(CreateFileA(directory.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        }
        HANDLE inside = INVALID_HANDLE_VALUE;
        if (c.before == Before::HeldFileInside) {
            CreateDirectoryA(directory.c_str(), nullptr);
            inside = CreateFileA((directory + "\\kbc.bin").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_NEW, 0, nullptr);
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        EXPECT_EQ(EnterSweptPlace((directory + c.suffix).c_str(), &held), c.entered);
        if (inside != INVALID_HANDLE_VALUE) CloseHandle(inside);
        EXPECT_EQ(held != INVALID_HANDLE_VALUE, c.entered) << "held on NT";
        EXPECT_EQ(CurrentDirectory(), c.entered ? directory : start);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    }
}

// A folder under the Windows directory kept for later runs (the ROM backups): made with the
// protection, taken again only while its security says nobody else can change it. Wine keeps no
// DACLs: the fake keeps what the program set, and a folder someone else made has none of it.
TEST(WorkingPlace, AdministratorsFolderUnderTheWindowsDirectory) {
    g_fakeOs = FakeOs{};
    EnterScratchPlace();
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    const std::string own = "QvTestOwn" + std::to_string(GetCurrentProcessId());
    const std::string foreign = "QvTestForeign" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA((std::string(windows) + "\\" + foreign).c_str(), nullptr);
    struct Case {
        const std::string& name;
        bool taken;
        const char* logged;
    };
    const Case cases[] = {{own, true, nullptr}, {own, true, nullptr}, {foreign, false, "not used : someone else may change it, or it is a link"}};
    for (const Case& c : cases) {
        char path[MAX_PATH] = "";
        HANDLE held = INVALID_HANDLE_VALUE;
        EXPECT_EQ(OpenAdministratorsFolder(c.name.c_str(), path, sizeof path, &held), c.taken) << c.name;
        if (c.taken) {
            EXPECT_EQ(std::string(path), std::string(windows) + "\\" + c.name + "\\");
            EXPECT_EQ(SecurityOf(held), kOwnProtection);
            CloseHandle(held);
        } else {
            EXPECT_EQ(held, INVALID_HANDLE_VALUE);
            EXPECT_NE(ReadWholeFile("DebugLog.txt").find(c.logged), std::string::npos) << ReadWholeFile("DebugLog.txt");
        }
    }
    RemoveDirectoryA((std::string(windows) + "\\" + own).c_str());
    RemoveDirectoryA((std::string(windows) + "\\" + foreign).c_str());
}

}  // namespace
