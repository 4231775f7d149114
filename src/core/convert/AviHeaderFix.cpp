#include "core/convert/AviHeaderFix.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kinovex {
namespace {

// Where the standard layout puts its chunk ids: RIFF....AVI LIST....hdrl avih(56 bytes)
// LIST....strl strh....vids<handler> ... strf....<BITMAPINFOHEADER with the compression at 188>.
struct Mark {
    long offset;
    const char* text;
};
constexpr std::array<Mark, 6> kLayout = {
    {{0, "RIFF"}, {8, "AVI "}, {12, "LIST"}, {100, "strh"}, {108, "vids"}, {164, "strf"}}};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

AviHeaderFix FixMsmpeg4Header(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r+b"); // existing file, not truncated
    if (file == nullptr)
        return AviHeaderFix::CannotOpen;
    const std::unique_ptr<std::FILE, FileCloser> closer(file);

    char header[192];
    if (std::fread(header, 1, sizeof header, file) != sizeof header)
        return AviHeaderFix::NotAvi;
    for (const Mark& mark : kLayout) {
        if (std::memcmp(header + mark.offset, mark.text, 4) != 0)
            return AviHeaderFix::NotAvi;
    }
    for (const long offset : {112L, 188L}) {
        if (std::fseek(file, offset, SEEK_SET) != 0 || std::fwrite("MP43", 1, 4, file) != 4)
            return AviHeaderFix::CannotOpen;
    }
    return std::fflush(file) == 0 ? AviHeaderFix::Patched : AviHeaderFix::CannotOpen;
}

} // namespace kinovex
