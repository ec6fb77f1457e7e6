#include "previewpanel.h"

#include "basiclisting.h"
#include "gfxview.h"
#include "palette.h"
#include "screenpreview.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

// Eight bytes a line: a line and the graphics fit beside the files list.
constexpr int bytesPerLine = 8;
// Share of printable bytes from which data is shown as text.
constexpr double textShare = 0.9;

QString withSuffix(QString path, const QString &suffix)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}

bool isPrintable(quint8 byte)
{
    return byte >= 0x20 && byte < 0x7F;
}

QString hexLine(const QByteArray &bytes, int offset, int address)
{
    QString hex;
    QString characters;
    for (int i = offset; i < offset + bytesPerLine; ++i) {
        if (i < bytes.size()) {
            const quint8 byte = quint8(bytes.at(i));
            hex += QStringLiteral("%1 ").arg(byte, 2, 16, QLatin1Char('0'));
            characters += isPrintable(byte) ? QLatin1Char(char(byte)) : QLatin1Char('.');
        } else {
            hex += QStringLiteral("   ");
        }
    }
    return QStringLiteral("%1  %2 %3").arg(address, 4, 16, QLatin1Char('0')).arg(hex, characters);
}

} // namespace

PreviewPanel::PreviewPanel(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QHBoxLayout;
    title = new QLabel(this);
    title->setObjectName(QStringLiteral("previewTitle"));
    title->setTextFormat(Qt::PlainText);
    bar->addWidget(title, 1);
    exportListingButton = new QPushButton(tr("Export &listing…"), this);
    exportListingButton->setObjectName(QStringLiteral("exportListing"));
    exportPictureButton = new QPushButton(tr("Export &picture…"), this);
    exportPictureButton->setObjectName(QStringLiteral("exportPicture"));
    bar->addWidget(exportListingButton);
    bar->addWidget(exportPictureButton);
    layout->addLayout(bar);

    pages = new QStackedWidget(this);
    emptyPage = new QLabel(tr("Select a file to see what it holds."), pages);
    emptyPage->setAlignment(Qt::AlignCenter);
    emptyPage->setWordWrap(true);
    pages->addWidget(emptyPage);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    textView = new QPlainTextEdit(pages);
    textView->setObjectName(QStringLiteral("previewText"));
    textView->setReadOnly(true);
    textView->setLineWrapMode(QPlainTextEdit::NoWrap);
    textView->setFont(fixed);
    pages->addWidget(textView);

    screenPreview = new ScreenPreview(pages);
    screenPreview->setObjectName(QStringLiteral("screenPreview"));
    pages->addWidget(screenPreview);

    auto *split = new QSplitter(Qt::Horizontal, pages);
    codeHex = new QPlainTextEdit(split);
    codeHex->setObjectName(QStringLiteral("codeHex"));
    codeHex->setReadOnly(true);
    codeHex->setLineWrapMode(QPlainTextEdit::NoWrap);
    codeHex->setFont(fixed);
    codeGraphics = new QGraphicsView(split);
    codeGraphics->setObjectName(QStringLiteral("codeGraphics"));
    codeGraphics->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A pixel a pixel (the graphics view enlarges four times): a glance at
    // what the code holds beside its bytes.
    codeGraphics->scale(0.25, 0.25);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 100});
    codePage = split;
    pages->addWidget(codePage);
    layout->addWidget(pages, 1);

    note = new QLabel(this);
    note->setObjectName(QStringLiteral("previewNote"));
    note->setWordWrap(true);
    layout->addWidget(note);

    connect(exportListingButton, &QPushButton::clicked, this, [this] {
        chooseExportFile(tr("Export listing"), QStringLiteral("txt"), tr("Text files (*.txt);;All files (*)"),
                         &PreviewPanel::exportListing);
    });
    connect(exportPictureButton, &QPushButton::clicked, this, [this] {
        chooseExportFile(tr("Export picture"), QStringLiteral("png"), tr("PNG pictures (*.png)"),
                         &PreviewPanel::exportPicture);
    });
    clear();
}

void PreviewPanel::clear()
{
    shown = Kind::None;
    name.clear();
    shownText.clear();
    marked.clear();
    codeCells.clear();
    title->clear();
    note->clear();
    textView->clear();
    codeHex->clear();
    codeGraphics->setScene(nullptr);
    delete codeScene;
    codeScene = nullptr;
    screenPreview->setScreen(QImage(), QBitArray());
    pages->setCurrentWidget(emptyPage);
    exportListingButton->setEnabled(false);
    exportPictureButton->setEnabled(false);
}

bool PreviewPanel::looksLikeText(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    int printable = 0;
    for (char c : bytes)
        printable += isPrintable(quint8(c)) || c == '\n' || c == '\r' || c == '\t';
    return printable >= textShare * bytes.size();
}

void PreviewPanel::showFile(const ImageRow &row, const FileSummary &file)
{
    clear();
    name = file.name;
    const FileContent content = fileContent(row, file);
    title->setText(QStringLiteral("%1 — %2").arg(file.name, FilesModel::typeText(file)));
    if (file.type == QLatin1String("basic"))
        showListing(content);
    else if (content.body.size() == screen::bytes && file.type != QLatin1String("num array"))
        showScreen(content);
    else if (file.type == QLatin1String("code"))
        showCode(content, qMax(0, file.start));
    else if (looksLikeText(content.body))
        showPlainText(content);
    else
        showHex(content, 0, textView);
    exportListingButton->setEnabled(!shownText.isEmpty());
    exportPictureButton->setEnabled(!picture().isNull());
}

void PreviewPanel::showText(QPlainTextEdit *view, const QStringList &lines, const QVector<bool> &damaged)
{
    shownText = lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    view->setPlainText(shownText);
    // Damaged lines lie on the missing sectors' colour, as in the hex view.
    QList<QTextEdit::ExtraSelection> marks;
    QColor tint = sectorLook(SectorState::Missing).colour;
    tint.setAlpha(64);
    for (int i = 0; i < damaged.size(); ++i) {
        if (!damaged.at(i))
            continue;
        marked.append(i);
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(view->document()->findBlockByNumber(i));
        mark.format.setBackground(tint);
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        mark.format.setToolTip(tr("This line comes from a missing or suspect sector."));
        marks.append(mark);
    }
    view->setExtraSelections(marks);
    // The first damaged line in view, a few lines below the top.
    if (!marked.isEmpty()) {
        const int line = qMax(0, marked.first() - 3);
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        view->setTextCursor(QTextCursor(view->document()->findBlockByNumber(line)));
        view->ensureCursorVisible();
    }
    pages->setCurrentWidget(view == codeHex ? codePage : textView);
}

void PreviewPanel::setNote(const QString &what, int damagedCount, bool rows)
{
    if (damagedCount == 0) {
        note->setText(what);
        return;
    }
    const QString damage = rows ? tr("%n pixel row(s), marked in red, come from missing or suspect sectors.", nullptr,
                                     damagedCount)
                                : tr("%n line(s), marked in red, come from missing or suspect sectors.", nullptr,
                                     damagedCount);
    note->setText(what + QLatin1Char(' ') + damage);
}

void PreviewPanel::showListing(const FileContent &content)
{
    shown = Kind::Listing;
    // A header that was not read cleanly says nothing of where the
    // variables begin: everything is listed then.
    const bool headerDamaged = content.damaged(-content.header.size(), content.header.size());
    const QByteArray program = headerDamaged ? content.body : basicProgram(content.header, content.body);
    const QVector<BasicLine> lines = basicLines(program);
    QStringList texts;
    QVector<bool> damaged;
    for (const BasicLine &line : lines) {
        texts << basicLineText(line);
        damaged << (line.cut || content.damaged(line.offset, line.size));
    }
    showText(textView, texts, damaged);
    QString what = tr("%n line(s) of BASIC.", nullptr, lines.size());
    if (program.size() < content.body.size())
        what += QLatin1Char(' ') + tr("%n byte(s) of variables after the program are not listed.", nullptr,
                                      content.body.size() - program.size());
    setNote(what, marked.size(), false);
}

void PreviewPanel::showScreen(const FileContent &content)
{
    shown = Kind::Screen;
    QBitArray damaged(screen::height);
    for (const QPair<int, int> &range : content.damagedRanges())
        damaged |= screen::rowsOf(range.first, range.second);
    screenPreview->setScreen(screenPicture(content.body), damaged);
    pages->setCurrentWidget(screenPreview);
    setNote(tr("A screen picture, 256 × 192 pixels; flashing cells are shown in their first phase."),
            damaged.count(true), true);
}

void PreviewPanel::showHex(const FileContent &content, int start, QPlainTextEdit *view)
{
    if (shown == Kind::None)
        shown = Kind::Hex;
    QStringList lines;
    QVector<bool> damaged;
    for (int offset = 0; offset < content.body.size(); offset += bytesPerLine) {
        lines << hexLine(content.body, offset, start + offset);
        damaged << content.damaged(offset, bytesPerLine);
    }
    showText(view, lines, damaged);
    setNote(tr("%n byte(s).", nullptr, content.body.size()), marked.size(), false);
}

void PreviewPanel::showCode(const FileContent &content, int start)
{
    shown = Kind::Code;
    showHex(content, start, codeHex);
    // The graphics begin at the code's first byte, whatever its sector.
    codeCells = gfxCells(content.body, 0);
    codeScene = new QGraphicsScene(this);
    codeScene->addItem(new GfxPictureItem(codeCells));
    codeGraphics->setScene(codeScene);
}

void PreviewPanel::showPlainText(const FileContent &content)
{
    shown = Kind::Text;
    QStringList lines;
    QVector<bool> damaged;
    const QByteArray &bytes = content.body;
    int lineStart = 0;
    for (int i = 0; i <= bytes.size(); ++i) {
        const bool end = i == bytes.size();
        const char c = end ? '\n' : bytes.at(i);
        if (c != '\n' && c != '\r')
            continue;
        // A final line end ends the last line, and begins none.
        if (end && lineStart == i && !lines.isEmpty())
            break;
        QString line;
        for (int j = lineStart; j < i; ++j) {
            const quint8 byte = quint8(bytes.at(j));
            line += isPrintable(byte) || byte == '\t' ? QChar(QLatin1Char(char(byte))) : QChar(0xB7);
        }
        lines << line;
        damaged << content.damaged(lineStart, i - lineStart + 1);
        // A CR LF pair ends one line.
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        lineStart = i + 1;
    }
    showText(textView, lines, damaged);
    setNote(tr("Text, %n line(s).", nullptr, lines.size()), marked.size(), false);
}

QImage PreviewPanel::picture() const
{
    if (shown == Kind::Screen)
        return screenPreview->picture();
    if (shown == Kind::Code && !codeCells.isEmpty()) {
        constexpr int rowBytes = GfxPictureItem::pictureWidth / 8;
        QImage cells(reinterpret_cast<const uchar *>(codeCells.constData()), GfxPictureItem::pictureWidth,
                     codeCells.size() / rowBytes, rowBytes, QImage::Format_Mono);
        cells.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        return cells.convertToFormat(QImage::Format_RGB32);
    }
    return QImage();
}

bool PreviewPanel::exportListing(const QString &path)
{
    if (shownText.isEmpty())
        return false;
    // Written under another name and renamed into place: a full disk never
    // leaves a cut file.
    QSaveFile file(path);
    const QByteArray bytes = shownText.toUtf8();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool PreviewPanel::exportPicture(const QString &path)
{
    const QImage image = picture();
    if (image.isNull())
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

void PreviewPanel::chooseExportFile(const QString &caption, const QString &suffix, const QString &filter,
                                    bool (PreviewPanel::*write)(const QString &))
{
    const QString path = withSuffix(
        QFileDialog::getSaveFileName(this, caption, name + QLatin1Char('.') + suffix, filter), suffix);
    if (!path.isEmpty() && !(this->*write)(path))
        note->setText(tr("Could not write %1").arg(QDir::toNativeSeparators(path)));
}
