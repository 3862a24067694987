#pragma once
// The tables of card terminals' punches. Texts are code page 950 bytes, as in the
// program's own tables.
//
//   PUNCH        every punch as it came in, keyed by card and moment, with the employee
//                it was taken for and what it became: ROLE I began a record (PAIRED_AT its
//                out, null while the record has no off-duty time), O ended one (PAIRED_AT
//                its in), R repeated the punch before it, U an out with no in before it,
//                C an out whose record a clerk had changed, left for the clerk
//   CARD_HOLDER  a card's earlier holders: EMPLOYEE_ID held CARD_ID up to the day before
//                HELD_UNTIL; EMPLOYEE names the holder after the last move
#include "data/sql/TextCodec.h"
#include "tools/rawfb/RawFirebird.h"

#include <string>
#include <vector>

namespace kordane::admin {

std::vector<std::string> punchesMissing(RawFirebird& db, const TextCodec& codec);

} // namespace kordane::admin
