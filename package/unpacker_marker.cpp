// Tools that look for the DOS unpacker in a package know the program by this text in its data;
// nothing in the program reads it, so the link keeps it by name.
extern "C" const char g_unpackerMarker[] = "UnPaCkErSiG@Version 2.03";
