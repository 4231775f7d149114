#pragma once
// The folders this computer shares: Samba's configured shares and its user shares. The folder
// tree marks a shared folder or drive with the share overlay.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kinovex {

struct ShareRecord {
    // Share types as the share enumeration has always reported them.
    static constexpr unsigned STYPE_DISKTREE = 0;
    static constexpr unsigned STYPE_PRINTQ = 1;
    static constexpr unsigned STYPE_SPECIAL = 0x80000000u; // administrative share

    std::string name;
    std::string path;
    unsigned type = STYPE_DISKTREE;
};

// The shares of an smb.conf text: every section but [global] with a fixed path. A printable
// section is a print queue; [homes] and names ending in "$" are administrative.
std::vector<ShareRecord> ParseSmbConf(std::string_view text);
// One user-share definition file ("path=", "sharename=" lines).
std::optional<ShareRecord> ParseUsershare(std::string_view text);

class CShareList {
public:
    explicit CShareList(std::string smbConf = "/etc/samba/smb.conf",
                        std::string usershareFolder = "/var/lib/samba/usershares");

    // Reads the shares again; a file that cannot be read contributes none.
    void RefreshShares();

    // Whether `path` is the folder of a disk share or a print queue. Administrative shares
    // never count. File names are compared exactly, as the file system does, with a trailing
    // separator ignored.
    bool IsPathShared(std::string_view path) const;

    const std::vector<ShareRecord>& Shares() const { return m_shares; }

    // The one list of the process, refreshed by every rebuild of a folder tree.
    static CShareList& Instance();

private:
    std::string m_strSmbConf;
    std::string m_strUsershareFolder;
    std::vector<ShareRecord> m_shares;
};

} // namespace kinovex
