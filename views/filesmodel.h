#pragma once

#include "imagelist/imagerow.h"
#include "rescue/conversion.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSet>
#include <QUrl>
#include <QVector>

#include <functional>

class QMimeData;

// A rescued file's bytes as a Save writes them, taken from the row's
// sectors, and where damage lies in them.
struct FileContent
{
    QByteArray header; // the Spectrum header before the body: 0, 5 or 7 bytes
    QByteArray body;   // what the file on disk holds
    // The state of each 256-byte sector of the file, the header's first.
    QVector<SectorState> sectorStates;

    // True when a byte of body[offset, offset + length) lies in a sector
    // that was not read cleanly (missing or suspect).
    bool damaged(qint64 offset, qint64 length) const;
    bool anyDamage() const;
    // The stretches of body (offset, length) that lie in such sectors.
    QVector<QPair<int, int>> damagedRanges() const;
};

// The length of the file a Save writes for file.
int bodyLength(const FileSummary &file);

// The bytes and sector states of file, one of the row's conversion's files.
// Sectors the row does not have read as zeros and missing.
FileContent fileContent(const ImageRow &row, const FileSummary &file);

// The files of one image as the rescue finds them, a row each in the
// conversion's order: name, type, length, start or autostart line,
// sectors, verdict and where the file was found. The name column's check
// box says whether Save writes the file (all are checked at first).
class FilesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        NameColumn,
        TypeColumn,
        LengthColumn,
        StartColumn,
        SectorsColumn,
        VerdictColumn,
        OriginColumn,
        ColumnCount
    };
    enum Role {
        SortRole = Qt::UserRole, // numbers as numbers, for the proxy's sorting
        PlaceRole,               // the file's place in the conversion's list
    };

    // Writes the files at these places somewhere a file manager can copy
    // them from, and gives their URLs (empty when nothing was written).
    using Exporter = std::function<QList<QUrl>(const QVector<int> &places)>;

    explicit FilesModel(QObject *parent = nullptr);

    // The files of a conversion; those marked leftOut start unchecked.
    void setFiles(const QVector<FileSummary> &files);
    void clear();
    const QVector<FileSummary> &files() const { return list; }
    // The places of the unchecked files: what Save leaves out.
    QSet<int> leftOut() const;
    bool isChecked(int place) const;
    void setChecked(int place, bool checked);

    void setExporter(Exporter writer) { exporter = std::move(writer); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    Qt::DropActions supportedDragActions() const override;
    QStringList mimeTypes() const override;
    // The dragged files as a URL list; they are written when a drop target
    // first asks for the list, not when the drag begins.
    QMimeData *mimeData(const QModelIndexList &indexes) const override;

    static QString typeText(const FileSummary &file);
    static QString verdictText(Verdict verdict);
    static QString originText(FileOrigin origin);

signals:
    // A check box changed: the places Save leaves out now.
    void leftOutChanged(const QSet<int> &places);

private:
    QVariant display(const FileSummary &file, int column) const;
    QVariant sortKey(const FileSummary &file, int column) const;
    QString toolTip(const FileSummary &file, int place, int column) const;

    QVector<FileSummary> list;
    QVector<bool> checked;
    Exporter exporter;
};
