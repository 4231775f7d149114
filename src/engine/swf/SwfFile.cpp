#include "engine/swf/SwfFile.h"

#include "engine/swf/BitReader.h"
#include "engine/swf/SwfHeader.h"

#include <algorithm>
#include <lzma.h>
#include <zlib.h>

namespace kinovex::flash {

namespace {

constexpr std::size_t kHeaderBytes = kSwfPreambleBytes;
constexpr std::size_t kChunk = 64 * 1024;

// Inflates `in` and appends to `out` until `limit` bytes are there or the stream ends.
// Returns false when the stream is damaged before the limit was reached.
bool inflateZlib(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out,
                 std::size_t limit) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        return false;
    }
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), UINT32_MAX));
    bool good = true;
    while (out.size() < limit) {
        const std::size_t old = out.size();
        const std::size_t grow = std::min(kChunk, limit - old);
        out.resize(old + grow);
        zs.next_out = out.data() + old;
        zs.avail_out = static_cast<uInt>(grow);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        out.resize(old + grow - zs.avail_out);
        if (rc == Z_STREAM_END) {
            break;
        }
        if (rc != Z_OK) {
            good = false;
            break;
        }
        if (zs.avail_in == 0 && zs.avail_out != 0) {
            good = false; // ran out of input
            break;
        }
    }
    inflateEnd(&zs);
    return good;
}

bool inflateLzma(std::span<const std::uint8_t> props, std::span<const std::uint8_t> in,
                 std::vector<std::uint8_t>& out, std::size_t limit) {
    lzma_filter filters[2];
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[0].options = nullptr;
    filters[1].id = LZMA_VLI_UNKNOWN;
    filters[1].options = nullptr;
    if (lzma_properties_decode(&filters[0], nullptr, props.data(), props.size()) != LZMA_OK) {
        return false;
    }
    // The decoder allocates its whole dictionary at once, and the size comes from the file.
    // Nothing can refer further back than the movie is long, so the movie's length is enough.
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    const auto enough =
        static_cast<std::uint32_t>(std::max<std::size_t>(limit, LZMA_DICT_SIZE_MIN));
    options->dict_size = std::min(options->dict_size, enough);
    lzma_stream strm = LZMA_STREAM_INIT;
    const lzma_ret init = lzma_raw_decoder(&strm, filters);
    free(filters[0].options); // the decoder keeps its own copy
    if (init != LZMA_OK) {
        return false;
    }
    strm.next_in = in.data();
    strm.avail_in = in.size();
    bool good = true;
    while (out.size() < limit) {
        const std::size_t old = out.size();
        const std::size_t grow = std::min(kChunk, limit - old);
        out.resize(old + grow);
        strm.next_out = out.data() + old;
        strm.avail_out = grow;
        const lzma_ret rc = lzma_code(&strm, LZMA_RUN);
        out.resize(old + grow - strm.avail_out);
        if (rc == LZMA_STREAM_END) {
            break;
        }
        if (rc != LZMA_OK) {
            good = false;
            break;
        }
        if (strm.avail_in == 0 && strm.avail_out != 0) {
            good = false;
            break;
        }
    }
    lzma_end(&strm);
    return good;
}

// `owned`, when given, holds `file`'s bytes and may be taken: a stored movie's body is then used
// where it lies, and a compressed file's bytes are let go as soon as they are inflated.
SwfOpenResult open(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* owned,
                   SwfFile& out, Log& log) {
    out = SwfFile{};
    SwfPreamble preamble;
    const SwfHeaderError notAMovie = readPreamble(file, preamble);
    if (notAMovie != SwfHeaderError::None) {
        return {false, notAMovie == SwfHeaderError::TooShort
                           ? "The file is too short to be a Flash movie."
                           : "The file is not a Flash movie."};
    }
    const char sig = preamble.compression;
    out.compression = sig;
    out.version = preamble.version;
    out.fileLength = file.size();
    out.declaredLength = preamble.declaredLength;
    if (out.declaredLength > kMaxMovieBytes) {
        return {false, "The movie is too large (" + std::to_string(out.declaredLength) +
                           " bytes uncompressed)."};
    }
    const std::size_t limit = std::max<std::size_t>(out.declaredLength, kHeaderBytes);
    out.data.assign(file.begin(), file.begin() + kHeaderBytes);
    bool good = true;
    if (sig == 'F') {
        const std::size_t take = std::min(file.size(), limit);
        if (owned != nullptr) {
            out.data = std::move(*owned);
            if (out.data.size() > take) {
                out.data.resize(take);
                out.data.shrink_to_fit();
            }
        } else {
            out.data.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(take));
        }
    } else if (sig == 'C') {
        good = inflateZlib(file.subspan(kHeaderBytes), out.data, limit);
    } else {
        // LZMA: 4 bytes compressed length, 5 bytes of coder properties, then the raw stream.
        if (file.size() < kHeaderBytes + 9) {
            return {false, "The movie's compressed data is missing."};
        }
        good = inflateLzma(file.subspan(kHeaderBytes + 4, 5), file.subspan(kHeaderBytes + 9),
                           out.data, limit);
    }
    if (owned != nullptr && sig != 'F') {
        owned->clear();
        owned->shrink_to_fit();
    }
    if (out.data.size() < limit) {
        out.truncated = true;
        log.report(-1, out.data.size(),
                   good ? "the movie ends before its declared length"
                        : "the movie's compressed data is damaged; reading what could be read");
    }

    BitReader r(out.data);
    r.seek(kHeaderBytes);
    const FrameHeader header = readFrameHeader(r);
    out.frameSize = header.frameSize;
    out.frameRate256 = header.frameRate256;
    out.frameCount = header.frameCount;
    if (r.failed()) {
        return {false, "The movie's header is damaged."};
    }
    out.firstTagOffset = r.position();
    return {true, {}};
}

} // namespace

SwfOpenResult openSwf(std::span<const std::uint8_t> fileBytes, SwfFile& out, Log& log) {
    return open(fileBytes, nullptr, out, log);
}

SwfOpenResult openSwf(std::vector<std::uint8_t>&& fileBytes, SwfFile& out, Log& log) {
    return open(fileBytes, &fileBytes, out, log);
}

} // namespace kinovex::flash
