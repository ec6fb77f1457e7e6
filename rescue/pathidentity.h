#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Paths judged by what they name, not by how they are spelled, and image
// files whose names are not valid text.

// True when a and b both exist and are one file (same device and inode,
// links followed): a hard link or "./a/../a.dsk" is the file "a.dsk".
bool sameFile(const QString &a, const QString &b);

// True when the folder that holds path is root or lies below it, by
// identity (device and inode), not by spelling. When that folder does not
// exist yet, its nearest existing ancestor stands for it. A root that does
// not exist holds nothing.
bool isInside(const QString &path, const QString &root);

// The bytes the file system knows path by: for a command-line argument
// whose name is not valid UTF-8, its own bytes (see commandLinePaths);
// otherwise the path encoded as Qt encodes file names.
QByteArray nativePath(const QString &path);

// Whether path stands for a name that is not valid UTF-8, and its bytes.
bool hasMendedName(const QString &path, QByteArray *bytes = nullptr);

// Command-line arguments as text. An argument that is valid text is
// decoded as usual; in one that is not, every byte that is not part of
// valid UTF-8 becomes the Latin-1 character of that byte ("e\xe4.dsk"
// becomes "eä.dsk"), and its bytes are kept, so that nativePath opens the
// file it names. Should that text be the text of another argument, the
// bytes become '_' instead, and then a number is added.
QStringList commandLinePaths(const QList<QByteArray> &arguments);
// The same for a program's argv, after the program's name.
QStringList commandLinePaths(int argc, const char *const *argv);
