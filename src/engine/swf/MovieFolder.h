#pragma once
// Files a movie loads from beside itself (LoadVars, XML, loadVariables). A movie reads only
// inside its own folder: a name that climbs out of it (".." segments), an absolute path or a
// URL with a scheme is refused, so a movie cannot read the rest of the disk.

#include "engine/swf/Log.h"

#include <optional>
#include <string>
#include <string_view>

namespace kinovex::flash {

// The file `url` names inside the movie's folder, as '/'-separated segments with "." and empty
// ones dropped; nothing when the name leaves the folder or names no file at all. The url is
// percent-decoded first, and what follows a NUL, '?' or '#' is not part of the name.
std::optional<std::string> fileInMovieFolder(std::string_view url);

class MovieFolder {
public:
    // No folder: the movie came from memory, and every file it asks for is missing.
    MovieFolder() = default;
    explicit MovieFolder(std::string folder) : m_folder(std::move(folder)) {}

    bool exists() const { return !m_folder.empty(); }
    // The bytes of the file `url` names; nothing when it is missing or refused. A refused name
    // is reported to `log`.
    std::optional<std::string> read(std::string_view url, Log& log) const;

    static constexpr std::size_t kMaxFileBytes = 64u << 20;

private:
    std::string m_folder;
};

} // namespace kinovex::flash
