#include "package/member_inflate.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr size_t kChunk = 32768;

// Keeps at least two bytes in front of inflate while the entry has them: enough to tell
// whether another member starts.
bool Refill(ReadAtFn read, void* context, uint64_t* position, uint64_t end, uint8_t* input,
            z_stream* stream) {
    if (stream->avail_in >= 2 || *position == end) return true;
    memmove(input, stream->next_in, stream->avail_in);
    uint64_t left = end - *position;
    size_t room = kChunk - stream->avail_in;
    size_t want = left < room ? static_cast<size_t>(left) : room;
    if (!read(context, *position, input + stream->avail_in, want)) return false;
    *position += want;
    stream->next_in = input;
    stream->avail_in += static_cast<uInt>(want);
    return true;
}

bool StartsMember(const z_stream& stream) {
    return stream.avail_in >= 2 && stream.next_in[0] == 0x1f && stream.next_in[1] == 0x8b;
}

}  // namespace

const char* InflateEntry(ReadAtFn read, void* context, uint64_t offset, uint64_t size,
                         PlainSinkFn sink, void* sinkContext) {
    z_stream stream = {};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return "inflate cannot start";
    uint8_t input[kChunk];
    uint8_t output[kChunk];
    stream.next_in = input;
    uint64_t position = offset;
    const uint64_t end = offset + size;
    bool inMember = true;
    const char* fault = nullptr;
    while (fault == nullptr) {
        if (!Refill(read, context, &position, end, input, &stream)) {
            fault = "cannot read";
            break;
        }
        if (!inMember) {
            if (!StartsMember(stream)) break;
            inflateReset(&stream);
            inMember = true;
        }
        if (stream.avail_in == 0) {
            fault = "member ends before its data";
            break;
        }
        stream.next_out = output;
        stream.avail_out = kChunk;
        int status = inflate(&stream, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            inMember = false;
        } else if (status != Z_OK) {
            fault = stream.msg ? stream.msg : "corrupt data";
        }
        size_t have = kChunk - stream.avail_out;
        if (fault == nullptr && have > 0 && !sink(sinkContext, output, have)) fault = "write failed";
    }
    inflateEnd(&stream);
    return fault;
}
