#include "desktop/browser/CMovieListCtrl.h"

#include "desktop/browser/NaturalOrder.h"
#include "desktop/browser/ShellIcons.h"

#include <QMouseEvent>

#include <algorithm>
#include <filesystem>
#include <vector>

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

    struct Movie {
        std::string title; // the file name without ".swf"
        fs::path path;
    };
    std::vector<Movie> movies;
    std::error_code error;
    const fs::path root = fs::path(folder.toStdString());
    for (fs::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue; // also a link to a folder, and a folder named like a movie
        const std::string name = it->path().filename().string();
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos &&
            QString::fromStdString(name.substr(dot)).toLower() == QLatin1String(".swf"))
            movies.push_back(Movie{name.substr(0, dot), it->path()});
    }
    // By title as people read them; "Intro.swf" and "Intro.SWF" by their file names.
    std::sort(movies.begin(), movies.end(), [](const Movie& a, const Movie& b) {
        const int titles = NaturalCompare(a.title, b.title);
        return titles != 0 ? titles < 0 : a.path.filename() < b.path.filename();
    });
    for (const Movie& movie : movies) {
        addItem(new QListWidgetItem(MovieFileIcon(QString::fromStdString(movie.path)),
                                    QString::fromStdString(movie.title)));
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
