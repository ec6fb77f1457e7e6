#include "filespage.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

FilesPage::FilesPage(QWidget *parent)
    : QWidget(parent)
{
    files = new FilesModel(this);
    sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(files);
    sorted->setSortRole(FilesModel::SortRole);
    sorted->setFilterKeyColumn(FilesModel::NameColumn);
    sorted->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    filterEdit = new QLineEdit(this);
    filterEdit->setObjectName(QStringLiteral("filesFilter"));
    filterEdit->setPlaceholderText(tr("Filter by name"));
    filterEdit->setClearButtonEnabled(true);
    layout->addWidget(filterEdit);

    view = new QTableView(this);
    view->setObjectName(QStringLiteral("filesTable"));
    view->setModel(sorted);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setDefaultDropAction(Qt::CopyAction);
    view->setTabKeyNavigation(false);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // The conversion's order until a column is chosen.
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    view->setSortingEnabled(true);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(view, 1);

    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("filesSummary"));
    summaryLabel->setWordWrap(true);
    layout->addWidget(summaryLabel);

    view->installEventFilter(this);
    connect(filterEdit, &QLineEdit::textChanged, sorted, &QSortFilterProxyModel::setFilterFixedString);
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { emit fileSelected(currentPlace()); });
    connect(files, &FilesModel::leftOutChanged, this, &FilesPage::updateSummary);
    updateSummary();
}

void FilesPage::setFiles(const QVector<FileSummary> &list)
{
    emptyReason.clear();
    files->setFiles(list);
    updateSummary();
}

void FilesPage::clear(const QString &why)
{
    files->clear();
    emptyReason = why;
    updateSummary();
}

int FilesPage::currentPlace() const
{
    const QModelIndex current = view->currentIndex();
    return current.isValid() ? sorted->mapToSource(current).row() : -1;
}

void FilesPage::selectPlace(int place)
{
    const QModelIndex index = sorted->mapFromSource(files->index(place, FilesModel::NameColumn));
    if (index.isValid())
        view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect
                                                           | QItemSelectionModel::Rows);
}

bool FilesPage::eventFilter(QObject *watched, QEvent *event)
{
    // Space checks the selected files, or unchecks them when all are checked.
    if (watched == view && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space
        && static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        const QModelIndexList rows = view->selectionModel()->selectedRows();
        if (rows.isEmpty())
            return false;
        bool allChecked = true;
        for (const QModelIndex &row : rows)
            allChecked = allChecked && files->isChecked(sorted->mapToSource(row).row());
        for (const QModelIndex &row : rows)
            files->setChecked(sorted->mapToSource(row).row(), !allChecked);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString FilesPage::summary() const
{
    return summaryLabel->text();
}

void FilesPage::updateSummary()
{
    const QVector<FileSummary> &list = files->files();
    if (list.isEmpty()) {
        summaryLabel->setText(emptyReason.isEmpty() ? tr("No files.") : emptyReason);
        return;
    }
    QMap<Verdict, int> counts;
    int deleted = 0;
    int lost = 0;
    for (const FileSummary &file : list) {
        ++counts[file.verdict];
        deleted += file.origin == FileOrigin::Deleted;
        lost += file.origin == FileOrigin::Lost;
    }
    QStringList parts;
    for (Verdict verdict : {Verdict::Complete, Verdict::Damaged, Verdict::Suspect, Verdict::Unverified}) {
        if (counts.value(verdict) > 0)
            parts << QStringLiteral("%1 %2").arg(counts.value(verdict)).arg(FilesModel::verdictText(verdict));
    }
    QString text = tr("%n file(s): %1.", nullptr, list.size()).arg(parts.join(QStringLiteral(", ")));
    if (deleted > 0)
        text += QLatin1Char(' ') + tr("%n from deleted entries.", nullptr, deleted);
    if (lost > 0)
        text += QLatin1Char(' ') + tr("%n recovered from lost blocks.", nullptr, lost);
    const int leftOut = files->leftOut().size();
    if (leftOut > 0)
        text += QLatin1Char(' ') + tr("%n left out of Save.", nullptr, leftOut);
    summaryLabel->setText(text);
}
