// Time and peak memory of the hex view and the graphics view.
//
// Without arguments the program builds an 80-track and a 255-track
// double-sided image, runs every case in a process of its own (so that the
// peak memory of one case does not hide another's) and prints a table.
// "ours" is the window's own updateHexView / updateGfxView; "naive" builds
// the same views the plain way: one QTextEdit::append per sector with
// setTextBackgroundColor (in a text view put in the hex view's place), and
// one pixmap of the whole picture with one QGraphicsTextItem per cell row.
// "hex-select" is what a user waits for: from selecting the image's row,
// with the Log page in front, until the HexView page is shown and painted.
//
//   bench_views [--runs N]
//   bench_views --case hex|hex-select|gfx-full|gfx-picture --variant ours|naive --image FILE [--runs N]

#include "imagebuilder.h"
#include "mainwindow.h"
#include "views/hexview.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QLayout>
#include <QProcess>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextStream>
#include <QToolBox>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>

namespace {

// ---------------------------------------------------------------- memory

long statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Linux resets the peak resident size (VmHWM) to the current one on "5".
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// ---------------------------------------------------------------- naive views

void naiveHexView(QTextEdit *view, const QByteArray &data, const QByteArray &map)
{
    view->clear();
    for (int i = 0; i < map.size(); ++i) {
        view->setTextBackgroundColor(map.at(i) ? goodSectorColour : badSectorColour);
        QString text;
        for (int l = 0; l < 16; ++l) {
            if (l > 0)
                text += QLatin1Char('\n');
            text += hexDumpLine(data, 256 * i + 16 * l);
        }
        view->append(text + QStringLiteral("\n\n"));
    }
    view->verticalScrollBar()->setValue(0);
}

struct NaiveGfx
{
    QGraphicsView *view = nullptr;
    QFont font;
    QGraphicsScene *scene = nullptr;
    QGraphicsPixmapItem *pixmapItem = nullptr;

    ~NaiveGfx()
    {
        view->setScene(nullptr);
        delete scene;
    }

    void update(const QByteArray &data, int shift, bool keep)
    {
        if (data.isEmpty())
            return;
        const QByteArray padded = data + QByteArray(256, '\0');
        QByteArray cells;
        for (int k = 0; 128 * k < data.size(); ++k)
            for (int r = 0; r < 8; ++r)
                for (int n = 0; n < 16; ++n)
                    cells.append(padded.at(shift + 128 * k + 8 * n + r));
        QImage picture(reinterpret_cast<const uchar *>(cells.constData()), 128, cells.size() / 16, 16,
                       QImage::Format_Mono);
        picture.setColorTable({qRgba(255, 255, 255, 255), qRgba(0, 0, 0, 255)});
        const QPixmap pixmap = QPixmap::fromImage(picture.scaledToWidth(512, Qt::FastTransformation));
        if (keep) {
            const int scroll = view->verticalScrollBar()->value();
            delete pixmapItem;
            pixmapItem = scene->addPixmap(pixmap);
            view->verticalScrollBar()->setValue(scroll);
            return;
        }
        delete scene;
        scene = new QGraphicsScene;
        pixmapItem = scene->addPixmap(pixmap);
        for (int j = 0; j < cells.size() / 128; ++j) {
            QGraphicsTextItem *label =
                scene->addText(QStringLiteral("0x%1").arg(128 * j, 4, 16, QLatin1Char('0')), font);
            label->setPos(-100, 32 * j);
        }
        view->setScene(scene);
        view->show();
        view->verticalScrollBar()->setValue(0);
    }
};

// ---------------------------------------------------------------- one case

struct Result
{
    double firstMs = 0;     // the call itself, first run
    double bestMs = 0;      // the call, best of all runs
    double settledMs = 0;   // first run: call, events handled, visible part painted
    double renderMs = 0;    // painting the visible part once more
    double laidOutMs = 0;   // first run: until the whole document is laid out
    long baseKb = 0;        // resident size before the first run
    long peakKb = 0;        // peak resident size during the first run, its painting and layout
    long afterKb = 0;       // resident size once the first run is painted and laid out
    bool rendered = false;  // the visible part shows ink and paper
};

bool showsInkAndPaper(const QImage &shot)
{
    bool ink = false;
    bool paper = false;
    for (int y = 0; y < shot.height() && !(ink && paper); y += 3)
        for (int x = 0; x < shot.width(); x += 3) {
            const QRgb p = shot.pixel(x, y);
            ink = ink || p == qRgb(0, 0, 0);
            paper = paper || p == qRgb(255, 255, 255);
        }
    return ink && paper;
}

bool showsText(const QImage &shot)
{
    int dark = 0;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            dark += qGray(shot.pixel(x, y)) < 100;
    return dark > 100;
}

int runCase(const QString &kind, const QString &variant, const QString &imagePath, int runs)
{
    MainWindow window;
    window.resize(900, 1000);
    window.show();
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("dskList"));
    auto *toolBox = window.findChild<QToolBox *>(QStringLiteral("toolBox"));
    auto *hexView = window.findChild<QAbstractScrollArea *>(QStringLiteral("hexView"));
    auto *gfxView = window.findChild<QGraphicsView *>(QStringLiteral("gfxView"));

    // Open with the GfxView page in front: the selection then draws the
    // (small) graphics view instead of filling the hex view, so no big
    // document has come and gone before the measurement.
    toolBox->setCurrentIndex(2);
    window.openImages({imagePath});
    if (table->rowCount() != 1) {
        std::fprintf(stderr, "image not accepted: %s\n", qPrintable(imagePath));
        return 2;
    }
    const QByteArray data = table->item(0, 3)->data(MainWindow::SectorDataRole).toByteArray();
    const QByteArray map = table->item(0, 3)->data(MainWindow::SectorMapRole).toByteArray();

    const bool select = kind == QLatin1String("hex-select");
    const bool hex = kind == QLatin1String("hex") || select;
    const bool full = kind == QLatin1String("gfx-full");
    const bool naive = variant == QLatin1String("naive");
    if (select && naive) {
        std::fprintf(stderr, "hex-select measures the window only\n");
        return 2;
    }
    NaiveGfx naiveGfx;
    naiveGfx.view = gfxView;
    naiveGfx.font = hexView->font();

    // The naive dump goes to a text view of its own in the hex view's place.
    QTextEdit *naiveText = nullptr;
    if (hex && naive) {
        naiveText = new QTextEdit;
        naiveText->setReadOnly(true);
        naiveText->setUndoRedoEnabled(false);
        naiveText->setFont(hexView->font());
        delete hexView->parentWidget()->layout()->replaceWidget(hexView, naiveText);
        hexView->hide();
        hexView = naiveText;
    }

    if (select) {
        // The Log page in front and no row selected, without the window
        // showing anything on the way.
        const QSignalBlocker tableBlocker(table);
        const QSignalBlocker toolBoxBlocker(toolBox);
        table->clearSelection();
        toolBox->setCurrentIndex(0);
    } else if (hex) {
        // Bring the page to the front without the window filling it.
        const QSignalBlocker blocker(toolBox);
        toolBox->setCurrentIndex(1);
    } else if (!full && naive) {
        naiveGfx.update(data, 0, false);
    }
    QCoreApplication::processEvents();

    std::function<void(int)> operation;
    if (select) {
        operation = [&](int run) {
            if (run > 0) {
                const QSignalBlocker tableBlocker(table);
                const QSignalBlocker toolBoxBlocker(toolBox);
                table->clearSelection();
                toolBox->setCurrentIndex(0);
            }
            table->selectRow(0);
        };
    } else if (hex && naive) {
        operation = [&](int) { naiveHexView(naiveText, data, map); };
    } else if (hex) {
        operation = [&](int) { window.updateHexView(); };
    }
    else if (full && naive)
        operation = [&](int) { naiveGfx.update(data, 0, false); };
    else if (full)
        operation = [&](int) { window.updateGfxView(0, false); };
    else if (naive)
        operation = [&](int run) { naiveGfx.update(data, 1 + run % 7, true); };
    else
        operation = [&](int run) { window.updateGfxView(1 + run % 7, true); };

    QWidget *shown = hex ? hexView->viewport() : gfxView->viewport();
    Result result;
    malloc_trim(0);
    result.baseKb = statusKb("VmRSS");
    if (!resetPeak())
        std::fprintf(stderr, "cannot reset the peak resident size\n");

    QElapsedTimer timer;
    timer.start();
    operation(0);
    result.firstMs = timer.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    QImage shot = shown->grab().toImage();
    result.settledMs = timer.nsecsElapsed() / 1e6;
    // A text view goes on laying out the rest of the document in steps
    // while the event loop runs; asking for the last block's place does
    // all of it at once.
    if (auto *text = qobject_cast<QTextEdit *>(hexView); text && hex) {
        QTextDocument *document = text->document();
        document->documentLayout()->blockBoundingRect(document->lastBlock());
        QCoreApplication::processEvents();
    }
    result.laidOutMs = timer.nsecsElapsed() / 1e6;
    result.peakKb = statusKb("VmHWM");
    result.afterKb = statusKb("VmRSS");

    QElapsedTimer repaint;
    repaint.start();
    shot = shown->grab().toImage();
    result.renderMs = repaint.nsecsElapsed() / 1e6;
    result.rendered = hex ? showsText(shot) : showsInkAndPaper(shot);
    if (qEnvironmentVariableIsSet("BENCH_SHOTS"))
        shot.save(QStringLiteral("%1/%2-%3-%4.png").arg(qEnvironmentVariable("BENCH_SHOTS"), kind, variant)
                      .arg(map.size()));

    result.bestMs = result.firstMs;
    for (int run = 1; run < runs; ++run) {
        timer.restart();
        operation(run);
        result.bestMs = std::min(result.bestMs, timer.nsecsElapsed() / 1e6);
        QCoreApplication::processEvents();
    }

    std::printf("%.1f %.1f %.1f %.1f %ld %ld %d %.1f %ld\n", result.firstMs, result.bestMs, result.settledMs,
                result.renderMs, result.baseKb, result.peakKb, result.rendered ? 1 : 0, result.laidOutMs,
                result.afterKb);
    std::fflush(stdout);
    return 0;
}

// ---------------------------------------------------------------- driver

QByteArray benchImage(int tracks)
{
    ImageBuilder image(tracks, 2);
    quint32 state = 12345u + quint32(tracks);
    for (int t = 0; t < tracks; ++t)
        for (int s = 0; s < 2; ++s)
            for (int id = 0; id < 16; ++id) {
                if ((t * 32 + s * 16 + id) % 97 == 13) {
                    image.removeSector(t, s, id);
                    continue;
                }
                QByteArray bytes(256, '\0');
                for (int i = 0; i < 256; ++i) {
                    state = state * 1664525u + 1013904223u;
                    bytes[i] = char(state >> 24);
                }
                image.setSector(t, s, id, bytes);
            }
    return image.dsk();
}

int runAll(const QString &self, int runs)
{
    QTemporaryDir dir;
    QTextStream out(stdout);
    out << "| image | case | variant | call, first (ms) | call, best of " << runs
        << " (ms) | until painted (ms) | until laid out (ms) | repaint of the visible part (ms) "
           "| resident before (MB) | extra peak (MB) | extra resident after (MB) | visible part drawn |\n";
    out << "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---|\n";
    out.flush();
    for (int tracks : {80, 255}) {
        const QString path = dir.filePath(QStringLiteral("bench%1.dsk").arg(tracks));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(benchImage(tracks)) < 0)
            return 2;
        file.close();
        const QString image = QStringLiteral("%1 tracks x 2 sides (%2 sectors)").arg(tracks).arg(tracks * 32);
        for (const char *kind : {"hex", "hex-select", "gfx-full", "gfx-picture"}) {
            for (const char *variant : {"naive", "ours"}) {
                if (kind == QLatin1String("hex-select") && variant == QLatin1String("naive"))
                    continue;
                QProcess child;
                child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                child.start(self, {QStringLiteral("--case"), QLatin1String(kind), QStringLiteral("--variant"),
                                   QLatin1String(variant), QStringLiteral("--image"), path,
                                   QStringLiteral("--runs"), QString::number(runs)});
                child.waitForFinished(-1);
                const QStringList f = QString::fromLatin1(child.readAllStandardOutput()).split(
                    QLatin1Char(' '), Qt::SkipEmptyParts);
                out << "| " << image << " | " << kind << " | " << variant << " | ";
                if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || f.size() < 9) {
                    out << "failed (exit " << child.exitCode() << ") | | | | | | | | |\n";
                } else {
                    auto mb = [](long kb) { return QString::number(kb / 1024.0, 'f', 1); };
                    const long baseKb = f[4].toLong();
                    out << f[0] << " | " << f[1] << " | " << f[2] << " | " << f[7] << " | " << f[3] << " | "
                        << mb(baseKb) << " | " << mb(f[5].toLong() - baseKb) << " | "
                        << mb(f[8].trimmed().toLong() - baseKb) << " | " << (f[6] == "1" ? "yes" : "NO") << " |\n";
                }
                out.flush();
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QCoreApplication::setOrganizationName(QStringLiteral("kestrin"));
    QCoreApplication::setApplicationName(QStringLiteral("malvore-bench"));
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });

    QCommandLineParser parser;
    const QCommandLineOption kind(QStringLiteral("case"), QStringLiteral("hex, gfx-full or gfx-picture"),
                                  QStringLiteral("case"));
    const QCommandLineOption variant(QStringLiteral("variant"), QStringLiteral("ours or naive"),
                                     QStringLiteral("variant"), QStringLiteral("ours"));
    const QCommandLineOption image(QStringLiteral("image"), QStringLiteral("DSK file"), QStringLiteral("file"));
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("timed runs per case"),
                                  QStringLiteral("n"), QStringLiteral("5"));
    parser.addOptions({kind, variant, image, runs});
    parser.addHelpOption();
    parser.process(app);
    const int runCount = qMax(1, parser.value(runs).toInt());
    if (!parser.isSet(kind))
        return runAll(QCoreApplication::applicationFilePath(), runCount);
    return runCase(parser.value(kind), parser.value(variant), parser.value(image), runCount);
}
