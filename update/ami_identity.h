// What an AMI BIOS and an AMI image say about themselves: the image's "$FID" block with its part
// and build numbers, build numbers written as decimal text, and the key by which the images and
// MICOM files of the package are matched to the BIOS version.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kBuildTextLength = 8;
constexpr size_t kPartNumberLength = 3;

// The value of build-number text, read up to length characters (at most 8) or a NUL: leading
// white space skipped, an optional '+' or '-', then digits up to the first other character.
// 0 when there are no digits.
int32_t ParseBuildNumber(const char* text, size_t length);

struct FidBlock {
    bool found;
    int32_t buildNumber;  // 0 when the block holds no digits there
    bool hasPartNumber;
    char partNumber[kPartNumberLength + 1];
};

// The first "$FID" with '?' five bytes on. Its fields are read only as far as the data goes: a
// build-number text (8 characters from +52) that the end cuts is read up to the end, a part
// number (3 characters from +9) that the end cuts is not taken.
FidBlock ScanFidBlock(const uint8_t* data, size_t size);

// The first 4 characters of the BIOS version, with the halves swapped when it does not start
// with a digit, so that names are matched on the version's characters 1 and 2 then. A version
// under 4 characters leaves NULs in the key, and a key with a NUL matches no name.
void AmiVersionKey(const char* version, char key[5]);

// The 3 characters of each, case-sensitive.
bool SamePartNumber(const char* installed, const char* image);
