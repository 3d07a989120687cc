// The language resource DLL that matches the system language and BIOS family.
#pragma once
// 0 when it chose nothing (no DLL for the language, or none that could be extracted into the
// working place and named by a full path that fits); 1 when it tried to load one (the resource handle then
// holds it, or nothing when it would not load).
int SelectLanguageResources(void);
