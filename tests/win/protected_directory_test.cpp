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
#include "package/administrators_folder.h"
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
// use, a file and a link with the name stay as they were, never entered.
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

    char place[MAX_PATH];
    HANDLE held = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(MakeProtectedPlace(parent.c_str(), place, sizeof place, &held));
    std::string made = place;
    EXPECT_EQ(made.size(), parent.size() + strlen("\\__Quorvin_Update") + 16 + 1) << made;
    EXPECT_EQ(CurrentDirectory() + "\\", made);
    EXPECT_EQ(SecurityOf(held), kOwnProtection);
    EXPECT_EQ(GrantsToOthers(made), std::vector<std::string>{});

    EXPECT_FALSE(IsDirectory(earlier)) << "an earlier place of ours is removed";
    EXPECT_EQ(g_visited, std::vector<std::string>{std::string(earlier, strlen(earlier) - 1) + " stood"})
        << "our own earlier place is handed over before it goes, no other";
    SetEarlierPlaceRoutine(nullptr);
    EXPECT_EQ(ReadWholeFile(parent + "\\__Quorvin_UpdateOpen\\keep.txt"), "mine");
    EXPECT_EQ(ReadWholeFile(parent + "\\__Quorvin_UpdateFile"), "mine");

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
    for (const char* missing : {"ConvertStringSecurityDescriptorToSecurityDescriptorA", "SetKernelObjectSecurity",
                                "CryptGenRandom"}) {
        SCOPED_TRACE(missing);
        g_fakeOs = FakeOs{};
        g_fakeOs.missingFunctions = {missing};
        std::string parent = MakeScratchDir(false);
        char place[MAX_PATH];
        HANDLE held = INVALID_HANDLE_VALUE;
        EXPECT_FALSE(MakeProtectedPlace(parent.c_str(), place, sizeof place, &held));
        EXPECT_EQ(held, INVALID_HANDLE_VALUE);
        EXPECT_NE(CurrentDirectory(), parent);
    }
    g_fakeOs = FakeOs{};
}

// One run at a time; the place is made under the Windows directory's Temp.
TEST(WorkingPlace, OneRunAtATime) {
    g_fakeOs = FakeOs{};
    g_run = RunContext{};
    HANDLE other = CreateMutexA(nullptr, TRUE, "Global\\QuorvinUpdateRun");
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(EnterWorkingPlace());
    EXPECT_FALSE(g_run.inWorkingDirectory);
    CloseHandle(other);
    ASSERT_TRUE(EnterWorkingPlace());
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(std::string(g_run.workingDirectory).rfind(std::string(windows) + "\\Temp\\__Quorvin_Update", 0), 0u)
        << g_run.workingDirectory;
    EXPECT_EQ(ReadWholeFile(std::string(g_run.workingDirectory) + "DebugLog.txt"), "<missing>");
    CloseHandle(g_run.workingDirectoryHeld);
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
