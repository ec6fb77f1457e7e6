#include "filesmodel.h"

#include "disk/geometry.h"
#include "palette.h"

#include <QFont>
#include <QMimeData>

#include <algorithm>

using geometry::sectorSize;

namespace {

const QString uriList = QStringLiteral("text/uri-list");

// Missing and suspect sectors; good ones and those proven by their CRC
// otherwise are not.
bool isDamage(SectorState state)
{
    return state == SectorState::Missing || state == SectorState::Suspect;
}

// A Spectrum program without an autostart line has 32768 or more there.
constexpr int noAutostart = 32768;

// Dragged files, written the first time a drop target asks for their URLs:
// a drag that ends nowhere writes nothing.
class FileDragData : public QMimeData
{
public:
    FileDragData(FilesModel::Exporter exporter, QVector<int> places)
        : exporter(std::move(exporter))
        , places(std::move(places))
    {
    }

    QStringList formats() const override { return {uriList}; }
    bool hasFormat(const QString &mimeType) const override { return mimeType == uriList; }

protected:
    QVariant retrieveData(const QString &mimeType, QVariant::Type type) const override
    {
        if (mimeType != uriList)
            return QVariant();
        if (!written) {
            written = true;
            urls = exporter ? exporter(places) : QList<QUrl>();
        }
        if (type == QVariant::ByteArray) {
            QByteArray list;
            for (const QUrl &url : urls)
                list += url.toEncoded() + "\r\n";
            return list;
        }
        QVariantList list;
        for (const QUrl &url : urls)
            list.append(url);
        return list;
    }

private:
    FilesModel::Exporter exporter;
    QVector<int> places;
    mutable bool written = false;
    mutable QList<QUrl> urls;
};

// The array's name as BASIC writes it: "a()" or "a$()".
QString arrayName(int word, bool characters)
{
    const QChar letter(QLatin1Char(char(0x60 + ((word >> 8) & 0x1F))));
    return QString(letter) + (characters ? QStringLiteral("$()") : QStringLiteral("()"));
}

} // namespace

bool FileContent::damaged(qint64 offset, qint64 length) const
{
    if (length <= 0)
        return false;
    const qint64 first = (header.size() + offset) / sectorSize;
    const qint64 last = (header.size() + offset + length - 1) / sectorSize;
    for (qint64 s = qMax<qint64>(0, first); s <= last && s < sectorStates.size(); ++s)
        if (isDamage(sectorStates.at(int(s))))
            return true;
    return false;
}

bool FileContent::anyDamage() const
{
    return damaged(0, body.size());
}

QVector<QPair<int, int>> FileContent::damagedRanges() const
{
    QVector<QPair<int, int>> ranges;
    for (int s = 0; s < sectorStates.size(); ++s) {
        if (!isDamage(sectorStates.at(s)))
            continue;
        const int from = qMax(0, s * sectorSize - header.size());
        const int to = qMin(body.size(), (s + 1) * sectorSize - header.size());
        if (to > from)
            ranges.append({from, to - from});
    }
    return ranges;
}

int bodyLength(const FileSummary &file)
{
    // Lost files put together from blocks give their body's length as their
    // length, and some only that.
    if (file.origin == FileOrigin::Lost)
        return qMax(0, qMax(file.length, file.bodyLength));
    return qMax(0, file.bodyLength);
}

FileContent fileContent(const ImageRow &row, const FileSummary &file)
{
    FileContent content;
    const SectorTable &sectors = row.sectors;
    // Only as many sectors as the header and the body take: a length the
    // sectors cannot hold was already cut by the conversion.
    const qint64 wanted = qint64(file.headerSize) + bodyLength(file);
    QByteArray bytes;
    bytes.reserve(int(qMin<qint64>(wanted, qint64(file.sectors.size()) * sectorSize)));
    for (int sector : file.sectors) {
        if (bytes.size() >= wanted)
            break;
        content.sectorStates.append(sectors.state(sector));
        if (sectors.isRead(sector))
            bytes.append(sectors.sectorData(sector), sectorSize);
        else
            bytes.append(QByteArray(sectorSize, '\0'));
    }
    content.header = bytes.left(file.headerSize);
    content.body = bytes.mid(file.headerSize, bodyLength(file));
    return content;
}

FilesModel::FilesModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void FilesModel::setFiles(const QVector<FileSummary> &files)
{
    beginResetModel();
    list = files;
    checked.fill(true, list.size());
    for (int i = 0; i < list.size(); ++i)
        checked[i] = !list.at(i).leftOut;
    endResetModel();
}

void FilesModel::clear()
{
    setFiles({});
}

QSet<int> FilesModel::leftOut() const
{
    QSet<int> places;
    for (int i = 0; i < checked.size(); ++i)
        if (!checked.at(i))
            places.insert(i);
    return places;
}

bool FilesModel::isChecked(int place) const
{
    return checked.value(place, false);
}

void FilesModel::setChecked(int place, bool on)
{
    if (place < 0 || place >= checked.size() || checked.at(place) == on)
        return;
    checked[place] = on;
    const QModelIndex cell = index(place, NameColumn);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
    emit leftOutChanged(leftOut());
}

int FilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : list.size();
}

int FilesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FilesModel::typeText(const FileSummary &file)
{
    if (file.type == QLatin1String("basic"))
        return tr("BASIC program");
    if (file.type == QLatin1String("code"))
        return bodyLength(file) == 6912 ? tr("Code (screen)") : tr("Code");
    if (file.type == QLatin1String("num array"))
        return tr("Number array");
    if (file.type == QLatin1String("char array"))
        return tr("Character array");
    return tr("Data");
}

QString FilesModel::verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Complete:
        return tr("complete");
    case Verdict::Damaged:
        return tr("damaged");
    case Verdict::Suspect:
        return tr("suspect");
    case Verdict::Unverified:
        break;
    }
    return tr("unverified");
}

QString FilesModel::originText(FileOrigin origin)
{
    switch (origin) {
    case FileOrigin::Catalog:
        return tr("catalog");
    case FileOrigin::Deleted:
        return tr("deleted entry");
    case FileOrigin::Lost:
        break;
    }
    return tr("recovered (lost block)");
}

QVariant FilesModel::display(const FileSummary &file, int column) const
{
    switch (column) {
    case NameColumn:
        return file.name;
    case TypeColumn:
        return typeText(file);
    case LengthColumn:
        return bodyLength(file);
    case StartColumn:
        if (file.start < 0)
            return QString();
        if (file.type == QLatin1String("basic"))
            return file.start < noAutostart ? tr("line %1").arg(file.start) : tr("no autostart");
        if (file.type == QLatin1String("num array") || file.type == QLatin1String("char array"))
            return arrayName(file.start, file.type == QLatin1String("char array"));
        return file.start;
    case SectorsColumn:
        if (file.bad > 0 && file.suspect > 0)
            return tr("%1 (%2 missing, %3 suspect)").arg(file.sectors.size()).arg(file.bad).arg(file.suspect);
        if (file.bad > 0)
            return tr("%1 (%2 missing)").arg(file.sectors.size()).arg(file.bad);
        if (file.suspect > 0)
            return tr("%1 (%2 suspect)").arg(file.sectors.size()).arg(file.suspect);
        return file.sectors.size();
    case VerdictColumn:
        return QString(verdictLook(file.verdict).symbol) + QLatin1Char(' ') + verdictText(file.verdict);
    case OriginColumn:
        return originText(file.origin);
    }
    return QVariant();
}

QVariant FilesModel::sortKey(const FileSummary &file, int column) const
{
    switch (column) {
    case LengthColumn:
        return bodyLength(file);
    case StartColumn:
        return file.start;
    case SectorsColumn:
        return file.sectors.size();
    case VerdictColumn:
        return int(file.verdict);
    case OriginColumn:
        return int(file.origin);
    default:
        return display(file, column).toString().toLower();
    }
}

QString FilesModel::toolTip(const FileSummary &file, int place, int column) const
{
    switch (column) {
    case NameColumn:
        return isChecked(place) ? tr("Saved as %1").arg(file.file)
                                : tr("Left out of Save; saved as %1 when checked").arg(file.file);
    case SectorsColumn: {
        QStringList numbers;
        for (int sector : file.sectors)
            numbers << QString::number(sector);
        return tr("Logical sectors: %1").arg(numbers.join(QStringLiteral(", ")));
    }
    case VerdictColumn:
        switch (file.verdict) {
        case Verdict::Complete:
            return tr("Every sector was read cleanly.");
        case Verdict::Damaged:
            return tr("A sector is missing: its bytes are zeros.");
        case Verdict::Suspect:
            return tr("A sector is suspect, or the catalog entry cannot be trusted.");
        case Verdict::Unverified:
            return tr("A sector was read with an error and taken as read: its bytes may be wrong.");
        }
        break;
    default:
        break;
    }
    return QString();
}

QVariant FilesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= list.size())
        return QVariant();
    const FileSummary &file = list.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return display(file, column);
    case SortRole:
        return sortKey(file, column);
    case PlaceRole:
        return index.row();
    case Qt::ToolTipRole: {
        const QString tip = toolTip(file, index.row(), column);
        return tip.isEmpty() ? QVariant() : tip;
    }
    case Qt::CheckStateRole:
        if (column == NameColumn)
            return checked.at(index.row()) ? Qt::Checked : Qt::Unchecked;
        break;
    case Qt::ForegroundRole:
        if (column == VerdictColumn)
            return verdictLook(file.verdict).colour;
        break;
    case Qt::BackgroundRole:
        if (column == VerdictColumn)
            return verdictLook(file.verdict).tint;
        break;
    case Qt::FontRole:
        // Files put back together without a live catalog entry stand out.
        if (file.origin != FileOrigin::Catalog && (column == NameColumn || column == OriginColumn)) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        break;
    case Qt::TextAlignmentRole:
        if (column == LengthColumn || column == StartColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    default:
        break;
    }
    return QVariant();
}

bool FilesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != NameColumn || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QVariant FilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return tr("Name");
    case TypeColumn:
        return tr("Type");
    case LengthColumn:
        return tr("Length");
    case StartColumn:
        return tr("Start / line");
    case SectorsColumn:
        return tr("Sectors");
    case VerdictColumn:
        return tr("Verdict");
    case OriginColumn:
        return tr("Found in");
    }
    return QVariant();
}

Qt::ItemFlags FilesModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (index.column() == NameColumn)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

Qt::DropActions FilesModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

QStringList FilesModel::mimeTypes() const
{
    return {uriList};
}

QMimeData *FilesModel::mimeData(const QModelIndexList &indexes) const
{
    QVector<int> places;
    for (const QModelIndex &index : indexes)
        if (index.isValid() && !places.contains(index.row()))
            places.append(index.row());
    if (places.isEmpty())
        return nullptr;
    std::sort(places.begin(), places.end());
    return new FileDragData(exporter, places);
}
