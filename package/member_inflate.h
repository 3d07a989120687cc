// Inflating an entry's gzip data by the rule the updater's zlib gz reader follows, so that qpack
// and the updater accept the same entries.
#pragma once
#include <cstddef>
#include <cstdint>

#include "package/archive_format.h"

// Takes n bytes of plain data; false stops the inflation.
typedef bool (*PlainSinkFn)(void* context, const uint8_t* bytes, size_t n);

// Inflates the size bytes at offset: a gzip member, then one more for as long as the bytes after
// a whole member begin with the gzip magic 1f 8b. Anything else after a whole member is left
// unread, as that reader leaves it. Each member's CRC-32 and length are checked. nullptr, or
// what is wrong: a read that fell short, data that ends inside a member, zlib's complaint, or
// "write failed" when sink said no.
const char* InflateEntry(ReadAtFn read, void* context, uint64_t offset, uint64_t size,
                         PlainSinkFn sink, void* sinkContext);
