#include "app/options.h"

#include <gtest/gtest.h>

#include <string>

#include "update/flasher_commands.h"

namespace {

const std::string kBios = "SWinFlash bios.wph /P";
const std::string kMicom = "TarpexV01_10 kbc.bin /FORCE";
const uint32_t kPackage = 0x8;  // the package flags word RunFlags starts from

struct Case {
    const char* commandLine;
    uint32_t result;
    uint32_t runFlags;
    std::string bios;
    std::string micom;
};

const Case kCases[] = {
    {"", 0, kPackage, kBios, kMicom},
    {"   \t  ", 0, kPackage, kBios, kMicom},
    {"/bbl /mode=3 /mauto", 0, kPackage | 0x200, kBios + " /BBL /MODE=3", kMicom + " /A"},
    {"/MFORCE", 0, kPackage, kBios, kMicom + " /FORCE"},
    {"/mforce -MFORCE", 0, kPackage, kBios, kMicom + " /FORCE /FORCE"},
    {"/MFORCEX", 0x8000000e, kPackage, kBios, kMicom},
    {"-mserial /MAUTO", 0, kPackage, kBios, kMicom + " /SERIAL /A"},
    {"/MSERIALS", 0x8000000e, kPackage, kBios, kMicom},
    {"/MODE", 0, kPackage, kBios + " /MODE", kMicom},
    {"/MODE=4", 0, kPackage, kBios + " /MODE=4", kMicom},
    {"/MODE=2", 0, kPackage, kBios + " /MODE=2", kMicom},
    {"-mode=1", 0, kPackage | 0x800, kBios + " -MODE=1", kMicom},
    {"/MODEX3", 0, kPackage | 0x200, kBios + " /MODEX3", kMicom},
    {"/mode=3 /mode=1", 0, kPackage | 0xA00, kBios + " /MODE=3 /MODE=1", kMicom},
    {"/MOD", 0x8000000e, kPackage, kBios, kMicom},
    {"/bbl /MODE=3\"", 0x8000000e, kPackage, kBios + " /BBL", kMicom},
    {"/BBLX", 0, kPackage, kBios + " /BBL", kMicom},
    {"/BB", 0x8000000e, kPackage, kBios, kMicom},
    {"/block_power_off", 0, kPackage | 0x1, kBios, kMicom},
    {"/BLOCK_POWER_OFFX", 0, kPackage | 0x1, kBios, kMicom},
    {"/SKIP_CHECK_PART -skip_check_model /SKIP_UPDATE_FILES /SKIP_CHECK_DATE", 0, kPackage,
     kBios, kMicom},
    {"-skip_update_micom", 0, kPackage | 0x10, kBios, kMicom},
    {"/SKIP_UPDATE_MICOMX", 0, kPackage | 0x10, kBios, kMicom},
    {"/NO_MESSAGEBOX", 0, kPackage | 0x20, kBios, kMicom},
    {"/no_messageboxes", 0, kPackage | 0x20, kBios, kMicom},
    {"/XYZ /NO_MESSAGEBOX", 0x8000000e, kPackage, kBios, kMicom},
    {"/BREAK_CMOS", 0, kPackage, kBios + " /C", kMicom},
    {"/BREAK_CMO", 0, kPackage, kBios + " /C", kMicom},
    {"/BREAK_CM", 0x8000000e, kPackage, kBios, kMicom},
    {"/break_escd", 0, kPackage | 0x100, kBios, kMicom},
    {"/BREAK_ESC", 0, kPackage | 0x100, kBios, kMicom},
    {"/SKIP_CHECK_POWER", 0, kPackage | 0x10000, kBios, kMicom},
    {"/VISTA_UPGRADE", 0, kPackage | 0x21, kBios, kMicom},
    {"/READ_BIOS", 0, 0x2000, kBios, kMicom},
    {"/READ_BIOS /XYZ", 0, 0x2000, kBios, kMicom},
    {"/BBL /VISTA_UPGRADE /READ_BIOS /MAUTO", 0, 0x2020, kBios + " /BBL", kMicom},
    {"/NO_MESSAGEBOX /READ_BIOS", 0, 0x2020, kBios, kMicom},
    {"/XYZ /READ_BIOS", 0x8000000e, kPackage, kBios, kMicom},
    {"/BBL /XYZ /MAUTO", 0x8000000e, kPackage, kBios + " /BBL", kMicom},
    {"BBL", 0x8000000e, kPackage, kBios, kMicom},
    {"/bbl  /mauto", 0, kPackage, kBios + " /BBL", kMicom + " /A"},
    {"\t/bbl\t/mauto\t", 0, kPackage, kBios + " /BBL", kMicom + " /A"},
};

TEST(ParseOptions, EveryOptionAndEdgeCase) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.commandLine);
        char micom[kCommandLineSize] = "left over";
        char bios[kCommandLineSize] = "left over";
        uint32_t flags = kPackage;
        EXPECT_EQ(ParseOptions(micom, bios, c.commandLine, &flags), c.result);
        EXPECT_EQ(flags, c.runFlags);
        EXPECT_EQ(bios, c.bios);
        EXPECT_EQ(micom, c.micom);
        // The first look at the command line silences boxes exactly when the parse will.
        EXPECT_EQ(CommandLineSilencesBoxes(c.commandLine), (c.runFlags & 0x20) != 0);
    }
}

TEST(ParseOptions, TokenOver255CharactersIsInvalid) {
    char micom[kCommandLineSize];
    char bios[kCommandLineSize];
    uint32_t flags = 0;
    std::string fits = "/SKIP_CHECK_DATE" + std::string(239, 'X');
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_EQ(ParseOptions(micom, bios, fits.c_str(), &flags), 0u);
    std::string tooLong = fits + "X";
    EXPECT_EQ(ParseOptions(micom, bios, tooLong.c_str(), &flags), 0x8000000eu);
}

TEST(ParseOptions, CommandLineNeverPassesItsBuffer) {
    char micom[kCommandLineSize];
    char bios[kCommandLineSize];
    uint32_t flags = 0;
    std::string fits;
    for (int i = 0; i < 31; ++i) fits += "/MFORCE ";
    fits += "/MSERIAL /MAUTO";
    EXPECT_EQ(ParseOptions(micom, bios, fits.c_str(), &flags), 0u);
    EXPECT_EQ(std::string(micom).size(), 255u);

    std::string over = fits + " /MAUTO /BBL";
    EXPECT_EQ(ParseOptions(micom, bios, over.c_str(), &flags), 0x8000000eu);
    EXPECT_EQ(std::string(micom).size(), 255u) << "the refused piece is not cut in";
    EXPECT_EQ(std::string(bios), kBios) << "parsing stops at the refused token";

    std::string longMode = "/MODE=" + std::string(200, '1');
    std::string twice = longMode + " " + longMode;
    EXPECT_EQ(ParseOptions(micom, bios, twice.c_str(), &flags), 0x8000000eu);
    EXPECT_EQ(std::string(bios), kBios + " " + longMode);
}

}  // namespace
