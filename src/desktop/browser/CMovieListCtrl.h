#pragma once
// The movie list: the movie files of one folder as large icons, named without ".swf".

#include <QListWidget>
#include <QString>

namespace kinovex {

class CMovieListCtrl : public QListWidget {
    Q_OBJECT
public:
    enum { IDC_FILE_LIST = 1001 };

    explicit CMovieListCtrl(QWidget* parent = nullptr);
    ~CMovieListCtrl() override;

    // Shows the movies of `folder` (one level, sub-folders never): every file whose name ends
    // in ".swf" in any letter case, hidden ones too, in the names' natural order
    // (NaturalOrder.h).
    // The folder normally ends with a separator; one is added when it does not.
    void FillFromFolder(QString folder);

signals:
    // An item's state changed (the selection moved onto or off it); -1 for none. Moving the
    // selection from one movie to another reports the old item first, then the new one.
    void ItemChanged(int item);
    // A double click, on an item or (-1) on empty space.
    void DblClk(int item);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace kinovex
