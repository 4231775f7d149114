#include "desktop/browser/CTreeFileCtrl.h"
#include "platform/ShareList.h"

#include "TempDir.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace kinovex {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

QStringList ChildTexts(QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; item != nullptr && i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// A network of one workgroup with one server, as a browse would find it.
class FakeNetwork : public CNetworkSource {
public:
    std::map<std::string, std::vector<CNetResource>> m_entries; // by parent remote name
    int m_nCalls = 0;
    bool Enumerate(const CNetResource* parent, unsigned,
                   std::vector<CNetResource>& entries) override {
        ++m_nCalls;
        auto found = m_entries.find(parent != nullptr ? parent->strRemoteName : "");
        if (found == m_entries.end())
            return false;
        entries = found->second;
        return true;
    }
};

CNetResource Resource(unsigned displayType, std::string remote, std::string comment = {},
                      std::string local = {}) {
    CNetResource resource;
    resource.dwDisplayType = displayType;
    resource.strRemoteName = std::move(remote);
    resource.strComment = std::move(comment);
    resource.strLocalName = std::move(local);
    return resource;
}

// The tree as the movie page sets it up, over a folder tree of the test's own.
class FolderTree : public ::testing::Test {
protected:
    FolderTree()
        : m_root("folder tree"),
          m_documentsEnv("KINOVEX_DOCUMENTS", (m_root / "Documents").string()),
          m_shares((m_root / "smb.conf").string(), (m_root / "usershares").string()) {
        for (const char* folder : {"Movies/Cartoons/Old",
                                   "Movies/ads",
                                   "Movies/Zoo",
                                   "Movies/.thumbnails",
                                   "OnlyHidden/.cache",
                                   "FilesOnly",
                                   "Visible/sub",
                                   "Gone",
                                   "Stay",
                                   "Later/sub",
                                   "Case/Films",
                                   "Case/films",
                                   "Documents/Clips",
                                   "Documents2/Keep",
                                   "usb/Stick",
                                   "data/Set",
                                   "Shared",
                                   "AdminOnly",
                                   "Packed",
                                   "Secret",
                                   "nas/Season1"})
            fs::create_directories(m_root / folder);
        WriteFile(m_root / "FilesOnly" / "movie.swf", "FWS");
        WriteFile(m_root / "smb.conf", "[Pub]\npath = " + (m_root / "Shared").string() +
                                           "\n[adm$]\npath = " + (m_root / "AdminOnly").string() +
                                           "\n");

        m_drives = {{"/", DRIVE_FIXED, "", "ext4"},
                    {(m_root / "usb").string(), DRIVE_REMOVABLE, "", "vfat"},
                    {(m_root / "data").string(), DRIVE_FIXED, "", "ext4"},
                    {(m_root / "nas").string(), DRIVE_REMOTE, "", "cifs"},
                    {"/dev/shm", DRIVE_RAMDISK, "", "tmpfs"},
                    {"/nonexistent/kinovex-cd", DRIVE_CDROM, "/dev/sr0", "iso9660"}};
        m_tree.SetDriveLister([this] { return m_drives; });
        m_tree.SetMountLister([this] { return ListUserMounts(m_mountRoots); });
        m_tree.SetShareList(&m_shares);
        m_tree.SetFileFlagsReader([](const std::string& path) {
            return FileFlags{path.ends_with("/Packed"), path.ends_with("/Secret")};
        });
        auto network = std::make_unique<FakeNetwork>();
        m_pNetwork = network.get();
        m_pNetwork->m_entries[""] = {Resource(CNetResource::RESOURCEDISPLAYTYPE_DOMAIN, "HOME")};
        m_pNetwork->m_entries["HOME"] = {
            Resource(CNetResource::RESOURCEDISPLAYTYPE_SERVER, "//HOST", "Media box"),
            Resource(CNetResource::RESOURCEDISPLAYTYPE_GENERIC, "", "Printer room")};
        m_pNetwork->m_entries["//HOST"] = {
            Resource(CNetResource::RESOURCEDISPLAYTYPE_SHARE, "//HOST/Movies", "",
                     (m_root / "nas").string()),
            Resource(CNetResource::RESOURCEDISPLAYTYPE_SHARE, "//HOST/Music")};
        m_tree.SetNetworkSource(std::move(network));

        m_tree.resize(300, 600);
        SetUpLikeTheMoviePage();
    }

    void SetUpLikeTheMoviePage() {
        m_tree.InitTree();
        m_tree.SetShowDesktop(true);
        m_tree.SetShowNetwork(true);
        m_tree.SetShowFiles(false);
        m_tree.SetHiddenDriveTypes(0x35);
        m_tree.SetOperationFlags(0);
    }

    QString Path(const std::string& relative) const { return Q(m_root / relative); }

    QTreeWidgetItem* Select(const std::string& relative, bool expand = false) {
        return m_tree.SelectFolder(Path(relative), expand);
    }

    TempDir m_root;
    ScopedEnv m_documentsEnv;
    CShareList m_shares;
    std::vector<DriveInfo> m_drives;
    std::vector<MountRoot> m_mountRoots; // none unless a test makes some
    FakeNetwork* m_pNetwork = nullptr;
    CTreeFileCtrl m_tree;
};

TEST_F(FolderTree, ShowsHomeWithDocumentsComputerAndNetworkAndOnlyFixedDisks) {
    QTreeWidgetItem* home = m_tree.DesktopNode();
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(m_tree.topLevelItemCount(), 1);
    EXPECT_EQ(ChildTexts(home), (QStringList{"Documents", "Computer", "Network"}));
    EXPECT_EQ(m_tree.GetItemFolder(m_tree.MyDocumentsNode()), Path("Documents"));
    EXPECT_EQ(m_tree.GetItemFolder(m_tree.MyComputerNode()), "");
    EXPECT_EQ(m_tree.GetItemFolder(nullptr), "");

    QTreeWidgetItem* computer = m_tree.MyComputerNode();
    EXPECT_EQ(computer->childCount(), 0) << "drives are listed when the node is opened";
    m_tree.expandItem(computer);
    const QStringList fixedOnly{"/", Path("data")};
    EXPECT_EQ(ChildTexts(computer), fixedOnly) << "removable, remote and RAM drives hidden";

    m_drives.push_back({(m_root / "Visible").string(), DRIVE_FIXED, "", "ext4"});
    m_tree.collapseItem(computer);
    EXPECT_EQ(computer->childCount(), 0);
    EXPECT_NE(CTreeFileCtrl::HasChildrenFlag(computer), 0) << "keeps its button";
    m_tree.expandItem(computer);
    EXPECT_EQ(ChildTexts(computer), (QStringList{"/", Path("data"), Path("Visible")}))
        << "read again after a collapse";
}

TEST_F(FolderTree, TheUsersMountsShowBesideTheDrivesByNameAndAreReadAgainOnOpening) {
    const MountPlaces places{"ann", 1000, (m_root / "runtime").string(), m_root.str()};
    m_mountRoots = UserMountRoots(places);
    for (const char* folder :
         {"media/ann/Stick 10/Cartoons", "media/ann/stick 2", "runtime/gvfs/ftp:host=example.org"})
        fs::create_directories(m_root / folder);
    // A mount the drive list shows already is not shown twice.
    m_drives.push_back({(m_root / "media/ann/Disk").string(), DRIVE_FIXED, "", "ext4"});
    fs::create_directories(m_root / "media/ann/Disk");

    QTreeWidgetItem* computer = m_tree.MyComputerNode();
    m_tree.expandItem(computer);
    const QStringList drives{"/", Path("data"), Path("media/ann/Disk")};
    EXPECT_EQ(ChildTexts(computer),
              drives + QStringList({"ftp:host=example.org", "stick 2", "Stick 10"}));
    QTreeWidgetItem* stick = computer->child(5);
    EXPECT_EQ(m_tree.GetItemFolder(stick), Path("media/ann/Stick 10"));
    m_tree.setCurrentItem(stick);
    m_tree.expandItem(stick);
    EXPECT_EQ(ChildTexts(stick), QStringList{"Cartoons"});
    EXPECT_EQ(m_tree.GetSelectedFolder(), Path("media/ann/Stick 10"));

    fs::remove_all(m_root / "media/ann/stick 2");
    fs::create_directories(m_root / "media/ann/Camera");
    m_tree.collapseItem(computer);
    m_tree.expandItem(computer);
    EXPECT_EQ(ChildTexts(computer),
              drives + QStringList({"Camera", "ftp:host=example.org", "Stick 10"}));
}

TEST_F(FolderTree, RemovableDrivesGetAButtonUntilTheirMediumTurnsOutUnreadable) {
    m_tree.SetHiddenDriveTypes(0);
    QTreeWidgetItem* computer = m_tree.MyComputerNode();
    m_tree.expandItem(computer);
    ASSERT_EQ(computer->childCount(), 6);
    QTreeWidgetItem* usb = computer->child(1);
    QTreeWidgetItem* cd = computer->child(5);
    ASSERT_EQ(m_tree.GetItemFolder(cd), "/nonexistent/kinovex-cd");
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(cd), 1) << "decided without touching the medium";

    m_tree.expandItem(cd);
    EXPECT_EQ(cd->childCount(), 0);
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(cd), 0);
    EXPECT_FALSE(cd->isExpanded());

    m_tree.expandItem(usb);
    EXPECT_EQ(ChildTexts(usb), QStringList{"Stick"});
}

TEST_F(FolderTree, SelectsByPathIgnoringLetterCaseAndATrailingSeparator) {
    QSignalSpy changed(&m_tree, &CTreeFileCtrl::SelChanged);
    QStringList seen;
    QObject::connect(&m_tree, &CTreeFileCtrl::SelChanged,
                     [&] { seen << m_tree.GetSelectedFolder(); });

    QTreeWidgetItem* node = m_tree.SelectFolder(Path("Movies/Cartoons").toUpper() + "/", false);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(m_tree.currentItem(), node);
    EXPECT_EQ(m_tree.GetSelectedFolder(), Path("Movies/Cartoons"));

    // One selection change per folder on the way, from the root drive down.
    QStringList expected{"/"};
    fs::path walked("/");
    for (const auto& part : fs::path(Path("Movies/Cartoons").toStdString()).relative_path()) {
        walked /= part;
        expected << Q(walked);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(node->isExpanded());

    seen.clear();
    ASSERT_NE(m_tree.SelectFolder("/", false), nullptr);
    EXPECT_EQ(seen, QStringList{"/"}) << "a drive root selects no intermediate node";

    EXPECT_EQ(m_tree.SelectFolder(Path("Movies/Nothing"), false), nullptr);
    EXPECT_EQ(m_tree.SelectFolder("", false), nullptr);
    EXPECT_EQ(m_tree.SelectFolder("relative/path", false), nullptr);

    node = Select("Movies", true);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->isExpanded());
    EXPECT_EQ(ChildTexts(node), (QStringList{"ads", "Cartoons", "Zoo"}))
        << "sorted without letter case, hidden folders left out";
}

TEST_F(FolderTree, NamesThatDifferOnlyInLetterCaseFindTheExactOneFirst) {
    QTreeWidgetItem* lower = Select("Case/films");
    QTreeWidgetItem* upper = Select("Case/Films");
    ASSERT_NE(lower, nullptr);
    ASSERT_NE(upper, nullptr);
    EXPECT_NE(lower, upper);
    EXPECT_EQ(m_tree.GetItemFolder(lower), Path("Case/films"));
    EXPECT_EQ(m_tree.GetItemFolder(upper), Path("Case/Films"));
}

TEST_F(FolderTree, ExpandButtonsOnlyWhereAVisibleSubFolderIs) {
    QTreeWidgetItem* parent = Select("", true);
    ASSERT_NE(parent, nullptr);
    auto child = [&](const QString& name) {
        for (int i = 0; i < parent->childCount(); ++i) {
            if (parent->child(i)->text(0) == name)
                return parent->child(i);
        }
        return static_cast<QTreeWidgetItem*>(nullptr);
    };
    ASSERT_NE(child("OnlyHidden"), nullptr);
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(child("OnlyHidden")), 0);
    EXPECT_EQ(child("OnlyHidden")->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(child("FilesOnly")), 0) << "files are no children";
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(child("Visible")), 1);

    // Shared folders carry the overlay; one shared only administratively does not.
    EXPECT_TRUE(CTreeFileCtrl::IsNodeShared(child("Shared")));
    EXPECT_FALSE(CTreeFileCtrl::IsNodeShared(child("AdminOnly")));
    EXPECT_FALSE(CTreeFileCtrl::IsNodeShared(child("Visible")));

    // Compressed folders are blue, encrypted ones red, the others the default colour.
    EXPECT_EQ(child("Packed")->foreground(0).color(), QColor(0, 0, 255));
    EXPECT_EQ(child("Secret")->foreground(0).color(), QColor(255, 0, 0));
    EXPECT_EQ(child("Visible")->foreground(0).style(), Qt::NoBrush);
}

TEST_F(FolderTree, CollapsingAndExpandingReadsTheFolderAgain) {
    QTreeWidgetItem* movies = Select("Movies", true);
    ASSERT_NE(movies, nullptr);
    fs::create_directory(m_root / "Movies" / "Brand new");
    m_tree.collapseItem(movies);
    EXPECT_EQ(movies->childCount(), 0) << "children are dropped on collapse";
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(movies), 1);
    m_tree.expandItem(movies);
    EXPECT_EQ(ChildTexts(movies), (QStringList{"ads", "Brand new", "Cartoons", "Zoo"}));

    // Emptied outside the program: the next expansion finds nothing and the button goes.
    for (const char* name : {"ads", "Brand new", "Cartoons", "Zoo"})
        fs::remove_all(m_root / "Movies" / name);
    m_tree.collapseItem(movies);
    m_tree.expandItem(movies);
    EXPECT_EQ(movies->childCount(), 0);
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(movies), 0);
}

TEST_F(FolderTree, VanishedFoldersArePrunedWhenSelectedOrExpanded) {
    QTreeWidgetItem* parent = Select("", true);
    ASSERT_NE(parent, nullptr);
    const int before = parent->childCount();
    QSignalSpy changed(&m_tree, &CTreeFileCtrl::SelChanged);

    QTreeWidgetItem* gone = Select("Gone");
    ASSERT_NE(gone, nullptr);
    fs::remove(m_root / "Gone");
    m_tree.setCurrentItem(parent);
    changed.clear();
    m_tree.setCurrentItem(gone); // a click on the stale node
    EXPECT_EQ(parent->childCount(), before - 1);
    EXPECT_FALSE(ChildTexts(parent).contains("Gone"));
    EXPECT_NE(CTreeFileCtrl::HasChildrenFlag(parent), 0) << "its siblings are still there";
    EXPECT_GE(changed.count(), 1) << "the page still hears of the change";

    QTreeWidgetItem* later = Select("Later");
    ASSERT_NE(later, nullptr);
    m_tree.setCurrentItem(parent);
    fs::remove_all(m_root / "Later");
    m_tree.expandItem(later);
    EXPECT_FALSE(ChildTexts(parent).contains("Later"));

    // A path through a vanished folder is not found and does not crash the walk.
    fs::remove_all(m_root / "Visible");
    EXPECT_EQ(Select("Visible/sub"), nullptr);
    EXPECT_FALSE(ChildTexts(parent).contains("Visible"));
}

TEST_F(FolderTree, TheLastVanishedChildTakesTheParentsButton) {
    QTreeWidgetItem* cartoons = Select("Movies/Cartoons", true);
    ASSERT_NE(cartoons, nullptr);
    ASSERT_EQ(ChildTexts(cartoons), QStringList{"Old"});
    QTreeWidgetItem* old = cartoons->child(0);
    fs::remove(m_root / "Movies/Cartoons/Old");
    m_tree.setCurrentItem(old);
    EXPECT_EQ(cartoons->childCount(), 0);
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(cartoons), 0);
}

TEST_F(FolderTree, DocumentsPathsGoThroughTheDocumentsNodeOnlyForWholeNames) {
    QTreeWidgetItem* clips = Select("Documents/clips/");
    ASSERT_NE(clips, nullptr);
    EXPECT_EQ(clips->parent(), m_tree.MyDocumentsNode());
    EXPECT_EQ(Select("Documents"), m_tree.MyDocumentsNode());

    QTreeWidgetItem* keep = Select("Documents2/Keep");
    ASSERT_NE(keep, nullptr) << "a sibling whose name only begins like the documents folder";
    QTreeWidgetItem* top = keep;
    while (top->parent() != m_tree.DesktopNode())
        top = top->parent();
    EXPECT_EQ(top, m_tree.MyComputerNode());
}

TEST_F(FolderTree, RightClickSelectsOrClearsAndKeysDoNotClimb) {
    m_tree.show();
    // Inside the documents, so that few rows are open and empty space is left below them.
    QTreeWidgetItem* documents = Select("Documents", true);
    ASSERT_NE(documents, nullptr);
    QTreeWidgetItem* zoo = documents->child(0);
    QSignalSpy changed(&m_tree, &CTreeFileCtrl::SelChanged);

    QTest::mouseClick(m_tree.viewport(), Qt::RightButton, {}, m_tree.visualItemRect(zoo).center());
    EXPECT_EQ(m_tree.currentItem(), zoo);
    EXPECT_EQ(changed.count(), 1);

    QTest::keyClick(&m_tree, Qt::Key_Backspace);
    EXPECT_EQ(m_tree.currentItem(), zoo) << "Backspace does not move to the parent";
    QTest::keyClick(&m_tree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(m_tree.currentItem(), zoo);

    const QPoint empty(5, m_tree.viewport()->height() - 3);
    ASSERT_EQ(m_tree.itemAt(empty), nullptr);
    QTest::mouseClick(m_tree.viewport(), Qt::RightButton, {}, empty);
    EXPECT_EQ(m_tree.currentItem(), nullptr);
    EXPECT_EQ(m_tree.GetSelectedFolder(), "");
    EXPECT_EQ(changed.count(), 2) << "the page hears that nothing is selected";
}

TEST_F(FolderTree, RebuildKeepsTheSelectionAndItsExpansion) {
    QTreeWidgetItem* movies = Select("Movies", true);
    ASSERT_NE(movies, nullptr);
    m_tree.Rebuild();
    EXPECT_EQ(m_tree.GetSelectedFolder(), Path("Movies"));
    ASSERT_NE(m_tree.currentItem(), nullptr);
    EXPECT_TRUE(m_tree.currentItem()->isExpanded());
    EXPECT_EQ(ChildTexts(m_tree.currentItem()), (QStringList{"ads", "Cartoons", "Zoo"}));

    // Collapsing Home drops the special nodes; opening it again brings them back.
    m_tree.collapseItem(m_tree.DesktopNode());
    EXPECT_EQ(m_tree.MyComputerNode(), nullptr);
    m_tree.expandItem(m_tree.DesktopNode());
    ASSERT_NE(m_tree.MyComputerNode(), nullptr);
    EXPECT_NE(Select("Movies"), nullptr);
}

TEST_F(FolderTree, BrowsesTheNetworkAndItsMountedShares) {
    QTreeWidgetItem* network = m_tree.NetworkNode();
    ASSERT_NE(network, nullptr);
    EXPECT_EQ(m_pNetwork->m_nCalls, 0) << "nothing is asked before the node opens";
    m_tree.expandItem(network);
    ASSERT_EQ(ChildTexts(network), QStringList{"HOME"});
    QTreeWidgetItem* workgroup = network->child(0);
    m_tree.expandItem(workgroup);
    EXPECT_EQ(ChildTexts(workgroup), (QStringList{"HOST", "Printer room"}))
        << "an entry without a remote name shows its comment; the order is the network's";

    QTreeWidgetItem* clips = m_tree.SelectFolder("//host/MOVIES/season1", false);
    ASSERT_NE(clips, nullptr);
    EXPECT_EQ(m_tree.GetSelectedFolder(), Path("nas/Season1")) << "listed through the mount";
    QTreeWidgetItem* share = clips->parent();
    EXPECT_EQ(share->text(0), "Movies");
    EXPECT_TRUE(CTreeFileCtrl::IsNodeShared(share));
    QTreeWidgetItem* server = share->parent();
    ASSERT_EQ(ChildTexts(server), (QStringList{"Movies", "Music"}));
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(server->child(1)), 0)
        << "a share that is not mounted has no folders to show";

    // Collapsing a server keeps its button; opening it asks the network again.
    const int calls = m_pNetwork->m_nCalls;
    m_tree.collapseItem(server);
    EXPECT_NE(CTreeFileCtrl::HasChildrenFlag(server), 0);
    m_tree.expandItem(server);
    EXPECT_EQ(m_pNetwork->m_nCalls, calls + 1);
    EXPECT_EQ(ChildTexts(server), (QStringList{"Movies", "Music"}));
}

TEST_F(FolderTree, NetworkPathsNeedTheNetworkNode) {
    EXPECT_EQ(m_tree.SelectFolder("//HOST/Movies", false), nullptr)
        << "no server is in the tree yet, and the search enumerates nothing";

    m_tree.SetShowNetwork(false);
    EXPECT_EQ(m_tree.NetworkNode(), nullptr);
    EXPECT_EQ(ChildTexts(m_tree.DesktopNode()), (QStringList{"Documents", "Computer"}));
    EXPECT_EQ(m_tree.SelectFolder("//HOST/Movies", false), nullptr);

    m_tree.SetNetworkSource(nullptr);
    m_tree.SetShowNetwork(true);
    QTreeWidgetItem* network = m_tree.NetworkNode();
    ASSERT_NE(network, nullptr);
    EXPECT_EQ(CTreeFileCtrl::HasChildrenFlag(network), 0) << "nothing to browse it with";
    m_tree.expandItem(network);
    EXPECT_EQ(network->childCount(), 0);
}

} // namespace
} // namespace kinovex
