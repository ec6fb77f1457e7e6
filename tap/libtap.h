#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

// One tape block: flag, payload and the XOR checksum of both.
struct TapBlock
{
    quint8 flag = 0;
    QByteArray data;
    quint8 checksum = 0;
};

// Collects header/data block pairs and writes them as a TAP archive.
class libtap : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxPayload = 0xFFFD;

    explicit libtap(QObject *parent = nullptr);

    void clear();
    // 0 when the whole archive was written, -1 otherwise (file not opened,
    // a block too long or a write that did not complete).
    int saveTap(const QString &fileName) const;
    // The archive's bytes; ok is false (and the result empty) when a block
    // is too long for the format.
    QByteArray archive(bool *ok = nullptr) const;

    int addProgram(const QString &name, const QByteArray &data, int autostart, int variables);
    int addCode(const QString &name, const QByteArray &data, int start);
    int addFile(const QString &name, const QByteArray &data, int type, int param1, int param2);

    const QList<TapBlock> &blockList() const { return blocks; }

private:
    static TapBlock makeHeader(int type, const QString &name, int length, int param1, int param2);
    static TapBlock makeData(const QByteArray &data);
    int appendPair(TapBlock header, TapBlock data);

    QList<TapBlock> blocks;
};
