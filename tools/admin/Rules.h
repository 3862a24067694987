#pragma once
// Integrity rules on POS_DAY and its audit trail, kept by the database itself so that they
// hold for every program that writes, the window included. The checks are a BEFORE trigger
// that looks only at the columns a write gives new values: a record stored before the rules
// that breaks one still takes an update of its other columns (the start-up name backfill).
// Among the checks is the window's duplicate check, asked again within the write; a unique
// key on the same four values also refuses a second record while the first is still in
// flight, wherever the stored records allow one. An AFTER trigger writes every insert,
// update and delete into POS_DAY_AUDIT, with the rights of its own, so that a clerk's
// account needs none on that table.
#include "data/sql/TextCodec.h"
#include "tools/rawfb/RawFirebird.h"

#include <QStringList>

#include <vector>

namespace kordane::admin {

// A stored record that breaks rules: its identifying values, and the columns at fault
// (DUPLICATE for one whose four values another record shares).
struct RuleBreach {
    QStringList record; // EMPLOYEE_ID, INI_DATE, TIME_IN, TIME_OUT, BILL_WEEK
    QStringList columns;
};

std::vector<RuleBreach> ruleBreaches(RawFirebird& db, const TextCodec& codec);

// Installs the rules, or brings them up to date, in one transaction. The audit table and
// its entries are kept when they exist. The unique key comes too unless records sharing
// their four values are stored: then false, and it is left out.
bool installRules(RawFirebird& db, const TextCodec& codec);

} // namespace kordane::admin
