#pragma once

#include <QString>

// An image folder records the image it was rescued from, so that a rescue
// never replaces or mixes with the outputs of another image: the absolute
// path of the image, in the folder's extended attribute "user.malvore.source"
// or, on file systems without extended attributes, in a file ".malvore-source"
// inside it. A folder appears with its record at once (made under another
// name, then renamed into place without replacing anything), so two runs at
// the same time never both take one folder for two images.

// Whether the folder name below root may take the rescue of the image at
// source: yes for a new folder (made here, with its record), for an earlier
// rescue of the same image and for a folder that records no image (made by
// an older version, or not a folder at all: the writer reports that); no for
// the rescue of another image, whose path goes to otherSource.
bool claimImageFolder(const QString &root, const QString &name, const QString &source, QString *otherSource);
