#pragma once
// Closed pay periods, kept by the database itself so that every program that writes, the
// window included, is refused a record dated in one.
//
//   PAY_PERIOD_CLOSED  each closed period's first and last day, who closed it and when
//   PAY_PERIOD_AUDIT   every close and reopen, written by a trigger on PAY_PERIOD_CLOSED
//
// A BEFORE trigger on POS_DAY refuses, with the exception POS_DAY_CLOSED, an insert, an
// update or a delete of a record whose INI_DATE (or, for an update, old INI_DATE) falls
// in a closed period; but not an update that only fills in a missing name, which the
// start-up backfill makes. Both triggers have rights of their own: a clerk's account
// needs none on these tables.
#include "data/sql/TextCodec.h"
#include "tools/rawfb/RawFirebird.h"

#include <string>
#include <vector>

namespace kordane::admin {

std::vector<std::string> periodsMissing(RawFirebird& db, const TextCodec& codec);

} // namespace kordane::admin
