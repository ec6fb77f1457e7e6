#include "fluxrepair.h"

#include <algorithm>

namespace fluxrepair {

namespace {

// One value other than the majority's seen at a byte of the field.
struct Alternative
{
    int position;
    uchar value;
    int margin; // votes of the majority's value less this value's
};

class Search
{
public:
    Search(quint8 mark, const std::array<uchar, mfm::fieldSize> &base, const std::vector<Alternative> &alternatives)
        : mark(mark)
        , candidate(base)
        , alternatives(alternatives)
    {
    }

    bool check()
    {
        ++tried;
        const quint16 crc = mfm::crc16(&mark, 1, mfm::afterSync);
        return mfm::crc16(candidate.data(), mfm::fieldSize, crc) == 0;
    }

    // Every choice of depth more alternatives from index from on, at bytes
    // not yet changed, until one passes or the candidates run out.
    bool choose(size_t from, int depth)
    {
        if (depth == 0)
            return check();
        for (size_t a = from; a < alternatives.size() && tried < maxRepairCandidates; ++a) {
            const Alternative &alt = alternatives[a];
            if (changed(alt.position))
                continue;
            const uchar kept = candidate[size_t(alt.position)];
            candidate[size_t(alt.position)] = alt.value;
            positions.push_back(alt.position);
            const bool found = choose(a + 1, depth - 1);
            positions.pop_back();
            if (found)
                return true;
            candidate[size_t(alt.position)] = kept;
        }
        return false;
    }

    quint8 mark;
    std::array<uchar, mfm::fieldSize> candidate;
    const std::vector<Alternative> &alternatives;
    std::vector<int> positions;
    int tried = 0;

private:
    bool changed(int position) const
    {
        return std::find(positions.begin(), positions.end(), position) != positions.end();
    }
};

} // namespace

Result repair(const std::vector<const mfm::SectorCopy *> &copies)
{
    Result result;
    if (copies.empty())
        return result;
    // The mark most copies hold (FB on nearly every disk).
    int deleted = 0;
    for (const mfm::SectorCopy *copy : copies)
        deleted += copy->mark == 0xF8;
    const quint8 mark = deleted * 2 > int(copies.size()) ? 0xF8 : 0xFB;

    std::vector<Alternative> alternatives;
    int counts[256] = {};
    for (int i = 0; i < mfm::fieldSize; ++i) {
        int most = 0;
        for (const mfm::SectorCopy *copy : copies)
            most = std::max(most, ++counts[copy->field[size_t(i)]]);
        // The earliest copy's value among the most held.
        uchar majority = 0;
        for (const mfm::SectorCopy *copy : copies)
            if (counts[copy->field[size_t(i)]] == most) {
                majority = copy->field[size_t(i)];
                break;
            }
        result.field[size_t(i)] = majority;
        for (const mfm::SectorCopy *copy : copies) {
            const uchar value = copy->field[size_t(i)];
            if (counts[value] > 0 && value != majority)
                alternatives.push_back({i, value, most - counts[value]});
            counts[value] = 0; // each value once
        }
        counts[majority] = 0;
    }
    std::stable_sort(alternatives.begin(), alternatives.end(),
                     [](const Alternative &a, const Alternative &b) { return a.margin < b.margin; });

    Search search(mark, result.field, alternatives);
    bool found = search.check();
    for (int depth = 1; !found && depth <= 3 && search.tried < maxRepairCandidates; ++depth)
        found = search.choose(0, depth);
    result.candidates = search.tried;
    if (found) {
        result.repaired = true;
        result.field = search.candidate;
    }
    return result;
}

} // namespace fluxrepair
