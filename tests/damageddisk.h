#pragma once

// A small TOS disk whose sectors a test damages as a controller records
// damage: data errors, weak sectors stored as several copies, missing ones.

#include "imagebuilder.h"
#include "rescuetestutil.h"

#include <QVector>

// A 40-track A.4 disk with one code file GAME of 1005 bytes in logical
// sectors 16..19, and helpers to damage its sectors as a controller
// records damage.
struct DamagedDisk
{
    ImageBuilder image{40, 1};
    const QByteArray game = ImageBuilder::withHeader5(3, 1000, 32768, rescuetest::pattern(1000, 1));

    DamagedDisk()
    {
        image.setLogicalBytes(32, rescuetest::extentEntry(0, "GAME", "", 0, game.size(), "\x04"), false);
        image.setLogicalBytes(16 * 256, game, false);
    }

    ImageBuilder::Sector *at(int logical)
    {
        int t, s, id;
        image.logicalToPhysical(logical, false, t, s, id);
        return image.sector(t, s, id);
    }

    // A data error: the stored bytes differ from the file's in one place.
    void crcError(int logical, bool wrongByte = true)
    {
        ImageBuilder::Sector *sector = at(logical);
        sector->st1 = 0x20;
        sector->st2 = 0x20;
        if (wrongByte)
            sector->data[10] = char(sector->data.at(10) ^ 0x5A);
    }

    // A weak sector stored as copies, each with one byte changed by the
    // given amount (0: the true value).
    void weak(int logical, const QVector<int> &changes)
    {
        ImageBuilder::Sector *sector = at(logical);
        const QByteArray truth = sector->data;
        QByteArray copies;
        for (int change : changes) {
            QByteArray copy = truth;
            copy[20] = char(copy.at(20) + change);
            copies += copy;
        }
        sector->data = copies;
    }

    void remove(int logical)
    {
        int t, s, id;
        image.logicalToPhysical(logical, false, t, s, id);
        image.removeSector(t, s, id);
    }
};

