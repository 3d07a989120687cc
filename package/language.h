// The language resource DLL that matches the system language and BIOS family.
#pragma once
// 0 when it chose nothing; 1 when it extracted and tried to load a DLL (the resource handle
// then holds it, or nothing when it would not load).
int SelectLanguageResources(void);
