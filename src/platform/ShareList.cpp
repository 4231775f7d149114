#include "platform/ShareList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

std::string Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return std::string(text.substr(begin, end - begin));
}

// Samba's parameter names ignore letter case and blanks: "Print OK" is "printok".
std::string ParameterName(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool IsTrue(const std::string& value) {
    std::string lower;
    for (char c : value)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "yes" || lower == "true" || lower == "1";
}

std::string WithoutTrailingSeparator(std::string_view path) {
    std::string out(path);
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Section {
    std::string name;
    std::string path;
    bool printable = false;
    bool available = true;
};

void Finish(const Section& section, std::vector<ShareRecord>& shares) {
    std::string lower;
    for (char c : section.name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.empty() || lower == "global" || !section.available)
        return;
    // A path with substitutions (%S, %u, ...) names no one folder.
    if (section.path.empty() || section.path.find('%') != std::string::npos)
        return;
    ShareRecord record{section.name, WithoutTrailingSeparator(section.path),
                       section.printable ? ShareRecord::STYPE_PRINTQ : ShareRecord::STYPE_DISKTREE};
    if (lower == "homes" || section.name.back() == '$')
        record.type |= ShareRecord::STYPE_SPECIAL;
    shares.push_back(std::move(record));
}

} // namespace

std::vector<ShareRecord> ParseSmbConf(std::string_view text) {
    std::vector<ShareRecord> shares;
    std::istringstream in{std::string(text)};
    std::string line;
    std::string pending;
    Section section;
    bool inSection = false;
    while (std::getline(in, line)) {
        // A backslash at the end of a line continues it on the next.
        if (!line.empty() && line.back() == '\\') {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        const std::string full = Trim(pending + line);
        pending.clear();
        if (full.empty() || full[0] == '#' || full[0] == ';')
            continue;
        if (full[0] == '[') {
            if (inSection)
                Finish(section, shares);
            const std::size_t close = full.find(']');
            section = Section{
                Trim(full.substr(1, close == std::string::npos ? std::string::npos : close - 1)),
                {},
                false,
                true};
            inSection = true;
            continue;
        }
        const std::size_t equals = full.find('=');
        if (!inSection || equals == std::string::npos)
            continue;
        const std::string name = ParameterName(full.substr(0, equals));
        const std::string value = Trim(full.substr(equals + 1));
        if (name == "path" || name == "directory")
            section.path = value;
        else if (name == "printable" || name == "printok")
            section.printable = IsTrue(value);
        else if (name == "available")
            section.available = IsTrue(value);
    }
    if (inSection)
        Finish(section, shares);
    return shares;
}

std::optional<ShareRecord> ParseUsershare(std::string_view text) {
    ShareRecord record;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        const std::string name = Trim(line.substr(0, equals));
        if (name == "path")
            record.path = WithoutTrailingSeparator(Trim(line.substr(equals + 1)));
        else if (name == "sharename")
            record.name = Trim(line.substr(equals + 1));
    }
    if (record.path.empty())
        return std::nullopt;
    return record;
}

CShareList::CShareList(std::string smbConf, std::string usershareFolder)
    : m_strSmbConf(std::move(smbConf)), m_strUsershareFolder(std::move(usershareFolder)) {
    RefreshShares();
}

void CShareList::RefreshShares() {
    m_shares = ParseSmbConf(ReadWholeFile(m_strSmbConf));
    std::error_code error;
    for (fs::directory_iterator it(m_strUsershareFolder, error), end; !error && it != end;
         it.increment(error)) {
        if (auto record = ParseUsershare(ReadWholeFile(it->path()))) {
            if (record->name.empty())
                record->name = it->path().filename().string();
            m_shares.push_back(std::move(*record));
        }
    }
}

bool CShareList::IsPathShared(std::string_view path) const {
    const std::string wanted = WithoutTrailingSeparator(path);
    return std::any_of(m_shares.begin(), m_shares.end(), [&](const ShareRecord& share) {
        return share.path == wanted && (share.type == ShareRecord::STYPE_DISKTREE ||
                                        share.type == ShareRecord::STYPE_PRINTQ);
    });
}

CShareList& CShareList::Instance() {
    static CShareList list;
    return list;
}

} // namespace kinovex
