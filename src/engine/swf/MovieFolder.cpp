#include "engine/swf/MovieFolder.h"

#include "engine/swf/PercentEncoding.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace kinovex::flash {

namespace {

// %XX sequences as bytes; the name ends at the first NUL, '?' or '#'.
std::string decodedName(std::string_view url) {
    std::string out = percentDecode(url.substr(0, url.find_first_of("?#")), false);
    return out.substr(0, out.find('\0'));
}

} // namespace

std::optional<std::string> fileInMovieFolder(std::string_view url) {
    const std::string name = decodedName(url);
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t colon = name.find(':');
    if (colon != std::string::npos && colon < name.find('/')) {
        return std::nullopt; // a scheme (http:, file:) or a drive letter
    }
    std::string path;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        const std::string_view segment(name.data() + start, end - start);
        if (segment == "..") {
            return std::nullopt;
        }
        if (!segment.empty() && segment != ".") {
            path += path.empty() ? "" : "/";
            path += segment;
        }
        start = end + 1;
    }
    if (path.empty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> MovieFolder::read(std::string_view url, Log& log) const {
    const std::optional<std::string> file = fileInMovieFolder(url);
    if (!file) {
        if (!decodedName(url).empty()) {
            log.report(-1, 0,
                       "Loading \"" + std::string(url) + "\" refused: a movie reads only files " +
                           "in its own folder");
        }
        return std::nullopt;
    }
    if (m_folder.empty()) {
        return std::nullopt;
    }
    const std::filesystem::path path = std::filesystem::path(m_folder) / *file;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileBytes) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace kinovex::flash
