#pragma once

#include "mfmdecode.h"

#include <vector>

// Repair of a sector that no revolution read cleanly, proven by its CRC.
//
// The copies are data fields whose CRC failed (256 data bytes and the two
// CRC bytes as read, behind the same mark). The first candidate is their
// byte-wise majority; then, where the copies disagree, the other values seen
// at those bytes replace the majority's, one byte at a time and then in
// pairs and threes, the closest votes first. A candidate whose CRC-16 over
// mark, data and CRC comes out right is the sector.
//
// A wrong candidate passes a CRC-16 by chance with odds of 1 in 65,536, so
// trying at most maxRepairCandidates of them keeps the chance that a
// repaired sector is wrong below 64 / 65,536 = 1 / 1,024, under 1 in 1,000.
namespace fluxrepair {

constexpr int maxRepairCandidates = 64;

struct Result
{
    bool repaired = false;
    std::array<uchar, mfm::fieldSize> field{}; // the repaired field, or the majority when not repaired
    int candidates = 0;                        // candidates whose CRC was checked
};

Result repair(const std::vector<const mfm::SectorCopy *> &copies);

} // namespace fluxrepair
