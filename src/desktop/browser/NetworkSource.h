#pragma once
// The network neighbourhood as the folder tree browses it: workgroups, their servers and the
// servers' shared folders.

#include <memory>
#include <string>
#include <vector>

namespace kinovex {

// One entry of a network enumeration, kept by the node it became.
struct CNetResource {
    static constexpr unsigned RESOURCEDISPLAYTYPE_GENERIC = 0;
    static constexpr unsigned RESOURCEDISPLAYTYPE_DOMAIN = 1;
    static constexpr unsigned RESOURCEDISPLAYTYPE_SERVER = 2;
    static constexpr unsigned RESOURCEDISPLAYTYPE_SHARE = 3;

    unsigned dwScope = 0;
    unsigned dwType = 0;
    unsigned dwDisplayType = RESOURCEDISPLAYTYPE_GENERIC;
    unsigned dwUsage = 0;
    std::string strLocalName;  // for a share: its mount point when it is mounted
    std::string strRemoteName; // "WORKGROUP", "//HOST", "//HOST/Share"
    std::string strComment;
    std::string strProvider;
};

class CNetworkSource {
public:
    virtual ~CNetworkSource() = default;
    // The entries below `parent` (none: the top of the network). False when the network
    // cannot be asked; the caller then adds nothing.
    virtual bool Enumerate(const CNetResource* parent, unsigned resourceType,
                           std::vector<CNetResource>& entries) = 0;
};

// The SMB network through libsmbclient; null when the program was built without it.
std::unique_ptr<CNetworkSource> CreateSmbNetworkSource();

// Where the share "//host/share" is mounted (CIFS/SMB mounts of the mount table, letter case
// of host and share ignored); empty when it is not mounted.
std::string FindShareMountPoint(const std::string& remoteName,
                                const std::string& mountsFile = "/proc/self/mounts");

} // namespace kinovex
