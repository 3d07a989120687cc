#include "package/archive_span.h"

#include <cstring>

namespace {

// A header field is whole: what it says moves the next field and, with the last entry, the end.
void TakeField(ArchiveSpan* span) {
    if (span->fieldSize == kArchiveHeaderSize) {
        ArchiveHeader header = DecodeArchiveHeader(span->field);
        span->entriesLeft = header.magic == kArchiveMagic ? header.count : 0;
        span->nextField = span->seen;
    } else {
        EntryHeader entry;
        if (!DecodeEntryHeader(span->field, &entry)) {
            span->entriesLeft = 0;
            span->nextField = span->seen;
        } else {
            --span->entriesLeft;
            span->nextField = span->seen + entry.gzipSize;
        }
    }
    span->fieldSize = kEntryHeaderSize;
    span->fieldHave = 0;
    if (span->entriesLeft == 0) span->end = span->nextField;
}

}  // namespace

void BeginArchiveSpan(ArchiveSpan* span) {
    memset(span, 0, sizeof *span);
    span->fieldSize = kArchiveHeaderSize;
}

size_t FollowArchive(ArchiveSpan* span, const uint8_t* bytes, size_t n) {
    size_t used = 0;
    while (used < n && !(span->end != 0 && span->seen >= span->end)) {
        size_t left = n - used;
        if (span->seen < span->nextField) {
            uint64_t member = span->nextField - span->seen;
            size_t skip = member < left ? static_cast<size_t>(member) : left;
            span->seen += skip;
            used += skip;
            continue;
        }
        size_t want = span->fieldSize - span->fieldHave;
        size_t take = want < left ? want : left;
        memcpy(span->field + span->fieldHave, bytes + used, take);
        span->fieldHave += take;
        span->seen += take;
        used += take;
        if (span->fieldHave == span->fieldSize) TakeField(span);
    }
    return used;
}
