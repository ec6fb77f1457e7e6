#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

#include <functional>

// One entry of the rescue log: its kind and what it says, as typed parts
// (plain text, emphasised names, line breaks, rules). How an entry looks on
// screen or in a terminal is the front end's business.
struct LogEntry
{
    enum class Kind { Info, Warning, Error };

    struct Part
    {
        enum Type { Text, Strong, Emphasis, StrongEmphasis, Break, Rule };
        Type type = Text;
        QString text;
    };

    // Set on the entry that reports an output that could not be written.
    struct WriteFailure
    {
        QString path;
        QString reason;
    };

    Kind kind = Kind::Info;
    QVector<Part> parts;
    WriteFailure failure;

    static LogEntry info() { return LogEntry(Kind::Info); }
    static LogEntry warning() { return LogEntry(Kind::Warning); }
    static LogEntry error() { return LogEntry(Kind::Error); }

    LogEntry &text(const QString &t) { return add(Part::Text, t); }
    LogEntry &strong(const QString &t) { return add(Part::Strong, t); }
    LogEntry &emphasis(const QString &t) { return add(Part::Emphasis, t); }
    LogEntry &strongEmphasis(const QString &t) { return add(Part::StrongEmphasis, t); }
    LogEntry &lineBreak() { return add(Part::Break, QString()); }
    LogEntry &rule() { return add(Part::Rule, QString()); }

    bool isWriteFailure() const { return !failure.path.isEmpty(); }

    LogEntry() = default;

private:
    explicit LogEntry(Kind k)
        : kind(k)
    {
    }
    LogEntry &add(Part::Type type, const QString &t)
    {
        parts.append(Part{type, t});
        return *this;
    }
};

Q_DECLARE_METATYPE(LogEntry)

using LogSink = std::function<void(const LogEntry &)>;
