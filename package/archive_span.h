// Where an archive ends, found while its bytes stream past once (as they are copied and hashed),
// from its own headers: the entry count, then each entry's header and the member it announces.
#pragma once
#include <cstddef>
#include <cstdint>

#include "package/archive_format.h"

struct ArchiveSpan {
    uint64_t seen;       // archive bytes passed so far
    uint64_t nextField;  // where the next header starts
    uint64_t end;        // where the last entry ends; 0 until known
    size_t fieldSize;    // the archive header's size first, then an entry header's
    size_t fieldHave;
    uint8_t field[kEntryHeaderSize];
    uint32_t entriesLeft;
};

void BeginArchiveSpan(ArchiveSpan* span);

// Of the n bytes that come next, how many belong to the archive: all of them until its end,
// then those up to it, then none. Headers that cannot be read end the archive where they
// stand: what was passed is then checked, and refused, as a whole.
size_t FollowArchive(ArchiveSpan* span, const uint8_t* bytes, size_t n);
