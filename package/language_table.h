// Which language DLL serves which system language.
#pragma once
#include <cstddef>
#include <cstdint>

// "Chs", "Cht", "Gr", "Sp", "Fr", "Kr", "Po", "Ru", or "En" for every identifier not listed;
// matched on the whole identifier, sublanguage included.
const char* LanguageCode(uint16_t languageId);

// "UiLang" + code + ".dll", or + "_ami.dll" on an AMI machine; false when it would not fit.
bool LanguageDllName(const char* code, bool ami, char* name, size_t size);
