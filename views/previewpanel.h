#pragma once

#include "filesmodel.h"

#include <QImage>
#include <QVector>
#include <QWidget>

class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class ScreenPreview;

// A look at one rescued file before it is saved, chosen by what it holds:
// a BASIC program as its listing, a 6,912-byte file as the screen it shows,
// code as hex and as 8 x 8 graphics from its own first byte, text-like data
// as text, anything else as hex. Lines and pixel rows that come from a
// missing or suspect sector are marked. The listing (or text) can be
// exported as text, the screen or the graphics as a PNG picture.
class PreviewPanel : public QWidget
{
    Q_OBJECT

public:
    enum class Kind { None, Listing, Screen, Code, Text, Hex };

    explicit PreviewPanel(QWidget *parent = nullptr);

    void showFile(const ImageRow &row, const FileSummary &file);
    void clear();

    Kind kind() const { return shown; }
    // The text shown: the listing, the text, or the hex dump.
    QString text() const { return shownText; }
    // The lines of text() marked as touched by a damaged sector.
    QVector<int> damagedLines() const { return marked; }
    // The screen's picture, or the code's graphics; null otherwise.
    QImage picture() const;
    ScreenPreview *screenView() const { return screenPreview; }

    bool exportListing(const QString &path);
    bool exportPicture(const QString &path);

    // True when most bytes are printable text, line ends and tabs.
    static bool looksLikeText(const QByteArray &bytes);

private:
    // Asks where to export (proposing the file's name with suffix) and
    // writes there; says so when it could not.
    void chooseExportFile(const QString &caption, const QString &suffix, const QString &filter,
                          bool (PreviewPanel::*write)(const QString &));
    void showText(QPlainTextEdit *view, const QStringList &lines, const QVector<bool> &damaged);
    void showListing(const FileContent &content);
    void showScreen(const FileContent &content);
    void showCode(const FileContent &content, int start);
    void showPlainText(const FileContent &content);
    void showHex(const FileContent &content, int start, QPlainTextEdit *view);
    void setNote(const QString &what, int damagedCount, bool rows);

    Kind shown = Kind::None;
    QString name;
    QString shownText;
    QVector<int> marked;
    QByteArray codeCells; // the code's graphics, 1 bit a pixel

    QLabel *title = nullptr;
    QLabel *note = nullptr;
    QPushButton *exportListingButton = nullptr;
    QPushButton *exportPictureButton = nullptr;
    QStackedWidget *pages = nullptr;
    QLabel *emptyPage = nullptr;
    QPlainTextEdit *textView = nullptr;
    ScreenPreview *screenPreview = nullptr;
    QWidget *codePage = nullptr;
    QPlainTextEdit *codeHex = nullptr;
    QGraphicsView *codeGraphics = nullptr;
    QGraphicsScene *codeScene = nullptr;
};
