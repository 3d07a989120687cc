// The working directory's protection on a real file system: what is entered, what is refused,
// and the DACL read back. Wine keeps no DACL of its own: it maps the one it is given onto the
// Unix mode bits and reads those back (SYSTEM, the owner, Everyone), so the read-back shows here
// who besides SYSTEM, Administrators and the owner may write, and whether Everyone gets anything.
// Links in the path are refused in the e2e tier, where the Linux side can plant them.
#include "package/protected_directory.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

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

enum class Before { Missing, OpenToEveryone, FileInItsPlace, ParentMissing, HeldFileInside };

// What a Windows without the security calls does: 98 makes the directory plainly, an NT refuses.
TEST(ProtectedDirectory, WithoutTheSecurityCalls) {
    struct Case {
        const char* missing;
        bool nt;
        bool entered;
    };
    const Case cases[] = {
        {"ConvertStringSecurityDescriptorToSecurityDescriptorA", true, false},
        {"SetKernelObjectSecurity", true, false},
        {"ConvertStringSecurityDescriptorToSecurityDescriptorA", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.missing) + (c.nt ? " on NT" : " on Windows 98"));
        std::string directory = MakeScratchDir(true) + "\\__Quorvin_Update";
        g_fakeOs = FakeOs{};
        g_fakeOs.profile.windows.nt = c.nt;
        g_fakeOs.missingFunctions = {c.missing};
        HANDLE held = INVALID_HANDLE_VALUE;
        EXPECT_EQ(EnterProtectedDirectory(directory.c_str(), &held), c.entered);
        EXPECT_EQ(IsDirectory(directory), c.entered) << "refused before anything is made";
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        g_fakeOs = FakeOs{};
    }
}

TEST(ProtectedDirectory, EntersAndProtectsOnlyAPlainDirectory) {
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
        std::string start = MakeScratchDir(true);
        std::string parent = start + (c.before == Before::ParentMissing ? "\\gone" : "");
        std::string directory = parent + "\\__Quorvin_Update";
        if (c.before == Before::OpenToEveryone) {
            PSECURITY_DESCRIPTOR open = nullptr;
            ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
                "D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
            SECURITY_ATTRIBUTES attributes = {sizeof attributes, open, FALSE};
            ASSERT_TRUE(CreateDirectoryA(directory.c_str(), &attributes));
            LocalFree(open);
            ASSERT_FALSE(GrantsToOthers(directory).empty()) << "the check sees an open directory";
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
        EXPECT_EQ(EnterProtectedDirectory((directory + c.suffix).c_str(), &held), c.entered);
        if (inside != INVALID_HANDLE_VALUE) CloseHandle(inside);

        EXPECT_EQ(held != INVALID_HANDLE_VALUE, c.entered);
        EXPECT_EQ(CurrentDirectory(), c.entered ? directory : start);
        if (c.entered) {
            EXPECT_EQ(GrantsToOthers(directory), std::vector<std::string>{});
            EXPECT_TRUE(IsDirectory(directory));
            CloseHandle(held);
        }
    }
}

}  // namespace
