#include "disk/diskread.h"
#include "disk/fluxrepair.h"
#include "disk/scpread.h"
#include "fluxwriter.h"
#include "rescue/merge.h"
#include "rescue/report.h"
#include "rescue/session.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

// Flux images seen from outside: what the reader makes of flux the writer
// encoded from known sectors, at drifted speeds and with damage; the repair
// proven by the CRC and its limit; SCP files that point past their end.
namespace {

// 256 bytes that tell which sector they were written for.
QByteArray tagged(int track, int side, int id)
{
    QByteArray bytes(256, '\0');
    for (int k = 0; k < 256; ++k)
        bytes[k] = char((track * 29 + side * 131 + id * 17 + k * 7 + (k * k) / 5) & 0xFF);
    return bytes;
}

fluxwriter::KnownDisk taggedDisk(int tracks, int sides)
{
    fluxwriter::KnownDisk disk(tracks, sides);
    for (int t = 0; t < tracks; ++t)
        for (int s = 0; s < sides; ++s)
            for (int id = 0; id < 16; ++id)
                disk.sector(t, s, id) = tagged(t, s, id);
    return disk;
}

QString textOf(const QVector<LogEntry> &entries)
{
    QStringList lines;
    for (const LogEntry &entry : entries) {
        QString line;
        for (const LogEntry::Part &part : entry.parts)
            line += part.text;
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

DiskRead readFlux(const fluxwriter::KnownDisk &disk, const fluxwriter::Options &options)
{
    return readDiskBytes(fluxwriter::writeScp(disk, options), QStringLiteral("flux"));
}

SectorState stateOf(const DiskRead &read, int track, int side, int id)
{
    return read.disk.state(track, side, id);
}

QByteArray bytesOf(const DiskRead &read, int track, int side, int id)
{
    return read.disk.sectors.sectorBytes(PhysicalDisk::place(track, side, id));
}

using Changes = QVector<QVector<QPair<int, int>>>;

// A data-error copy of a field: the known bytes, their right CRC, then the
// changes given (position, value).
mfm::SectorCopy badCopy(const QByteArray &data, const QVector<QPair<int, int>> &changes)
{
    mfm::SectorCopy copy;
    copy.state = mfm::SectorCopy::State::DataError;
    copy.mark = 0xFB;
    const quint16 crc = fluxwriter::crc16(QByteArray("\xA1\xA1\xA1\xFB", 4) + data);
    for (int i = 0; i < 256; ++i)
        copy.field[size_t(i)] = uchar(data.at(i));
    copy.field[256] = uchar(crc >> 8);
    copy.field[257] = uchar(crc & 0xFF);
    for (const auto &change : changes)
        copy.field[size_t(change.first)] = uchar(change.second);
    return copy;
}

QByteArray dataOf(const std::array<uchar, mfm::fieldSize> &field)
{
    return QByteArray(reinterpret_cast<const char *>(field.data()), 256);
}

} // namespace

class TestFlux : public QObject
{
    Q_OBJECT

private slots:
    void decodesAtDriftedSpeed_data();
    void decodesAtDriftedSpeed();
    void repairsByTheCrc_data();
    void repairsByTheCrc();
    void repairedSectorFromWeakFlux();
    void unprovenCopiesStaySuspect();
    void manyDisagreementsStaySuspectWithinTheBound();
    void repairedCountsAsGoodInAMerge();
    void fluxReadsMerge();
    void truncatedScpRefused_data();
    void truncatedScpRefused();
    void sharedFluxRefused();
};

void TestFlux::decodesAtDriftedSpeed_data()
{
    QTest::addColumn<double>("speed");
    QTest::addColumn<double>("drift");
    QTest::addColumn<double>("jitter");
    QTest::addColumn<int>("sides");
    QTest::addColumn<bool>("dense");
    QTest::newRow("nominal") << 1.0 << 0.0 << 0.0 << 2 << false;
    QTest::newRow("5 % fast") << 1.05 << 0.0 << 0.04 << 2 << false;
    QTest::newRow("5 % slow") << 0.95 << 0.0 << 0.04 << 2 << false;
    QTest::newRow("wobble of 4 %") << 1.0 << 0.04 << 0.04 << 2 << false;
    QTest::newRow("3 % fast, wobble of 3 %, jitter") << 1.03 << 0.03 << 0.08 << 2 << false;
    QTest::newRow("one side, every other entry") << 0.97 << 0.02 << 0.05 << 1 << false;
    QTest::newRow("one side, dense table") << 1.02 << 0.02 << 0.05 << 1 << true;
}

void TestFlux::decodesAtDriftedSpeed()
{
    QFETCH(double, speed);
    QFETCH(double, drift);
    QFETCH(double, jitter);
    QFETCH(int, sides);
    QFETCH(bool, dense);
    fluxwriter::Options options;
    options.revolutions = 2;
    options.speed = speed;
    options.drift = drift;
    options.jitter = jitter;
    options.denseOneSided = dense;
    const DiskRead read = readFlux(taggedDisk(3, sides), options);
    QVERIFY2(read.accepted(), qPrintable(textOf(read.entries)));
    QCOMPARE(read.disk.tracks, 3);
    QCOMPARE(read.disk.sides, sides);
    QCOMPARE(read.missing, 0);
    for (int t = 0; t < 3; ++t)
        for (int s = 0; s < sides; ++s)
            for (int id = 0; id < 16; ++id) {
                QCOMPARE(stateOf(read, t, s, id), SectorState::Good);
                QCOMPARE(bytesOf(read, t, s, id), tagged(t, s, id));
            }
    const int total = 3 * sides * 16;
    QVERIFY2(textOf(read.entries)
                 .contains(QStringLiteral("Flux: 2 revolution(s); %1 sector(s) good in revolution 1, %1 good after "
                                          "all revolutions, 0 repaired, 0 still bad")
                               .arg(total)),
             qPrintable(textOf(read.entries)));
}

void TestFlux::repairsByTheCrc_data()
{
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<bool>("firstCandidate");
    // Every copy wrong somewhere, the majority right everywhere.
    QTest::newRow("majority") << Changes{{{3, 0x11}}, {{90, 0x22}}, {{200, 0x33}}} << true;
    // Two copies of three agree on a wrong byte: the one right value is the
    // alternative tried.
    QTest::newRow("minority value at one byte") << Changes{{{40, 0x55}, {7, 1}}, {{40, 0x55}}, {{100, 9}}} << false;
    // Two copies, wrong at different bytes: the tie takes the first's, the
    // second's values are tried.
    QTest::newRow("two copies") << Changes{{{10, 0}}, {{250, 0}}} << false;
    // The CRC bytes themselves read wrong in one copy.
    QTest::newRow("crc byte") << Changes{{{256, 0}}, {{5, 5}}, {{6, 6}}} << true;
}

void TestFlux::repairsByTheCrc()
{
    QFETCH(Changes, changes);
    QFETCH(bool, firstCandidate);
    const QByteArray truth = tagged(7, 1, 3);
    std::vector<mfm::SectorCopy> copies;
    for (const auto &change : changes)
        copies.push_back(badCopy(truth, change));
    std::vector<const mfm::SectorCopy *> pointers;
    for (const mfm::SectorCopy &copy : copies)
        pointers.push_back(&copy);
    const fluxrepair::Result result = fluxrepair::repair(pointers);
    QVERIFY(result.repaired);
    QCOMPARE(dataOf(result.field), truth);
    QCOMPARE(result.candidates == 1, firstCandidate);
    QVERIFY(result.candidates <= fluxrepair::maxRepairCandidates);
}

void TestFlux::repairedSectorFromWeakFlux()
{
    fluxwriter::Options options;
    options.revolutions = 5;
    options.jitter = 0.05;
    options.seed = 3;
    // Every revolution reads a few of the eight weak bytes wrong.
    options.damage = {{fluxwriter::Damage::Kind::Weak, 1, 0, 9, 20, 8, 0.3}};
    const DiskRead read = readFlux(taggedDisk(2, 2), options);
    QVERIFY(read.accepted());
    QCOMPARE(stateOf(read, 1, 0, 9), SectorState::Repaired);
    QCOMPARE(bytesOf(read, 1, 0, 9), tagged(1, 0, 9));
    const QString log = textOf(read.entries);
    QVERIFY2(log.contains(QStringLiteral("Track 1 side 0 sector id 9: repaired from 5 data-error copies, proven by "
                                         "its CRC")),
             qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("63 good after all revolutions, 1 repaired, 0 still bad")), qPrintable(log));
    QCOMPARE(sectorStateName(SectorState::Repaired), QStringLiteral("repaired"));
}

void TestFlux::unprovenCopiesStaySuspect()
{
    // A defect reads the same wrong bytes every revolution: the copies agree,
    // no alternative is seen, nothing is proven.
    fluxwriter::Options options;
    options.revolutions = 4;
    options.damage = {{fluxwriter::Damage::Kind::Defect, 0, 1, 4, 100, 3, 0}};
    const DiskRead read = readFlux(taggedDisk(2, 2), options);
    QVERIFY(read.accepted());
    QCOMPARE(stateOf(read, 0, 1, 4), SectorState::Suspect);
    QCOMPARE(read.disk.sectors.agreeing(PhysicalDisk::place(0, 1, 4)), 4);
    QVERIFY(bytesOf(read, 0, 1, 4) != tagged(0, 1, 4));
    QCOMPARE(bytesOf(read, 0, 1, 4).left(100), tagged(0, 1, 4).left(100));
    QVERIFY(textOf(read.entries).contains(QStringLiteral("0 repaired, 1 still bad (1 suspect, 0 missing)")));
}

void TestFlux::manyDisagreementsStaySuspectWithinTheBound()
{
    // Three copies that disagree at forty bytes, the majority wrong at
    // twenty of them: the right sector lies beyond the candidates allowed.
    const QByteArray truth = tagged(3, 0, 0);
    QVector<QPair<int, int>> both;
    for (int i = 0; i < 20; ++i)
        both.append({i * 5, uchar(truth.at(i * 5)) ^ 0x40});
    QVector<QPair<int, int>> third;
    for (int i = 0; i < 20; ++i)
        third.append({150 + i * 5, uchar(truth.at(150 + i * 5)) ^ 0x01});
    std::vector<mfm::SectorCopy> copies{badCopy(truth, both), badCopy(truth, both), badCopy(truth, third)};
    const fluxrepair::Result result = fluxrepair::repair({&copies[0], &copies[1], &copies[2]});
    QVERIFY(!result.repaired);
    QCOMPARE(result.candidates, fluxrepair::maxRepairCandidates);
    QCOMPARE(dataOf(result.field), dataOf(copies[0].field));
}

void TestFlux::repairedCountsAsGoodInAMerge()
{
    PhysicalDisk repaired(1, 1);
    PhysicalDisk clean(1, 1);
    for (int id = 0; id < 16; ++id) {
        const int p = PhysicalDisk::place(0, 0, id);
        std::memcpy(repaired.sectors.sectorDataForWrite(p), tagged(0, 0, id).constData(), 256);
        std::memcpy(clean.sectors.sectorDataForWrite(p), tagged(0, 0, id).constData(), 256);
        repaired.sectors.setRead(p, SectorState::Repaired, 0, 1);
        clean.sectors.setRead(p, id < 8 ? SectorState::Good : SectorState::Suspect, 1, 1);
    }
    const PhysicalDisk merged = mergeReads({repaired, clean}, {QStringLiteral("a"), QStringLiteral("b")},
                                           [](const LogEntry &) {});
    for (int id = 0; id < 16; ++id)
        QCOMPARE(merged.state(0, 0, id), id < 8 ? SectorState::Good : SectorState::Repaired);
}

void TestFlux::fluxReadsMerge()
{
    // Two flux reads of one disk, each with a defect the other lacks:
    // merged like reads of sector images, every sector is clean.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const fluxwriter::KnownDisk disk = taggedDisk(2, 2);
    QStringList paths;
    for (int r = 0; r < 2; ++r) {
        fluxwriter::Options options;
        options.revolutions = 3;
        options.seed = quint32(r + 1);
        options.damage = {{fluxwriter::Damage::Kind::Defect, r, 0, 5 + r, 10, 4, 0}};
        const QString path = dir.filePath(QStringLiteral("read%1.scp").arg(r + 1));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fluxwriter::writeScp(disk, options));
        paths << path;
    }
    RescueSession session(nullptr);
    const LoadResult merged = session.mergeQuietly(paths);
    QCOMPARE(merged.status, LoadResult::Status::Accepted);
    QCOMPARE(merged.row.reads, QStringList({QStringLiteral("read1"), QStringLiteral("read2")}));
    for (int t = 0; t < 2; ++t)
        for (int s = 0; s < 2; ++s)
            for (int id = 0; id < 16; ++id) {
                QCOMPARE(merged.physical.state(t, s, id), SectorState::Good);
                QCOMPARE(merged.physical.sectors.sectorBytes(PhysicalDisk::place(t, s, id)), tagged(t, s, id));
            }
    // The first read supplied its clean sectors, the second the one the
    // first read wrong.
    QCOMPARE(merged.physical.sectors.supplier(PhysicalDisk::place(0, 0, 5)), 2);
    QCOMPARE(merged.physical.sectors.supplier(PhysicalDisk::place(1, 0, 6)), 1);
    QVERIFY2(textOf(merged.entries).contains(QStringLiteral("Merged 2 reads: 64 good, 0 suspect, 0 missing sector(s)")),
             qPrintable(textOf(merged.entries)));
}

void TestFlux::truncatedScpRefused_data()
{
    QTest::addColumn<int>("cut"); // bytes kept; negative: from the end
    QTest::addColumn<QString>("reason");
    QTest::newRow("inside the header") << 10 << QStringLiteral("the header and track table end at byte 688, the file "
                                                               "has 10 bytes");
    QTest::newRow("inside the track table") << 500 << QStringLiteral("the header and track table end at byte 688, "
                                                                     "the file has 500 bytes");
    QTest::newRow("inside a track header") << 700 << QStringLiteral("the header of track entry 0 at byte 688 runs "
                                                                    "past the end of the file (700 bytes)");
    QTest::newRow("inside the last flux") << -1 << QStringLiteral("the flux of track entry 3, revolution 2 ends at "
                                                                  "byte %1, past the end of the file (%2 bytes)");
}

void TestFlux::truncatedScpRefused()
{
    QFETCH(int, cut);
    QFETCH(QString, reason);
    fluxwriter::Options options;
    options.revolutions = 2;
    const QByteArray whole = fluxwriter::writeScp(taggedDisk(2, 2), options);
    const QByteArray bytes = cut >= 0 ? whole.left(cut) : whole.left(whole.size() + cut);
    if (cut < 0)
        reason = reason.arg(whole.size()).arg(bytes.size());
    const ScpImage image = readScp(bytes);
    QCOMPARE(image.problem, ScpProblem::Truncated);
    QCOMPARE(image.reason, reason);
    const DiskRead read = readDiskBytes(bytes, QStringLiteral("cut"));
    QCOMPARE(read.refusal, DiskRead::Refusal::BadFlux);
    QCOMPARE(textOf(read.entries.mid(1)), QStringLiteral("Not a readable SCP flux image: ") + reason);
}

void TestFlux::sharedFluxRefused()
{
    // Every revolution pointed at the first one's flux: a small file that
    // would take long to decode.
    fluxwriter::Options options;
    options.revolutions = 4;
    QByteArray bytes = fluxwriter::writeScp(taggedDisk(1, 1), options);
    const int track = 0x2B0;
    for (int r = 1; r < 4; ++r)
        for (int k = 0; k < 8; ++k)
            bytes[track + 8 + 12 * r + k] = bytes.at(track + 8 + k);
    // The file ends after the first revolution's flux.
    const int cells = quint8(bytes.at(track + 8)) | quint8(bytes.at(track + 9)) << 8 | quint8(bytes.at(track + 10)) << 16;
    bytes.truncate(track + 4 + 12 * 4 + 2 * cells);
    const ScpImage image = readScp(bytes);
    QCOMPARE(image.problem, ScpProblem::OverlappingFlux);
    QVERIFY2(image.reason.startsWith(QStringLiteral("the revolutions claim more flux")), qPrintable(image.reason));
}

QTEST_GUILESS_MAIN(TestFlux)
#include "test_flux.moc"
