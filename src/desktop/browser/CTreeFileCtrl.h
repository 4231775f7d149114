#pragma once
// The folder tree of the browser: Home, with Documents, the computer's drives (with the user's
// mounted media and network folders beside them) and the network below it. Nodes are filled one
// level at a time when first expanded and dropped again on collapse; folders that vanished are
// pruned when they are selected or expanded.

#include "desktop/browser/NetworkSource.h"
#include "desktop/browser/UserMounts.h"
#include "platform/Drives.h"
#include "platform/FileFlags.h"

#include <QColor>
#include <QIcon>
#include <QString>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kinovex {

class CShareList;

// What each node knows about itself.
struct FolderNodeData {
    QString strFullPath;    // the folder, the drive's mount point, or a network name
    QString strDisplayName; // the name that paths are matched against
    std::optional<CNetResource> netResource; // for nodes of the network enumeration
    bool bNetwork = false; // the Network node and every node below it from the enumeration
};

class CTreeFileCtrl : public QTreeWidget {
    Q_OBJECT
public:
    enum { IDC_FOLDER_TREE = 1000 };
    // Bits of the folder attribute filter; only the hidden one means anything here: names
    // that begin with a dot.
    static constexpr unsigned FILE_ATTRIBUTE_HIDDEN = 0x2;
    static constexpr unsigned FILE_ATTRIBUTE_SYSTEM = 0x4;
    static constexpr unsigned FILE_ATTRIBUTE_TEMPORARY = 0x100;
    static constexpr unsigned FILE_ATTRIBUTE_OFFLINE = 0x1000;

    explicit CTreeFileCtrl(QWidget* parent = nullptr);
    ~CTreeFileCtrl() override;

    void InitTree();
    void SetShowDesktop(bool show);
    void SetShowNetwork(bool show);
    void SetShowFiles(bool show);
    void SetHiddenDriveTypes(unsigned mask);
    void SetOperationFlags(unsigned flags);

    QString GetItemFolder(QTreeWidgetItem* item) const;
    QString GetSelectedFolder() const;
    void Rebuild();
    // Finds and selects the node of `path` (letter case ignored where the names differ only
    // in it, a trailing separator accepted), selecting each folder on the way; null when a
    // component is not found.
    QTreeWidgetItem* SelectFolder(const QString& path, bool expand);

    // The sources of the nodes; tests replace them.
    using DriveLister = std::function<std::vector<DriveInfo>()>;
    void SetDriveLister(DriveLister lister);
    void SetMountLister(UserMountLister lister);
    void SetNetworkSource(std::unique_ptr<CNetworkSource> source);
    void SetShareList(CShareList* shares);
    void SetFileFlagsReader(std::function<FileFlags(const std::string&)> reader);

    // The special nodes; null when absent.
    QTreeWidgetItem* DesktopNode() const { return m_hRootParent; }
    QTreeWidgetItem* MyDocumentsNode() const { return m_hMyDocuments; }
    QTreeWidgetItem* MyComputerNode() const { return m_hMyComputer; }
    QTreeWidgetItem* NetworkNode() const { return m_hNetwork; }

    static const FolderNodeData* NodeData(const QTreeWidgetItem* item);
    // The node's children count: non-zero gives it an expand button before it is filled.
    static int HasChildrenFlag(const QTreeWidgetItem* item);
    // Whether the node carries the share overlay.
    static bool IsNodeShared(const QTreeWidgetItem* item);

    // Colours of compressed (blue) and encrypted (red) folders, off when the flag is false.
    bool m_bColourCompressed = true;
    QColor m_crCompressed = QColor(0, 0, 255);
    bool m_bColourEncrypted = true;
    QColor m_crEncrypted = QColor(255, 0, 0);
    bool m_bShareOverlay = true;
    bool m_bDriveLabels = true;
    unsigned m_dwFolderAttributeFilter = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;
    unsigned m_dwNetResourceType = 0;

signals:
    // The selection moved (TVN_SELCHANGED), after the tree has dealt with it.
    void SelChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, FolderNodeData data, bool shared,
                             const QIcon& image, const QIcon& selectedImage, bool checkChildren);
    bool HasSubfolders(const QString& path) const;
    void FillFolder(const QString& path, QTreeWidgetItem* parent, bool redrawControl);
    // False when the node was deleted (its folder vanished).
    bool PopulateNode(QTreeWidgetItem* item);
    bool EnsureChildren(QTreeWidgetItem* item);
    QTreeWidgetItem* FindChildByName(QTreeWidgetItem* parent, const QString& name) const;
    void SetHasChildren(QTreeWidgetItem* item, int count);

    void AddDesktopNode();
    void AddTopLevelNodes();
    void FillDrives(QTreeWidgetItem* parent, bool redrawControl);
    // The user's mounts after the drives; false when there is none to show.
    bool AddUserMounts(QTreeWidgetItem* parent);
    bool IsDriveShown(const DriveInfo& drive) const;
    QString GetDriveLabel(const DriveInfo& drive) const;
    const DriveInfo* FindDrive(const QString& path) const;
    bool IsDriveRoot(const QString& path) const { return FindDrive(path) != nullptr; }
    bool HasMedia(const QString& path) const;
    bool FillNetwork(QTreeWidgetItem* item);
    QTreeWidgetItem* FindServerGroup() const;

    void OnItemExpanding(QTreeWidgetItem* item);
    void OnItemCollapsing(QTreeWidgetItem* item);
    void OnSelChanged(QTreeWidgetItem* item);
    void SelectItem(QTreeWidgetItem* item);
    bool IsAlive(const QPersistentModelIndex& index) const { return index.isValid(); }

    // Deleting nodes forgets the special nodes among them.
    void DeleteNode(QTreeWidgetItem* item);
    void DeleteChildren(QTreeWidgetItem* item);
    void ForgetHandles(QTreeWidgetItem* item);

    QTreeWidgetItem* m_hRootParent = nullptr; // the Desktop node, or null for the tree's root
    QTreeWidgetItem* m_hMyDocuments = nullptr;
    QTreeWidgetItem* m_hMyComputer = nullptr;
    QTreeWidgetItem* m_hNetwork = nullptr;
    QString m_strMyDocumentsPath;
    bool m_bShowFiles = true;
    bool m_bShowDesktop = true;
    bool m_bShowNetwork = true;
    unsigned m_dwHiddenDriveTypes = 0;
    unsigned m_dwOperationFlags = 0x0C; // opening and properties

    std::vector<DriveInfo> m_drives;
    DriveLister m_fnListDrives;
    UserMountLister m_fnListMounts;
    std::unique_ptr<CNetworkSource> m_pNetwork;
    CShareList* m_pShares = nullptr;
    std::function<FileFlags(const std::string&)> m_fnFileFlags;
    bool m_bDeletingAll = false;
};

} // namespace kinovex
