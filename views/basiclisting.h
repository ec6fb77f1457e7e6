#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// ZX Spectrum BASIC as text, in the notation text-to-BASIC converters read:
// keywords spelt out from their tokens (0xA3..0xFF, 48K and 128K), numbers as
// they were typed (the hidden 0x0E form left out), colour and position codes
// left out with their operands, block graphics as "\" and two of ' . : or
// blank, user-defined graphics as "\a".."\s", © as "\*".

// The keyword of a token, empty for a byte that is none.
QString basicKeyword(quint8 token);

// One line of a program.
struct BasicLine
{
    int number = 0;
    QString text;    // without the line number
    int offset = 0;  // of the line's first byte (its number) in the program
    int size = 0;    // bytes of the line, number and length included
    bool cut = false; // the program ends before the line does
};

// The lines of a program (the bytes before its variables). Listing stops at
// a line number of 16384 or more, as the computer's own does.
QVector<BasicLine> basicLines(const QByteArray &program);

// One line as a listing shows it: the number right-aligned in five places,
// then its text.
QString basicLineText(const BasicLine &line);
// Every line, each ending in a line feed.
QString basicListing(const QVector<BasicLine> &lines);

// The bytes of a program file's body before its variables: the 7-byte
// header gives the program's length (the variables' offset), which is
// trusted only as far as the body reaches.
QByteArray basicProgram(const QByteArray &header, const QByteArray &body);
