// ByteArray's compress, uncompress, deflate and inflate: the whole array through zlib, in its
// zlib wrapping or raw deflate.

#include "engine/avm2/ByteArray.h"
#include "engine/avm2/Machine.h"

#include <zlib.h>

namespace kinovex::flash::avm2 {

namespace {

// zlib's window bits for an algorithm's name: 15 for "zlib", -15 (raw) for "deflate".
int windowBits(Machine& vm, const Value& algorithm) {
    const std::string name = algorithm.isUndefined() ? "zlib" : vm.toString(algorithm);
    if (name == "zlib") {
        return 15;
    }
    if (name == "deflate") {
        return -15;
    }
    vm.throwError("ArgumentError", 2008, "Parameter algorithm must be one of the accepted values.");
}

void squeeze(Machine& vm, Object* ba, int bits) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        vm.throwError("flash.errors.MemoryError", 1000, "The system is out of memory.");
    }
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(ba->byteData.size())));
    z.next_in = ba->byteData.data();
    z.avail_in = static_cast<uInt>(ba->byteData.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    vm.charge(out.size());
    ba->byteData = std::move(out);
    ba->bytePos = static_cast<std::uint32_t>(ba->byteData.size());
}

void expand(Machine& vm, Object* ba, int bits) {
    z_stream z{};
    if (inflateInit2(&z, bits) != Z_OK) {
        vm.throwError("flash.errors.MemoryError", 1000, "The system is out of memory.");
    }
    std::vector<std::uint8_t> out;
    std::uint8_t chunk[16384];
    z.next_in = ba->byteData.data();
    z.avail_in = static_cast<uInt>(ba->byteData.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = chunk;
        z.avail_out = sizeof(chunk);
        rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t got = sizeof(chunk) - z.avail_out;
        vm.charge(got);
        out.insert(out.end(), chunk, chunk + got);
        if (rc == Z_BUF_ERROR && z.avail_in == 0) {
            break;
        }
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) {
        vm.throwError("flash.errors.IOError", 2058, "There was an error decompressing the data.");
    }
    ba->byteData = std::move(out);
    ba->bytePos = 0;
}

Value compress(Machine& vm, Value s, Args a) {
    squeeze(vm, byteArraySelf(vm, s), windowBits(vm, arg(a, 0)));
    return Value();
}
Value uncompress(Machine& vm, Value s, Args a) {
    expand(vm, byteArraySelf(vm, s), windowBits(vm, arg(a, 0)));
    return Value();
}
Value deflateFn(Machine& vm, Value s, Args) {
    squeeze(vm, byteArraySelf(vm, s), -15);
    return Value();
}
Value inflateFn(Machine& vm, Value s, Args) {
    expand(vm, byteArraySelf(vm, s), -15);
    return Value();
}

} // namespace

void installByteArrayZlib(Machine& m, ClassInfo* ba) {
    m.defineMethod(ba, "compress", compress);
    m.defineMethod(ba, "uncompress", uncompress);
    m.defineMethod(ba, "deflate", deflateFn);
    m.defineMethod(ba, "inflate", inflateFn);
}

} // namespace kinovex::flash::avm2
