#include "engine/media/BitmapDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace kinovex::flash {

namespace {

std::uint32_t pack(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

std::uint32_t premultiply(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    if (a == 255) {
        return pack(a, r, g, b);
    }
    auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return pack(a, mul(r), mul(g), mul(b));
}

// Already premultiplied data may still have colour above alpha when it is damaged; cairo would
// draw garbage, so it is clamped.
std::uint32_t clampPremultiplied(std::uint32_t a, std::uint32_t r, std::uint32_t g,
                                 std::uint32_t b) {
    return pack(a, std::min(r, a), std::min(g, a), std::min(b, a));
}

// Inflates exactly `size` bytes; a short stream leaves the rest zero and reports false.
bool inflateExactly(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out,
                    std::size_t size) {
    out.assign(size, 0);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        return false;
    }
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(in.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(size);
    int rc = Z_OK;
    while (rc == Z_OK && zs.avail_out > 0) {
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_BUF_ERROR) {
            break;
        }
    }
    const bool complete = zs.avail_out == 0;
    inflateEnd(&zs);
    return complete;
}

bool decodeLossless(const BitmapCharacter& bm, DecodedImage& out, std::string& error) {
    const int w = bm.width;
    const int h = bm.height;
    if (w == 0 || h == 0 ||
        static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > kMaxBitmapPixels) {
        error = "bitmap size out of range";
        return false;
    }
    const bool alpha = bm.format == BitmapCharacter::Format::Lossless2;
    const auto uw = static_cast<std::size_t>(w);
    const auto uh = static_cast<std::size_t>(h);
    std::vector<std::uint8_t> raw;
    std::size_t rowBytes = 0;
    std::size_t tableBytes = 0;
    if (bm.losslessFormat == 3) {
        tableBytes = static_cast<std::size_t>(bm.colorTableSize) * (alpha ? 4 : 3);
        rowBytes = (uw + 3) & ~std::size_t{3};
    } else if (bm.losslessFormat == 4) {
        rowBytes = (uw * 2 + 3) & ~std::size_t{3};
    } else {
        rowBytes = uw * 4;
    }
    if (!inflateExactly(bm.data, raw, tableBytes + rowBytes * uh)) {
        error = "bitmap data is cut short"; // drawn as far as it goes
    }
    out.width = w;
    out.height = h;
    out.pixels.assign(uw * uh, 0);
    for (std::size_t y = 0; y < uh; ++y) {
        const std::uint8_t* row = raw.data() + tableBytes + y * rowBytes;
        std::uint32_t* dst = out.pixels.data() + y * uw;
        for (std::size_t x = 0; x < uw; ++x) {
            if (bm.losslessFormat == 3) {
                const std::size_t i = row[x];
                if (i >= bm.colorTableSize) {
                    dst[x] = 0;
                    continue;
                }
                const std::uint8_t* c = raw.data() + i * (alpha ? 4 : 3);
                dst[x] = alpha ? clampPremultiplied(c[3], c[0], c[1], c[2])
                               : pack(255, c[0], c[1], c[2]);
            } else if (bm.losslessFormat == 4) {
                const std::uint32_t v =
                    static_cast<std::uint32_t>(row[x * 2] << 8 | row[x * 2 + 1]);
                auto expand = [](std::uint32_t c5) { return (c5 << 3) | (c5 >> 2); };
                dst[x] = pack(255, expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
            } else {
                const std::uint8_t* p = row + x * 4;
                dst[x] = alpha ? clampPremultiplied(p[0], p[1], p[2], p[3])
                               : pack(255, p[1], p[2], p[3]);
            }
        }
    }
    return true;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void jpegSilence(j_common_ptr, int) {}

// Everything that may be jumped over lives in the caller; this frame holds no objects.
bool runJpeg(jpeg_decompress_struct* cinfo, JpegError* err, const std::uint8_t* data,
             std::size_t size, DecodedImage* out) {
    if (setjmp(err->jump) != 0) {
        return false;
    }
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
        return false;
    }
    if (static_cast<std::uint64_t>(cinfo->image_width) * cinfo->image_height > kMaxBitmapPixels ||
        cinfo->image_width == 0 || cinfo->image_height == 0) {
        std::strcpy(err->message, "JPEG size out of range");
        return false;
    }
    cinfo->out_color_space = JCS_EXT_BGRA; // the native ARGB layout on little-endian machines
    jpeg_start_decompress(cinfo);
    out->width = static_cast<int>(cinfo->output_width);
    out->height = static_cast<int>(cinfo->output_height);
    out->pixels.assign(static_cast<std::size_t>(cinfo->output_width) * cinfo->output_height,
                       0xff000000u);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(out->pixels.data() +
                                                  static_cast<std::size_t>(cinfo->output_scanline) *
                                                      cinfo->output_width);
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

bool decodeJpeg(std::span<const std::uint8_t> data, DecodedImage& out, std::string& error) {
    const std::vector<std::uint8_t> clean = normalizeJpeg(data);
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    err.mgr.emit_message = jpegSilence;
    const bool ok = runJpeg(&cinfo, &err, clean.data(), clean.size(), &out);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        error = std::string("JPEG: ") + err.message;
        return false;
    }
    for (auto& p : out.pixels) {
        p |= 0xff000000u; // some libjpeg builds leave the filler byte zero
    }
    return true;
}

bool decodePng(std::span<const std::uint8_t> data, DecodedImage& out, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) {
        error = std::string("PNG: ") + image.message;
        return false;
    }
    if (static_cast<std::uint64_t>(image.width) * image.height > kMaxBitmapPixels) {
        png_image_free(&image);
        error = "PNG size out of range";
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        error = std::string("PNG: ") + image.message;
        png_image_free(&image);
        return false;
    }
    for (auto& p : out.pixels) {
        p = premultiply(p >> 24, (p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
    return true;
}

struct GifSource {
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
};

int gifRead(GifFileType* gif, GifByteType* buffer, int size) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    const std::size_t n = std::min(static_cast<std::size_t>(size), src->data.size() - src->pos);
    std::memcpy(buffer, src->data.data() + src->pos, n);
    src->pos += n;
    return static_cast<int>(n);
}

bool decodeGif(std::span<const std::uint8_t> data, DecodedImage& out, std::string& error) {
    GifSource src{data, 0};
    int code = 0;
    GifFileType* gif = DGifOpen(&src, gifRead, &code);
    if (gif == nullptr) {
        error = "GIF cannot be opened";
        return false;
    }
    bool ok = false;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0 && gif->SWidth > 0 && gif->SHeight > 0 &&
        static_cast<std::uint64_t>(gif->SWidth) * static_cast<std::uint64_t>(gif->SHeight) <=
            kMaxBitmapPixels) {
        const SavedImage& frame = gif->SavedImages[0];
        const ColorMapObject* map =
            frame.ImageDesc.ColorMap != nullptr ? frame.ImageDesc.ColorMap : gif->SColorMap;
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, 0, &gcb);
        out.width = gif->SWidth;
        out.height = gif->SHeight;
        out.pixels.assign(
            static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height), 0);
        const GifImageDesc& d = frame.ImageDesc;
        if (map != nullptr && frame.RasterBits != nullptr) {
            for (int y = 0; y < d.Height; ++y) {
                for (int x = 0; x < d.Width; ++x) {
                    const int tx = d.Left + x;
                    const int ty = d.Top + y;
                    if (tx < 0 || ty < 0 || tx >= out.width || ty >= out.height) {
                        continue;
                    }
                    const int index = frame.RasterBits[static_cast<std::size_t>(y) *
                                                           static_cast<std::size_t>(d.Width) +
                                                       static_cast<std::size_t>(x)];
                    if (index == gcb.TransparentColor || index >= map->ColorCount) {
                        continue;
                    }
                    const GifColorType& c = map->Colors[index];
                    out.pixels[static_cast<std::size_t>(ty) * static_cast<std::size_t>(out.width) +
                               static_cast<std::size_t>(tx)] = pack(255, c.Red, c.Green, c.Blue);
                }
            }
        }
        ok = true;
    } else {
        error = "GIF cannot be decoded";
    }
    DGifCloseFile(gif, &code);
    return ok;
}

} // namespace

std::vector<std::uint8_t> normalizeJpeg(std::span<const std::uint8_t> d) {
    std::vector<std::uint8_t> out;
    out.reserve(d.size());
    std::size_t i = 0;
    while (i + 4 <= d.size() && d[i] == 0xff && d[i + 1] == 0xd9 && d[i + 2] == 0xff &&
           d[i + 3] == 0xd8) {
        i += 4;
    }
    bool haveSoi = false;
    while (i + 1 < d.size()) {
        if (d[i] != 0xff) {
            break; // not a marker: leave the rest to the decoder
        }
        const std::uint8_t m = d[i + 1];
        if (m == 0xff) {
            ++i; // fill byte
            continue;
        }
        if (m == 0xd8) {
            if (!haveSoi) {
                out.insert(out.end(), {0xff, 0xd8});
                haveSoi = true;
            }
            i += 2;
            continue;
        }
        if (m == 0xd9) {
            i += 2; // an end marker before the image: tables ended here
            continue;
        }
        if (m == 0xda || i + 4 > d.size()) {
            break; // the scan: copied as it is
        }
        const std::size_t length = static_cast<std::size_t>(d[i + 2] << 8 | d[i + 3]);
        const std::size_t end = std::min(d.size(), i + 2 + length);
        out.insert(out.end(), d.begin() + static_cast<std::ptrdiff_t>(i),
                   d.begin() + static_cast<std::ptrdiff_t>(end));
        i = end;
    }
    out.insert(out.end(), d.begin() + static_cast<std::ptrdiff_t>(std::min(i, d.size())), d.end());
    return out;
}

bool decodeBitmap(const BitmapCharacter& bm, DecodedImage& out, std::string& error) {
    if (bm.format != BitmapCharacter::Format::Jpeg) {
        return decodeLossless(bm, out, error);
    }
    std::span<const std::uint8_t> data(bm.data);
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    static constexpr std::uint8_t kGif[] = {'G', 'I', 'F', '8'};
    if (data.size() >= 4 && std::equal(kPng, kPng + 4, data.begin())) {
        return decodePng(data, out, error);
    }
    if (data.size() >= 4 && std::equal(kGif, kGif + 4, data.begin())) {
        return decodeGif(data, out, error);
    }
    bool ok = false;
    if (!bm.jpegTables.empty()) {
        std::vector<std::uint8_t> joined(bm.jpegTables);
        joined.insert(joined.end(), bm.data.begin(), bm.data.end());
        ok = decodeJpeg(joined, out, error);
    } else {
        ok = decodeJpeg(data, out, error);
    }
    if (!ok) {
        return false;
    }
    if (!bm.alpha.empty()) {
        std::vector<std::uint8_t> alpha;
        const std::size_t count = out.pixels.size();
        inflateExactly(bm.alpha, alpha, count); // a short plane leaves the rest transparent
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t p = out.pixels[i];
            out.pixels[i] = premultiply(alpha[i], (p >> 16) & 255, (p >> 8) & 255, p & 255);
        }
    }
    return true;
}

} // namespace kinovex::flash
