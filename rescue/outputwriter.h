#pragma once

#include "disk/logentry.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class libtap;

// name with each character that a file system a rescue is copied to
// (FAT32, exFAT, NTFS, ext4, macOS) refuses in a name made '_': '/', '\\',
// ':', '*', '?', '"', '<', '>', '|' and control characters.
QString portableCharacters(QString name);
// The same for a whole file name, which moreover never ends in '.' or ' '
// (Windows and Linux's FAT drop them, so "A." would be the file "A"): the
// last becomes '_'. A name that needs no change comes back unchanged.
QString portableFileName(QString name);

// Writes the outputs of one conversion. Nothing rescued may be lost
// silently:
// - every output path is claimed once per conversion, without telling case
//   apart (FAT, exFAT, NTFS and macOS hold "GAME" and "game" as one file):
//   a name already taken gets a distinguishing suffix, and the log says
//   where the file went and why;
// - names hold nothing that a file system of a memory card or USB stick
//   refuses (portableFileName), so a rescue gets the same names on ext4 and
//   on FAT32;
// - unless asked not to flush, nothing is named before it is on the disk:
//   a conversion's files are held unnamed (or under temporary names) until
//   commit(), which flushes them all at once, names them and flushes their
//   folder; a writer of a file or two flushes each. A power cut never leaves
//   an empty or cut file under its final name;
// - each file is written whole before it gets its name: on Linux as an
//   unnamed file in its folder (it vanishes with the process, whatever
//   kills it), elsewhere or where the file system refuses that as a
//   temporary ".malvore-PID-N" beside it; either is then renamed into
//   place, so a failed or cut write leaves no partial file, and a file of
//   the same name from an earlier run is replaced at once;
// - the image folder is opened once, without following a link, and every
//   file is made relative to that open folder: a folder swapped for a link
//   during the run cannot send a write outside the output root;
// - a symbolic link at an output path or at the image folder is never
//   followed: the write fails (the output root itself may be a link);
// - temporaries that a killed run left in a folder are removed the first
//   time a run writes there;
// - once the process is asked to stop (rescue/interruption.h), no new file
//   is begun and no folder made; that is not a failure of the file;
// - every failure is kept as a value (the path and the system's reason),
//   reported as one error entry "Cannot write <path>: <reason>" and
//   counted; the conversion then goes on.
class OutputWriter
{
public:
    explicit OutputWriter(LogSink log);
    ~OutputWriter();
    OutputWriter(const OutputWriter &) = delete;
    OutputWriter &operator=(const OutputWriter &) = delete;

    // Writes nothing and reports every write as done: a conversion run for
    // its report alone.
    void setDryRun(bool on) { dryRun = on; }

    // How a file reaches the disk before it is named:
    // - EachFile (the default): flushed on its own before its name, and its
    //   folder after it: for a writer of one or two files;
    // - Batch: held until commit(), which flushes every pending file in one
    //   go, then names them and flushes their folders;
    // - None: named at once without flushing (scratch work; a power cut may
    //   leave cut files).
    enum class Durability { None, EachFile, Batch };
    void setDurability(Durability mode) { durability = mode; }

    // Flushes and names every file held by Batch. Failures are reported as
    // any write's are. The destructor commits what is left.
    void commit();

    // path: "ROOT/FOLDER/". Makes ROOT if it is missing (following links)
    // and FOLDER inside it (never through a link), and keeps FOLDER open
    // for the files written into it.
    bool makeFolder(const QString &path);
    // path: "FOLDER/NAME"; a folder made by makeFolder is the one written
    // to, even if its path names something else by now. With Batch the file
    // gets its name at commit(); a failure to name it is reported then.
    bool writeFile(const QString &path, const QByteArray &bytes);
    bool writeTap(const libtap &tap, const QString &path);

    // Claims folder + stem + extension together with stem + extension +
    // each of the companions (".inf", ".tap"); when one of them is taken,
    // the stem gets the first free suffix "~2", "~3", ... and the move is
    // logged. The result is the claimed stem + extension.
    QString claim(const QString &folder, const QString &stem, const QString &extension,
                  const QStringList &companions);

    int failureCount() const { return failed.size(); }
    const QVector<LogEntry::WriteFailure> &failures() const { return failed; }

    // For tests: called with the path of every file about to be written,
    // from the thread that writes it; an empty function removes it.
    static void setBeforeWriteHook(std::function<void(const QString &path)> hook);

private:
    struct Folder
    {
        int fd = -1;
        bool swept = false;  // stale temporaries removed
        bool synced = false; // its own entry in its parent flushed
    };

    // A file written whole, waiting for commit() to be named.
    struct Pending
    {
        QString path;          // as the caller gave it
        QString folderPath;    // its folder's key in folders
        int folder = -1;       // the open folder it is named in
        QByteArray name;       // its name there
        int fd = -1;           // open until it is named
        QByteArray temporary;  // its temporary name; empty: an unnamed file
    };

    bool fail(const QString &path, const QString &reason);
    // The open folder for path (its text up to the last '/'), opened now if
    // makeFolder did not; -1 with the reason when it cannot be.
    int folderOf(const QString &folder, QString &reason);
    // Writes bytes as a pending file; the empty string or the reason.
    QString writePending(const QString &path, int folder, const QByteArray &name, const QByteArray &bytes);
    void syncFolder(const QString &folderPath);

    LogSink log;
    QHash<QString, QString> claimed; // case-folded path -> the path claimed
    QHash<QString, Folder> folders; // by path, without the final '/'
    bool dryRun = false;
    bool unnamedTemporaries = true;
    Durability durability = Durability::EachFile;
    QVector<Pending> pending;
    QVector<LogEntry::WriteFailure> failed;
};
