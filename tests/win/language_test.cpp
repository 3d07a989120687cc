// The 18 language DLLs as built, and SelectLanguageResources choosing and loading one of them.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/win/process_runner.h"
#include "tests/win/scratch.h"
#include "tools/qpack/package_writer.h"

namespace {

const char* const kCodes[] = {"Chs", "Cht", "En", "Fr", "Gr", "Kr", "Po", "Ru", "Sp"};

std::string DllPath(const std::string& code, bool ami) {
    return TestProgramDirectory() + "UiLang" + code + (ami ? "_ami" : "") + ".dll";
}

std::wstring Text(HMODULE module, UINT id) {
    wchar_t buffer[1024];
    int length = LoadStringW(module, id, buffer, 1024);
    return length > 0 ? std::wstring(buffer, length) : std::wstring();
}

std::vector<std::wstring> Conversions(const std::wstring& text) {
    static const std::wregex conversion(L"%(%|l?d|s)");
    std::vector<std::wstring> found;
    for (std::wsregex_iterator it(text.begin(), text.end(), conversion), end; it != end; ++it) {
        found.push_back(it->str());
    }
    return found;
}

std::string Resource(HMODULE module, UINT id, LPCSTR type) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return "";
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
}

// A resource-only image: no entry point, nothing imported (an import directory holds at most its
// all-zero terminator).
bool HasNoCode(const std::string& path) {
    std::string image = ReadWholeFile(path);
    if (image.size() < sizeof(IMAGE_DOS_HEADER)) return false;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    return nt->OptionalHeader.AddressOfEntryPoint == 0 &&
           nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].Size <=
               sizeof(IMAGE_IMPORT_DESCRIPTOR);
}

TEST(LanguageDlls, EveryDllCarriesEveryTextDialogAndLogo) {
    HMODULE english = LoadLibraryExA(DllPath("En", false).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(english, nullptr);
    HMODULE own = GetModuleHandleA(nullptr);
    for (UINT id = 1; id <= 55; ++id) {
        if (id == 6 || (id >= 33 && id <= 37)) continue;
        EXPECT_EQ(Text(english, id), Text(own, id)) << "English text " << id;
    }
    // Where the program's own table words them differently, the DLL has the shipped wording.
    EXPECT_EQ(Text(english, 33), L"Creating directory failed.");
    EXPECT_EQ(Text(english, 36), L"The system BIOS is a newer version than the update.\n\n The update will be terminated.");
    for (const char* code : kCodes) {
        for (bool ami : {false, true}) {
            SCOPED_TRACE(DllPath(code, ami));
            EXPECT_TRUE(HasNoCode(DllPath(code, ami)));
            HMODULE dll = LoadLibraryExA(DllPath(code, ami).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
            ASSERT_NE(dll, nullptr);
            for (UINT id = 1; id <= 56; ++id) {
                std::wstring text = Text(dll, id);
                EXPECT_EQ(text.empty(), id == 6 || id == 56) << "string " << id;
                EXPECT_EQ(Conversions(text), Conversions(Text(english, id))) << "string " << id;
            }
            EXPECT_NE(Resource(dll, 117, RT_DIALOG), "");
            EXPECT_NE(Resource(dll, 116, RT_DIALOG), "");
            EXPECT_NE(Resource(dll, 115, RT_BITMAP), "");
            EXPECT_NE(Resource(dll, 113, RT_BITMAP), "");
            FreeLibrary(dll);
        }
        HMODULE plain = LoadLibraryExA(DllPath(code, false).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        HMODULE ami = LoadLibraryExA(DllPath(code, true).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        EXPECT_NE(Resource(plain, 113, RT_BITMAP), Resource(ami, 113, RT_BITMAP)) << code;
        EXPECT_EQ(Resource(plain, 115, RT_BITMAP), Resource(ami, 115, RT_BITMAP)) << code;
        EXPECT_EQ(Resource(plain, 117, RT_DIALOG), Resource(ami, 117, RT_DIALOG)) << code;
        EXPECT_EQ(Text(plain, 16), Text(ami, 16)) << code;
        FreeLibrary(plain);
        FreeLibrary(ami);
    }
    FreeLibrary(english);
}

// extract_probe.exe with the 18 DLLs (or the given files) behind it.
std::string LanguagePackage(std::vector<std::string> files = {}) {
    if (files.empty()) {
        for (const char* code : kCodes) {
            files.push_back(DllPath(code, false));
            files.push_back(DllPath(code, true));
        }
    }
    std::string package = MakeScratchDir(false) + "\\probe.exe";
    EXPECT_EQ(BuildPackage(TestProgramDirectory() + "extract_probe.exe", package, 0x8, files), "");
    return package;
}

std::string Utf8(const std::wstring& text) {
    char buffer[1024];
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof buffer, nullptr, nullptr);
    return length > 0 ? std::string(buffer) : std::string();
}

TEST(SelectLanguageResources, ChoosesByLanguageAndFamilyAndLoadsFromTemp) {
    std::string package = LanguagePackage();
    struct Case {
        const char* language;
        int family;
        const char* code;
        bool ami;
    };
    const Case cases[] = {
        {"0x0412", 1, "Kr", false}, {"0x0412", 0, "Kr", true}, {"0x0409", 1, "En", false},
        {"0x0411", 1, "En", false}, {"0x0413", 0, "En", true}, {"0x2C0A", 1, "Sp", false},
        {"0x0C04", 1, "Cht", false}, {"0x0804", 1, "Chs", false}, {"0x0419", 0, "Ru", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.language << " family " << c.family);
        std::string temp = MakeScratchDir(false);
        std::string name = std::string("UiLang") + c.code + (c.ami ? "_ami" : "") + ".dll";
        std::ofstream(temp + "\\" + name) << "a stale copy";
        ProcessResult run = RunProcess("\"" + package + "\" language " + c.language + " " +
                                           std::to_string(c.family),
                                       temp);
        HMODULE expected = LoadLibraryExA(DllPath(c.code, c.ami).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        EXPECT_EQ(run.out, "selected 1 resources 1 in " + temp + "\n" + Utf8(Text(expected, 39)) + "\n");
        FreeLibrary(expected);
        EXPECT_EQ(ReadWholeFile(temp + "\\" + name), ReadWholeFile(DllPath(c.code, c.ami)))
            << "the stale copy is replaced";
    }
}

TEST(SelectLanguageResources, NothingToChooseOrNothingThatLoads) {
    std::string temp = MakeScratchDir(false);
    std::string onlyFrench = LanguagePackage({DllPath("Fr", false)});
    ProcessResult run = RunProcess("\"" + onlyFrench + "\" language 0x0409 1", temp);
    EXPECT_EQ(run.out, "selected 0 resources 0 in " + temp + "\n");

    std::string source = MakeScratchDir(false);
    std::ofstream(source + "\\UiLangEn.dll") << "not a DLL";
    ProcessResult broken = RunProcess("\"" + LanguagePackage({source + "\\UiLangEn.dll"}) +
                                          "\" language 0x0409 1",
                                      temp);
    EXPECT_EQ(broken.out, "selected 1 resources 0 in " + temp + "\n");

    // A place so deep that the DLL's full path does not fit: our own resources serve, no box.
    std::string deep = temp;
    while (deep.size() < 247) {
        deep += "\\dd";
        CreateDirectoryA(deep.c_str(), nullptr);
    }
    ProcessResult tooDeep = RunProcess("\"" + LanguagePackage({DllPath("En", false)}) +
                                           "\" language 0x0409 1",
                                       deep);
    EXPECT_EQ(tooDeep.out, "selected 0 resources 0 in " + deep + "\n");
}

}  // namespace
