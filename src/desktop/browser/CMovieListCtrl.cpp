#include "desktop/browser/CMovieListCtrl.h"

#include "desktop/browser/ShellIcons.h"

#include <QMouseEvent>

#include <filesystem>

namespace kinovex {

namespace fs = std::filesystem;

CMovieListCtrl::CMovieListCtrl(QWidget* parent) : QListWidget(parent) {
    setObjectName(QString::number(IDC_FILE_LIST));
    // Large icons, one selection, arranged to the width, in the order the items were put in.
    setViewMode(QListView::IconMode);
    setIconSize(LargeIconSize());
    // Room for two lines of title under each icon.
    setGridSize(QSize(LargeIconSize().width() + 72, LargeIconSize().height() + 48));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setWrapping(true);
    setWordWrap(true);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideMiddle);
    setSpacing(4);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                for (const QModelIndex& index : deselected.indexes())
                    emit ItemChanged(index.row());
                for (const QModelIndex& index : selected.indexes())
                    emit ItemChanged(index.row());
            });
}

CMovieListCtrl::~CMovieListCtrl() {
    // The items go with the view; nobody is to hear of their selection going with them.
    disconnect(selectionModel(), nullptr, this, nullptr);
    blockSignals(true);
}

void CMovieListCtrl::FillFromFolder(QString folder) {
    clear();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    std::error_code error;
    const fs::path root = fs::path(folder.toStdString());
    // The directory is read in the order the file system gives; each item goes to the top.
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue; // also a link to a folder, and a folder named like a movie
        const std::string name = it->path().filename().string();
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos)
            continue;
        const QString extension = QString::fromStdString(name.substr(dot)).toLower();
        if (extension != QLatin1String(".swf"))
            continue;
        const QString title = QString::fromStdString(name.substr(0, dot));
        auto* item = new QListWidgetItem(MovieFileIcon(QString::fromStdString(it->path())), title);
        insertItem(0, item);
    }
}

void CMovieListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        emit DblClk(index.isValid() ? index.row() : -1);
    }
}

} // namespace kinovex
