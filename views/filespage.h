#pragma once

#include "filesmodel.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

// The files of the selected image: a filter by name, the table (sortable
// by any column; Space checks or unchecks the selected files; files can be
// dragged out onto a file manager) and a line that sums the files up by
// verdict.
class FilesPage : public QWidget
{
    Q_OBJECT

public:
    explicit FilesPage(QWidget *parent = nullptr);

    FilesModel *model() const { return files; }
    QSortFilterProxyModel *proxy() const { return sorted; }
    QTableView *table() const { return view; }
    QLineEdit *filter() const { return filterEdit; }
    QString summary() const;

    // The files of the selected image; why, when there are none to show
    // (the image's layout is unknown, say).
    void setFiles(const QVector<FileSummary> &list);
    void clear(const QString &why = QString());

    // The place in the model of the file the table's current row shows;
    // -1 when there is none.
    int currentPlace() const;
    void selectPlace(int place);

signals:
    // The current file changed: its place, or -1.
    void fileSelected(int place);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateSummary();

    FilesModel *files = nullptr;
    QSortFilterProxyModel *sorted = nullptr;
    QTableView *view = nullptr;
    QLineEdit *filterEdit = nullptr;
    QLabel *summaryLabel = nullptr;
    QString emptyReason;
};
