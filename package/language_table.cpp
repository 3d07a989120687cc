#include "package/language_table.h"

#include <cstdio>

namespace {

struct LanguageRow {
    uint16_t id;
    const char* code;
};

const LanguageRow kLanguages[] = {
    {0x0804, "Chs"},
    {0x0404, "Cht"}, {0x0C04, "Cht"}, {0x1004, "Cht"},
    {0x0407, "Gr"},  {0x0807, "Gr"},  {0x0C07, "Gr"},  {0x1007, "Gr"},  {0x1407, "Gr"},
    {0x040A, "Sp"},  {0x080A, "Sp"},  {0x0C0A, "Sp"},  {0x100A, "Sp"},  {0x140A, "Sp"},
    {0x180A, "Sp"},  {0x1C0A, "Sp"},  {0x200A, "Sp"},  {0x240A, "Sp"},  {0x280A, "Sp"},
    {0x2C0A, "Sp"},  {0x300A, "Sp"},  {0x340A, "Sp"},  {0x380A, "Sp"},  {0x3C0A, "Sp"},
    {0x400A, "Sp"},  {0x440A, "Sp"},  {0x480A, "Sp"},  {0x4C0A, "Sp"},  {0x500A, "Sp"},
    {0x040C, "Fr"},  {0x080C, "Fr"},  {0x0C0C, "Fr"},  {0x100C, "Fr"},  {0x140C, "Fr"},
    {0x0412, "Kr"},
    {0x0416, "Po"},  {0x0816, "Po"},
    {0x0419, "Ru"},
};

}  // namespace

const char* LanguageCode(uint16_t languageId) {
    for (const LanguageRow& row : kLanguages) {
        if (row.id == languageId) return row.code;
    }
    return "En";
}

bool LanguageDllName(const char* code, bool ami, char* name, size_t size) {
    int written = snprintf(name, size, "UiLang%s%s.dll", code, ami ? "_ami" : "");
    return written > 0 && static_cast<size_t>(written) < size;
}
