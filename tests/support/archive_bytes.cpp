#include "tests/support/archive_bytes.h"

#include <zlib.h>

#include "package/archive_format.h"

std::string Le32(uint32_t value) {
    uint8_t bytes[4];
    WriteLe32(bytes, value);
    return std::string(reinterpret_cast<char*>(bytes), 4);
}

std::string Gzip(const std::string& plain) {
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(plain.size() + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    stream.avail_in = static_cast<uInt>(plain.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::string Entry(const std::string& name, const std::string& member) {
    std::string header(kEntryNameSize, '\0');
    header.replace(0, name.size(), name);
    return header + Le32(static_cast<uint32_t>(member.size())) + member;
}

std::string Archive(uint32_t flags, uint32_t count, const std::string& entries) {
    return "LPCK" + Le32(flags) + Le32(count) + entries;
}
