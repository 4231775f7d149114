#include "desktop/browser/CTreeFileCtrl.h"

#include "desktop/browser/ShellIcons.h"
#include "platform/ShareList.h"
#include "platform/qt/UserFolders.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kinovex {
namespace {

namespace fs = std::filesystem;

constexpr int kSharedRole = Qt::UserRole + 1;

// One node: its data lives and dies with it.
class CFolderNode final : public QTreeWidgetItem {
public:
    explicit CFolderNode(FolderNodeData nodeData)
        : QTreeWidgetItem(QTreeWidgetItem::UserType), m_data(std::move(nodeData)) {}
    FolderNodeData m_data;
    int m_nChildren = 1;
};

CFolderNode* Node(QTreeWidgetItem* item) {
    return item != nullptr && item->type() == QTreeWidgetItem::UserType
               ? static_cast<CFolderNode*>(item)
               : nullptr;
}

fs::path ToPath(const QString& path) {
    return fs::path(path.toStdString());
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Redrawing off around a bulk change; nested uses keep it off until the outermost ends.
class RedrawOff {
public:
    RedrawOff(QWidget* widget, bool active = true)
        : m_pWidget(widget), m_bWasEnabled(widget->updatesEnabled()), m_bActive(active) {
        if (m_bActive)
            m_pWidget->setUpdatesEnabled(false);
    }
    ~RedrawOff() {
        if (m_bActive)
            m_pWidget->setUpdatesEnabled(m_bWasEnabled);
    }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    QWidget* m_pWidget;
    bool m_bWasEnabled;
    bool m_bActive;
};

QIcon NodeIcon(const QIcon& image, const QIcon& selectedImage, bool shared) {
    // The open image shows while the node is selected.
    QIcon normal = shared ? WithShareOverlay(image) : image;
    QIcon selected = shared ? WithShareOverlay(selectedImage) : selectedImage;
    QIcon icon;
    if (!normal.isNull())
        icon.addPixmap(normal.pixmap(SmallIconSize()), QIcon::Normal);
    if (!selected.isNull())
        icon.addPixmap(selected.pixmap(SmallIconSize()), QIcon::Selected);
    return icon;
}

bool LessByName(const FolderNodeData& a, const FolderNodeData& b) {
    const int folded = QString::compare(a.strDisplayName, b.strDisplayName, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a.strDisplayName < b.strDisplayName;
}

} // namespace

CTreeFileCtrl::CTreeFileCtrl(QWidget* parent)
    : QTreeWidget(parent), m_fnListDrives([] { return ListDrives(); }),
      m_fnListMounts([] { return ListUserMounts(UserMountRoots(CurrentMountPlaces())); }),
      m_pNetwork(CreateSmbNetworkSource()), m_pShares(&CShareList::Instance()),
      m_fnFileFlags(ReadFileFlags) {
    setObjectName(QString::number(IDC_FOLDER_TREE));
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setIconSize(SmallIconSize());
    setUniformRowHeights(true);
    setContextMenuPolicy(Qt::PreventContextMenu);

    connect(this, &QTreeWidget::itemExpanded, this, &CTreeFileCtrl::OnItemExpanding);
    connect(this, &QTreeWidget::itemCollapsed, this, &CTreeFileCtrl::OnItemCollapsing);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnSelChanged(current); });
}

CTreeFileCtrl::~CTreeFileCtrl() {
    // The nodes go now, while this object is whole, and without telling anybody.
    m_bDeletingAll = true;
    blockSignals(true);
    ForgetHandles(invisibleRootItem());
    clear();
}

const FolderNodeData* CTreeFileCtrl::NodeData(const QTreeWidgetItem* item) {
    const auto* node = Node(const_cast<QTreeWidgetItem*>(item));
    return node != nullptr ? &node->m_data : nullptr;
}

int CTreeFileCtrl::HasChildrenFlag(const QTreeWidgetItem* item) {
    const auto* node = Node(const_cast<QTreeWidgetItem*>(item));
    return node != nullptr ? node->m_nChildren : 0;
}

bool CTreeFileCtrl::IsNodeShared(const QTreeWidgetItem* item) {
    return item != nullptr && item->data(0, kSharedRole).toBool();
}

void CTreeFileCtrl::SetHasChildren(QTreeWidgetItem* item, int count) {
    CFolderNode* node = Node(item);
    if (node == nullptr)
        return;
    node->m_nChildren = count;
    // A node that still holds children keeps its button, whatever its count says.
    node->setChildIndicatorPolicy(count != 0 ? QTreeWidgetItem::ShowIndicator
                                             : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void CTreeFileCtrl::SetDriveLister(DriveLister lister) {
    m_fnListDrives = std::move(lister);
}

void CTreeFileCtrl::SetMountLister(UserMountLister lister) {
    m_fnListMounts = std::move(lister);
}

void CTreeFileCtrl::SetNetworkSource(std::unique_ptr<CNetworkSource> source) {
    m_pNetwork = std::move(source);
}

void CTreeFileCtrl::SetShareList(CShareList* shares) {
    m_pShares = shares;
}

void CTreeFileCtrl::SetFileFlagsReader(std::function<FileFlags(const std::string&)> reader) {
    m_fnFileFlags = std::move(reader);
}

void CTreeFileCtrl::InitTree() {
    setIconSize(SmallIconSize());
    Rebuild();
}

void CTreeFileCtrl::SetShowDesktop(bool show) {
    m_bShowDesktop = show;
    Rebuild();
}

void CTreeFileCtrl::SetShowNetwork(bool show) {
    m_bShowNetwork = show;
    Rebuild();
}

void CTreeFileCtrl::SetShowFiles(bool show) {
    // The tree lists folders only; the movie list shows the files.
    m_bShowFiles = show;
    Rebuild();
}

void CTreeFileCtrl::SetHiddenDriveTypes(unsigned mask) {
    m_dwHiddenDriveTypes = mask;
    Rebuild();
}

void CTreeFileCtrl::SetOperationFlags(unsigned flags) {
    // Bit 0 is the files option; dragging, renaming, opening, properties and deleting nodes
    // (bits 1 to 5) are stored but the tree offers none of them.
    m_dwOperationFlags = flags;
    SetShowFiles((flags & 1u) != 0);
}

QString CTreeFileCtrl::GetItemFolder(QTreeWidgetItem* item) const {
    const FolderNodeData* nodeData = NodeData(item);
    return nodeData != nullptr ? nodeData->strFullPath : QString();
}

QString CTreeFileCtrl::GetSelectedFolder() const {
    return GetItemFolder(currentItem());
}

QTreeWidgetItem* CTreeFileCtrl::AddNode(QTreeWidgetItem* parent, FolderNodeData nodeData,
                                        bool shared, const QIcon& image, const QIcon& selectedImage,
                                        bool checkChildren) {
    const DriveInfo* drive = FindDrive(nodeData.strFullPath);
    QString text = nodeData.strDisplayName;
    if (drive != nullptr && m_bDriveLabels && !nodeData.bNetwork)
        text = GetDriveLabel(*drive);
    const QString path = nodeData.strFullPath;
    const bool isFolder =
        !nodeData.bNetwork || !nodeData.netResource ||
        nodeData.netResource->dwDisplayType == CNetResource::RESOURCEDISPLAYTYPE_SHARE;

    auto* node = new CFolderNode(std::move(nodeData));
    node->setText(0, text);
    node->setIcon(0, NodeIcon(image, selectedImage, shared));
    node->setData(0, kSharedRole, shared);
    if (drive == nullptr && isFolder && !path.isEmpty() && m_fnFileFlags) {
        const FileFlags flags = m_fnFileFlags(path.toStdString());
        if (m_bColourCompressed && flags.compressed)
            node->setForeground(0, m_crCompressed);
        else if (m_bColourEncrypted && flags.encrypted)
            node->setForeground(0, m_crEncrypted);
    }
    if (parent != nullptr)
        parent->addChild(node);
    else
        addTopLevelItem(node);
    SetHasChildren(node, checkChildren ? (HasSubfolders(path) ? 1 : 0) : 1);
    return node;
}

bool CTreeFileCtrl::HasSubfolders(const QString& path) const {
    // Never touch the medium of a removable or optical drive just to draw a button.
    if (const DriveInfo* drive = FindDrive(path)) {
        if (drive->type == DRIVE_REMOVABLE || drive->type == DRIVE_CDROM)
            return true;
    }
    if (path.isEmpty())
        return false;
    const bool skipHidden = (m_dwFolderAttributeFilter & FILE_ATTRIBUTE_HIDDEN) != 0;
    std::error_code error;
    for (fs::directory_iterator it(ToPath(path), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (!it->is_directory(typeError))
            continue;
        if (skipHidden && it->path().filename().string().starts_with('.'))
            continue;
        return true;
    }
    return false;
}

void CTreeFileCtrl::FillFolder(const QString& path, QTreeWidgetItem* parent, bool redrawControl) {
    WaitCursor wait;
    RedrawOff redraw(this, redrawControl);
    DeleteChildren(parent);

    const bool skipHidden = (m_dwFolderAttributeFilter & FILE_ATTRIBUTE_HIDDEN) != 0;
    std::vector<FolderNodeData> folders;
    std::error_code error;
    for (fs::directory_iterator it(ToPath(path), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (!it->is_directory(typeError))
            continue;
        const std::string name = it->path().filename().string();
        if (skipHidden && name.starts_with('.'))
            continue;
        FolderNodeData nodeData;
        nodeData.strFullPath = QString::fromStdString(it->path().string());
        nodeData.strDisplayName = QString::fromStdString(name);
        folders.push_back(std::move(nodeData));
    }
    std::sort(folders.begin(), folders.end(), LessByName);

    for (FolderNodeData& nodeData : folders) {
        const bool shared = m_bShareOverlay && m_pShares != nullptr &&
                            m_pShares->IsPathShared(nodeData.strFullPath.toStdString());
        AddNode(parent, std::move(nodeData), shared, FolderIcon(false), FolderIcon(true), true);
    }
    if (folders.empty())
        SetHasChildren(parent, 0);
}

bool CTreeFileCtrl::PopulateNode(QTreeWidgetItem* item) {
    if (item == nullptr)
        return false;
    if (item == m_hRootParent) {
        AddTopLevelNodes();
        return true;
    }
    if (item == m_hMyComputer) {
        WaitCursor wait;
        FillDrives(item, false);
        return true;
    }
    const FolderNodeData* nodeData = NodeData(item);
    std::error_code error;
    if (item == m_hNetwork ||
        (nodeData->netResource && !fs::is_directory(ToPath(nodeData->strFullPath), error))) {
        WaitCursor wait;
        FillNetwork(item);
        // Nothing to browse: the button goes rather than promising children that never come.
        if (item->childCount() == 0)
            SetHasChildren(item, 0);
        return true;
    }
    const QString path = nodeData->strFullPath;
    if (path.isEmpty())
        return true;
    if (HasMedia(path)) {
        if (fs::is_directory(ToPath(path), error)) {
            if (item->childCount() == 0)
                FillFolder(path, item, true);
            return true;
        }
        // The folder vanished since its node was made.
        QTreeWidgetItem* parent = item->parent();
        DeleteNode(item);
        if (parent != nullptr && parent->childCount() == 0)
            SetHasChildren(parent, 0);
        return false;
    }
    if (item != m_hRootParent) {
        WaitCursor wait;
        collapseItem(item);
        DeleteChildren(item);
        SetHasChildren(item, 0);
    }
    return true;
}

bool CTreeFileCtrl::EnsureChildren(QTreeWidgetItem* item) {
    if (item == nullptr)
        return false;
    if (HasChildrenFlag(item) != 0 && item->childCount() == 0 && !PopulateNode(item))
        return false;
    // Open it too: a walk down a path shows the folders it passes, as selecting the next one
    // would anyway.
    const QPersistentModelIndex alive(indexFromItem(item));
    expandItem(item);
    return IsAlive(alive);
}

QTreeWidgetItem* CTreeFileCtrl::FindChildByName(QTreeWidgetItem* parent,
                                                const QString& name) const {
    if (parent == nullptr)
        return nullptr;
    // Names that differ only in letter case are different folders here: an exact match wins.
    QTreeWidgetItem* folded = nullptr;
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        const FolderNodeData* nodeData = NodeData(child);
        if (nodeData == nullptr)
            continue;
        if (nodeData->strDisplayName == name)
            return child;
        if (folded == nullptr &&
            QString::compare(nodeData->strDisplayName, name, Qt::CaseInsensitive) == 0)
            folded = child;
    }
    return folded;
}

void CTreeFileCtrl::SelectItem(QTreeWidgetItem* item) {
    setCurrentItem(item);
}

QTreeWidgetItem* CTreeFileCtrl::SelectFolder(const QString& path, bool expand) {
    QString s = path;
    if (s.isEmpty())
        return nullptr;
    if (s.size() > 1 && s.endsWith(QLatin1Char('/')))
        s.chop(1);

    RedrawOff redraw(this);
    QTreeWidgetItem* node = nullptr;
    QStringList components;
    const QString& documents = m_strMyDocumentsPath;
    if (m_bShowNetwork && s.size() > 2 && s.startsWith(QLatin1String("//"))) {
        if (m_hNetwork == nullptr || !EnsureChildren(m_hNetwork))
            return nullptr;
        node = FindServerGroup();
        components = s.mid(2).split(QLatin1Char('/'));
    } else if (m_hMyDocuments != nullptr && !documents.isEmpty() &&
               (s.compare(documents, Qt::CaseInsensitive) == 0 ||
                s.startsWith(documents + QLatin1Char('/'), Qt::CaseInsensitive))) {
        // Only whole folder names count: /home/ann/Documents2 is not inside the documents.
        if (!EnsureChildren(m_hMyDocuments))
            return nullptr;
        node = m_hMyDocuments;
        const QString rest = s.mid(documents.size() + 1);
        if (!rest.isEmpty())
            components = rest.split(QLatin1Char('/'));
    } else if (m_hMyComputer != nullptr && s.startsWith(QLatin1Char('/'))) {
        if (!EnsureChildren(m_hMyComputer))
            return nullptr;
        node = m_hMyComputer;
        // The first component is the root drive, "/", as the drive nodes are named.
        components << QStringLiteral("/");
        if (s.size() > 1)
            components += s.mid(1).split(QLatin1Char('/'));
    }
    if (node == nullptr)
        return nullptr;

    const bool driveRoot = IsDriveRoot(path);
    for (int i = 0; i + 1 < components.size(); ++i) {
        node = FindChildByName(node, components[i]);
        if (node == nullptr)
            return nullptr;
        const QPersistentModelIndex alive(indexFromItem(node));
        if (!driveRoot)
            SelectItem(node);
        if (!IsAlive(alive) || !EnsureChildren(node))
            return nullptr; // pruned on the way: the folder vanished
    }
    if (!components.isEmpty()) {
        node = FindChildByName(node, components.last());
        if (node == nullptr)
            return nullptr;
    }
    const QPersistentModelIndex alive(indexFromItem(node));
    SelectItem(node);
    if (!IsAlive(alive))
        return nullptr;
    if (expand && !EnsureChildren(node))
        return nullptr;
    return node;
}

void CTreeFileCtrl::Rebuild() {
    WaitCursor wait;
    RedrawOff redraw(this);

    QString remembered;
    bool wasExpanded = false;
    if (QTreeWidgetItem* selected = currentItem()) {
        remembered = GetItemFolder(selected);
        wasExpanded = selected->isExpanded();
    }
    if (m_pShares != nullptr)
        m_pShares->RefreshShares();
    m_drives = m_fnListDrives ? m_fnListDrives() : std::vector<DriveInfo>{};

    m_bDeletingAll = true;
    ForgetHandles(invisibleRootItem());
    clear();
    m_hRootParent = nullptr;
    m_bDeletingAll = false;

    if (m_bShowDesktop) {
        AddDesktopNode();
        AddTopLevelNodes();
        // Open at the top level, so the places show without a click.
        expandItem(m_hRootParent);
    } else {
        AddTopLevelNodes();
    }

    if (!remembered.isEmpty())
        SelectFolder(remembered, wasExpanded);
}

void CTreeFileCtrl::AddDesktopNode() {
    // The desktop of this system is the user's home folder.
    FolderNodeData nodeData;
    nodeData.strFullPath = QDir::homePath();
    nodeData.strDisplayName = QStringLiteral("Home");
    const QIcon icon = PlaceIcon(QStringLiteral("home"));
    m_hRootParent = AddNode(nullptr, std::move(nodeData), false, icon, icon, false);
}

void CTreeFileCtrl::AddTopLevelNodes() {
    QTreeWidgetItem* root = m_hRootParent;

    FolderNodeData documents;
    const QString documentsPath = DocumentsFolder();
    if (!documentsPath.isEmpty()) {
        QDir().mkpath(documentsPath);
        documents.strFullPath = documentsPath;
        documents.strDisplayName = QFileInfo(documentsPath).fileName();
    }
    m_strMyDocumentsPath = documentsPath;
    const QIcon documentsIcon =
        documentsPath.isEmpty() ? QIcon() : PlaceIcon(QStringLiteral("documents"));
    m_hMyDocuments =
        AddNode(root, std::move(documents), false, documentsIcon, documentsIcon, false);

    FolderNodeData computer;
    computer.strDisplayName = QStringLiteral("Computer");
    const QIcon computerIcon = PlaceIcon(QStringLiteral("computer"));
    m_hMyComputer = AddNode(root, std::move(computer), false, computerIcon, computerIcon, false);

    if (m_bShowNetwork) {
        FolderNodeData network;
        network.strDisplayName = QStringLiteral("Network");
        network.bNetwork = true;
        const QIcon networkIcon = PlaceIcon(QStringLiteral("network"));
        m_hNetwork = AddNode(root, std::move(network), false, networkIcon, networkIcon, false);
        if (m_pNetwork == nullptr)
            SetHasChildren(m_hNetwork, 0); // nothing to browse the network with
    }
}

void CTreeFileCtrl::FillDrives(QTreeWidgetItem* parent, bool redrawControl) {
    WaitCursor wait;
    RedrawOff redraw(this, redrawControl);
    m_drives = m_fnListDrives ? m_fnListDrives() : std::vector<DriveInfo>{};
    bool any = false;
    for (const DriveInfo& drive : m_drives) {
        if (!IsDriveShown(drive))
            continue;
        FolderNodeData nodeData;
        nodeData.strFullPath = QString::fromStdString(drive.root);
        nodeData.strDisplayName = nodeData.strFullPath;
        const bool shared =
            m_bShareOverlay && m_pShares != nullptr && m_pShares->IsPathShared(drive.root);
        const QIcon icon = DriveIcon(drive.type);
        AddNode(parent, std::move(nodeData), shared, icon, icon, true);
        any = true;
    }
    if (!AddUserMounts(parent) && !any)
        SetHasChildren(parent, 0);
}

bool CTreeFileCtrl::AddUserMounts(QTreeWidgetItem* parent) {
    const std::vector<UserMount> mounts =
        m_fnListMounts ? m_fnListMounts() : std::vector<UserMount>{};
    bool any = false;
    for (const UserMount& mount : mounts) {
        const bool shownAsDrive =
            std::any_of(m_drives.begin(), m_drives.end(), [&](const DriveInfo& drive) {
                return drive.root == mount.path && IsDriveShown(drive);
            });
        if (shownAsDrive)
            continue;
        FolderNodeData nodeData;
        nodeData.strFullPath = QString::fromStdString(mount.path);
        nodeData.strDisplayName = QString::fromStdString(mount.name);
        const QIcon icon = DriveIcon(mount.type);
        // A button without looking inside: a network folder may be slow to answer.
        QTreeWidgetItem* node = AddNode(parent, std::move(nodeData), false, icon, icon, false);
        node->setText(0, QString::fromStdString(mount.name)); // the folder's name, not a label
        any = true;
    }
    return any;
}

bool CTreeFileCtrl::IsDriveShown(const DriveInfo& drive) const {
    return IsDriveTypeShown(drive.type, m_dwHiddenDriveTypes);
}

QString CTreeFileCtrl::GetDriveLabel(const DriveInfo& drive) const {
    // The volume's label where the system knows one, as "Label (/mount/point)".
    std::error_code error;
    const fs::path device = fs::canonical(drive.device, error);
    if (!error) {
        for (fs::directory_iterator it("/dev/disk/by-label", error), end; !error && it != end;
             it.increment(error)) {
            std::error_code linkError;
            if (fs::canonical(it->path(), linkError) != device || linkError)
                continue;
            // udev writes blanks and other bytes as \xNN.
            const std::string raw = it->path().filename().string();
            std::string label;
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' &&
                    std::isxdigit(static_cast<unsigned char>(raw[i + 2])) &&
                    std::isxdigit(static_cast<unsigned char>(raw[i + 3]))) {
                    label += static_cast<char>(std::stoi(raw.substr(i + 2, 2), nullptr, 16));
                    i += 3;
                } else {
                    label += raw[i];
                }
            }
            return QStringLiteral("%1 (%2)").arg(QString::fromStdString(label),
                                                 QString::fromStdString(drive.root));
        }
    }
    return QString::fromStdString(drive.root);
}

const DriveInfo* CTreeFileCtrl::FindDrive(const QString& path) const {
    if (path.isEmpty())
        return nullptr;
    const std::string wanted = path.toStdString();
    for (const DriveInfo& drive : m_drives) {
        if (drive.root == wanted)
            return &drive;
    }
    return nullptr;
}

bool CTreeFileCtrl::HasMedia(const QString& path) const {
    const DriveInfo* drive = FindDrive(path);
    return drive == nullptr || kinovex::HasMedia(*drive);
}

bool CTreeFileCtrl::FillNetwork(QTreeWidgetItem* item) {
    if (m_pNetwork == nullptr)
        return false;
    const FolderNodeData* nodeData = NodeData(item);
    const CNetResource* resource =
        nodeData != nullptr && nodeData->netResource ? &*nodeData->netResource : nullptr;
    std::vector<CNetResource> entries;
    if (!m_pNetwork->Enumerate(resource, m_dwNetResourceType, entries))
        return false;

    for (CNetResource& entry : entries) {
        std::string name = entry.strRemoteName.empty() ? entry.strComment : entry.strRemoteName;
        for (int i = 0; i < 2 && !name.empty() && name.front() == '/'; ++i)
            name.erase(0, 1);
        FolderNodeData node;
        node.strFullPath =
            QString::fromStdString(entry.strRemoteName.empty() ? name : entry.strRemoteName);
        node.strDisplayName = QString::fromStdString(name);
        node.bNetwork = true;
        const unsigned displayType = entry.dwDisplayType;
        if (displayType == CNetResource::RESOURCEDISPLAYTYPE_SHARE && !entry.strLocalName.empty())
            node.strFullPath = QString::fromStdString(entry.strLocalName); // mounted here
        node.netResource = std::move(entry);

        if (displayType == CNetResource::RESOURCEDISPLAYTYPE_SHARE) {
            const qsizetype slash = node.strDisplayName.indexOf(QLatin1Char('/'));
            if (slash >= 0)
                node.strDisplayName = node.strDisplayName.mid(slash + 1);
            const QIcon icon = PlaceIcon(QStringLiteral("share"));
            AddNode(item, std::move(node), m_bShareOverlay, icon, icon, true);
        } else if (displayType == CNetResource::RESOURCEDISPLAYTYPE_SERVER) {
            const QIcon icon = PlaceIcon(QStringLiteral("server"));
            AddNode(item, std::move(node), false, icon, icon, false);
        } else {
            const QIcon icon = PlaceIcon(QStringLiteral("workgroup"));
            AddNode(item, std::move(node), false, icon, icon, false);
        }
    }
    return !entries.empty();
}

QTreeWidgetItem* CTreeFileCtrl::FindServerGroup() const {
    if (!m_bShowNetwork || m_hNetwork == nullptr)
        return nullptr;
    // Depth first through what is already in the tree: the first node with a server below it.
    std::function<QTreeWidgetItem*(QTreeWidgetItem*)> search =
        [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
        for (int i = 0; i < item->childCount(); ++i) {
            const FolderNodeData* nodeData = NodeData(item->child(i));
            if (nodeData != nullptr && nodeData->netResource &&
                nodeData->netResource->dwDisplayType == CNetResource::RESOURCEDISPLAYTYPE_SERVER)
                return item;
        }
        for (int i = 0; i < item->childCount(); ++i) {
            if (QTreeWidgetItem* found = search(item->child(i)))
                return found;
        }
        return nullptr;
    };
    return search(m_hNetwork);
}

void CTreeFileCtrl::OnItemExpanding(QTreeWidgetItem* item) {
    if (HasChildrenFlag(item) != 0 && item->childCount() == 0)
        PopulateNode(item);
}

void CTreeFileCtrl::OnItemCollapsing(QTreeWidgetItem* item) {
    // Children live only while their parent is open; the next expansion reads them again.
    WaitCursor wait;
    const bool hadChild = item->childCount() > 0;
    DeleteChildren(item);
    const FolderNodeData* nodeData = NodeData(item);
    const bool networkContainer =
        nodeData != nullptr && nodeData->bNetwork &&
        !(nodeData->netResource &&
          nodeData->netResource->dwDisplayType == CNetResource::RESOURCEDISPLAYTYPE_SHARE);
    if (!networkContainer)
        SetHasChildren(item, hadChild ? 1 : 0);
}

void CTreeFileCtrl::OnSelChanged(QTreeWidgetItem* item) {
    if (m_bDeletingAll)
        return;
    if (item != nullptr) {
        const FolderNodeData* nodeData = NodeData(item);
        std::error_code error;
        const bool stays = item == m_hRootParent || item == m_hMyDocuments || item == m_hNetwork ||
                           item == m_hMyComputer || nodeData == nullptr || nodeData->netResource ||
                           IsDriveRoot(nodeData->strFullPath) ||
                           fs::exists(ToPath(nodeData->strFullPath), error);
        if (!stays) {
            // The folder vanished: the node goes, and its parent's button with it when it
            // has nothing else left.
            QTreeWidgetItem* parent = item->parent();
            DeleteNode(item);
            if (parent != nullptr && parent->childCount() == 0)
                SetHasChildren(parent, 0);
        }
    }
    emit SelChanged();
}

void CTreeFileCtrl::DeleteNode(QTreeWidgetItem* item) {
    ForgetHandles(item);
    delete item;
}

void CTreeFileCtrl::DeleteChildren(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i)
        ForgetHandles(item->child(i));
    const QList<QTreeWidgetItem*> children = item->takeChildren();
    qDeleteAll(children);
}

void CTreeFileCtrl::ForgetHandles(QTreeWidgetItem* item) {
    if (item == nullptr)
        return;
    if (item == m_hRootParent)
        m_hRootParent = nullptr;
    if (item == m_hMyDocuments)
        m_hMyDocuments = nullptr;
    if (item == m_hMyComputer)
        m_hMyComputer = nullptr;
    if (item == m_hNetwork)
        m_hNetwork = nullptr;
    for (int i = 0; i < item->childCount(); ++i)
        ForgetHandles(item->child(i));
}

void CTreeFileCtrl::keyPressEvent(QKeyEvent* event) {
    // Backspace does not climb to the parent, and there is no context menu to open.
    const bool shiftF10 =
        event->key() == Qt::Key_F10 && (event->modifiers() & Qt::ShiftModifier) != 0;
    if (event->key() == Qt::Key_Backspace || shiftF10 || event->key() == Qt::Key_Menu) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CTreeFileCtrl::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void CTreeFileCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTreeWidget::mousePressEvent(event);
        return;
    }
    // A right click selects the node under it, or nothing on empty space; no menu follows.
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item != nullptr) {
        SelectItem(item);
    } else {
        setCurrentItem(nullptr);
        clearSelection();
    }
    event->accept();
}

} // namespace kinovex
