#include "desktop/browser/NetworkSource.h"

#include "platform/Drives.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#ifdef KINOVEX_HAVE_SMBCLIENT
#include <libsmbclient.h>

#include <cstring>
#endif

namespace kinovex {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string WithoutTrailingSeparator(std::string text) {
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

#ifdef KINOVEX_HAVE_SMBCLIENT

// Browsing asks for nothing secret: guest access, as the network neighbourhood always did.
void AnonymousAuth(SMBCCTX*, const char*, const char*, char*, int, char* user, int userLength,
                   char* password, int passwordLength) {
    if (userLength > 0)
        user[0] = '\0';
    if (passwordLength > 0)
        password[0] = '\0';
}

class CSmbNetworkSource final : public CNetworkSource {
public:
    CSmbNetworkSource() {
        m_pContext = smbc_new_context();
        if (m_pContext == nullptr)
            return;
        smbc_setFunctionAuthDataWithContext(m_pContext, AnonymousAuth);
        smbc_setTimeout(m_pContext, 5000); // a silent host must not hang the window for long
        smbc_setOptionNoAutoAnonymousLogin(m_pContext, 0);
        if (smbc_init_context(m_pContext) == nullptr) {
            smbc_free_context(m_pContext, 1);
            m_pContext = nullptr;
        }
    }
    ~CSmbNetworkSource() override {
        if (m_pContext != nullptr)
            smbc_free_context(m_pContext, 1);
    }
    CSmbNetworkSource(const CSmbNetworkSource&) = delete;
    CSmbNetworkSource& operator=(const CSmbNetworkSource&) = delete;

    bool Enumerate(const CNetResource* parent, unsigned,
                   std::vector<CNetResource>& entries) override {
        if (m_pContext == nullptr)
            return false;
        std::string url = "smb://";
        std::string host;
        if (parent != nullptr) {
            if (parent->dwDisplayType == CNetResource::RESOURCEDISPLAYTYPE_SHARE)
                return false; // a share's folders come from its mount point
            std::string name = parent->strRemoteName;
            name.erase(0, name.find_first_not_of('/'));
            url += name;
            if (parent->dwDisplayType == CNetResource::RESOURCEDISPLAYTYPE_SERVER)
                host = name;
        }
        SMBCFILE* folder = smbc_getFunctionOpendir(m_pContext)(m_pContext, url.c_str());
        if (folder == nullptr)
            return false;
        while (smbc_dirent* entry = smbc_getFunctionReaddir(m_pContext)(m_pContext, folder)) {
            CNetResource resource;
            resource.strComment = entry->comment != nullptr ? entry->comment : "";
            const std::string name = entry->name;
            switch (entry->smbc_type) {
            case SMBC_WORKGROUP:
                resource.dwDisplayType = CNetResource::RESOURCEDISPLAYTYPE_DOMAIN;
                resource.strRemoteName = name;
                break;
            case SMBC_SERVER:
                resource.dwDisplayType = CNetResource::RESOURCEDISPLAYTYPE_SERVER;
                resource.strRemoteName = "//" + name;
                break;
            case SMBC_FILE_SHARE:
                resource.dwDisplayType = CNetResource::RESOURCEDISPLAYTYPE_SHARE;
                resource.dwType = 1; // disk
                resource.strRemoteName = "//" + host + "/" + name;
                resource.strLocalName = FindShareMountPoint(resource.strRemoteName);
                break;
            default:
                continue; // printers, IPC and the like hold no folders
            }
            resource.strProvider = "SMB";
            entries.push_back(std::move(resource));
        }
        smbc_getFunctionClosedir(m_pContext)(m_pContext, folder);
        return true;
    }

private:
    SMBCCTX* m_pContext = nullptr;
};

// The SMB client starts (reading its configuration, opening sockets) only when the network is
// first browsed, not whenever a folder tree is made.
class CLazySmbNetworkSource final : public CNetworkSource {
public:
    bool Enumerate(const CNetResource* parent, unsigned resourceType,
                   std::vector<CNetResource>& entries) override {
        if (!m_pSource)
            m_pSource = std::make_unique<CSmbNetworkSource>();
        return m_pSource->Enumerate(parent, resourceType, entries);
    }

private:
    std::unique_ptr<CSmbNetworkSource> m_pSource;
};

#endif

} // namespace

std::unique_ptr<CNetworkSource> CreateSmbNetworkSource() {
#ifdef KINOVEX_HAVE_SMBCLIENT
    return std::make_unique<CLazySmbNetworkSource>();
#else
    return nullptr;
#endif
}

std::string FindShareMountPoint(const std::string& remoteName, const std::string& mountsFile) {
    std::ifstream in(mountsFile);
    std::stringstream text;
    text << in.rdbuf();
    const std::string wanted = Lower(WithoutTrailingSeparator(remoteName));
    std::string found;
    for (const MountEntry& mount : ParseMountTable(text.str())) {
        if (mount.fsType != "cifs" && mount.fsType != "smb3" && mount.fsType != "smbfs")
            continue;
        if (Lower(WithoutTrailingSeparator(mount.device)) == wanted)
            found = mount.mountPoint; // the last mount is the one on top
    }
    return found;
}

} // namespace kinovex
