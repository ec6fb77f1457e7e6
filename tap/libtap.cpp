#include "libtap.h"

#include <QFile>

namespace {

quint8 checksumOf(quint8 flag, const QByteArray &payload)
{
    const char *bytes = payload.constData();
    const int size = payload.size();
    quint8 sum = flag;
    for (int i = 0; i < size; ++i)
        sum ^= static_cast<quint8>(bytes[i]);
    return sum;
}

void appendWord(QByteArray &bytes, int value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
}

} // namespace

libtap::libtap(QObject *parent)
    : QObject(parent)
{
}

void libtap::clear()
{
    blocks.clear();
}

QByteArray libtap::archive(bool *ok) const
{
    if (ok)
        *ok = true;
    qint64 total = 0;
    for (const TapBlock &block : blocks)
        total += block.data.size() + 4;
    QByteArray bytes;
    if (total < 0x7FFFFFFF)
        bytes.reserve(int(total));
    for (const TapBlock &block : blocks) {
        const int length = block.data.size() + 2;
        if (length > 0xFFFF) {
            if (ok)
                *ok = false;
            return QByteArray();
        }
        appendWord(bytes, length);
        bytes.append(char(block.flag));
        bytes.append(block.data);
        bytes.append(char(block.checksum));
    }
    return bytes;
}

int libtap::saveTap(const QString &fileName) const
{
    bool ok = false;
    const QByteArray bytes = archive(&ok);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    if (!ok) {
        file.remove();
        return -1;
    }
    const bool complete = file.write(bytes) == bytes.size();
    file.close();
    // A write that did not complete (disk full) is a failure, not a success.
    if (!complete || file.error() != QFileDevice::NoError)
        return -1;
    return 0;
}

TapBlock libtap::makeHeader(int type, const QString &name, int length, int param1, int param2)
{
    TapBlock block;
    block.flag = 0x00;
    QByteArray &h = block.data;
    h.append(char(type & 0xFF));
    const QString padded = name + QString(11, QLatin1Char(' '));
    h.append(padded.toUpper().toLatin1().left(10));
    appendWord(h, length);
    appendWord(h, param1);
    appendWord(h, param2);
    block.checksum = checksumOf(block.flag, h);
    return block;
}

TapBlock libtap::makeData(const QByteArray &data)
{
    TapBlock block;
    block.flag = 0xFF;
    block.data = data;
    block.checksum = checksumOf(block.flag, data);
    return block;
}

int libtap::appendPair(TapBlock header, TapBlock data)
{
    blocks.append(std::move(header));
    blocks.append(std::move(data));
    return blocks.size() - 1;
}

int libtap::addProgram(const QString &name, const QByteArray &data, int autostart, int variables)
{
    if (data.size() > maxPayload)
        return -1;
    if (autostart < 0)
        autostart = 0x8000;
    if (variables < 0)
        variables = data.size();
    return appendPair(makeHeader(0, name, data.size(), autostart, variables), makeData(data));
}

int libtap::addCode(const QString &name, const QByteArray &data, int start)
{
    if (data.size() > maxPayload)
        return -1;
    if (start < 0)
        start = 0x10000 - data.size();
    return appendPair(makeHeader(3, name, data.size(), start, 0x8000), makeData(data));
}

int libtap::addFile(const QString &name, const QByteArray &data, int type, int param1, int param2)
{
    switch (type & 0xFF) {
    case 0:
        return addProgram(name, data, param1, param2);
    case 3:
        return addCode(name, data, param1);
    default:
        return -1;
    }
}
