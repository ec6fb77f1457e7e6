#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <vector>

// The SCP flux image container: a 16-byte header, a table of 168 track
// offsets, and per track a header ("TRK" and its entry number) giving for
// each revolution the index-to-index time, the number of 16-bit flux cells
// and where they lie. Cells are big-endian tick counts (25 ns times the
// header's resolution + 1); a cell of 0 adds 65536 ticks to the next one.
// Every offset and length is checked against the file before it is used:
// a file that points past its own end is refused, never read beyond.

// Why an SCP file was refused.
enum class ScpProblem {
    None,
    NotScp,            // no "SCP" signature
    Truncated,         // a header, track header or flux data runs past the end of the file
    NoRevolutions,     // the header says 0 revolutions
    UnsupportedCells,  // flux cells other than 16 bits wide
    ExtendedHeader,    // the extended header layout
    UnsupportedHeads,  // a heads value other than 0, 1 or 2
    BadTrackHeader,    // a track offset that leads to no "TRK" header
    NoTracks,          // no track holds flux
    OverlappingFlux,   // the revolutions claim more flux than the file holds
};

struct ScpRevolution
{
    quint32 indexTicks = 0; // index to index
    qint64 dataOffset = 0;  // in the file
    qint64 cells = 0;       // 16-bit cells, overflow cells included
};

struct ScpTrack
{
    int cylinder = 0;
    int side = 0;
    QVector<ScpRevolution> revolutions;
};

struct ScpImage
{
    ScpProblem problem = ScpProblem::NotScp;
    QString reason; // what is wrong, for the log
    QString warning; // a doubt that does not refuse the file (a checksum that does not match)
    int revolutions = 0;
    int heads = 0;        // 0: both sides, 1: side 0 only, 2: side 1 only
    double tickNs = 25.0;
    QVector<ScpTrack> tracks; // in table order
    QByteArray bytes;         // the file, shared

    bool ok() const { return problem == ScpProblem::None; }
};

constexpr char scpSignature[] = "SCP";
constexpr int scpTableEntries = 168;

// Whether bytes begin like an SCP image.
bool looksLikeScp(const QByteArray &bytes);
ScpImage readScp(const QByteArray &bytes);

// The flux intervals of one revolution, in ticks, overflow cells folded into
// the interval they lengthen. out is reused.
void scpIntervals(const ScpImage &image, const ScpRevolution &revolution, std::vector<quint32> &out);
