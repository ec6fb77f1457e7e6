#pragma once

#include "disk/logentry.h"

#include <QString>

// How log entries look: as the window's rich-text log shows them, and as a
// terminal shows them.

// The entry as rich text: <b>, <i>, <br> and <hr> for its parts, the text
// with < and & escaped.
QString logEntryHtml(const LogEntry &entry);

// The same on one line, for a stream of entries: a newline in the text
// becomes the two characters \n.
QString logEntryHtmlLine(const LogEntry &entry);

// Names on a disk can hold anything; control characters (below 0x20, 0x7F
// and C1) must not reach a terminal, where they could move the cursor or
// retitle the window: each becomes \xHH.
QString escapedControls(const QString &text);

// The entry for a terminal: a break starts a new line, a rule is a line of
// 40 '-' of its own, control characters are escaped. No trailing
// newline; the result may hold several lines.
QString logEntryPlain(const LogEntry &entry);
