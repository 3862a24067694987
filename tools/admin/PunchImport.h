#pragma once
// A file of punches into PUNCH and POS_DAY, all of it in one transaction or none: each
// punch once, whatever files repeat it; the new ones paired, per employee, after those
// stored, into records written as the window writes them, on the day a schedule's shift
// decides; a stored lone in completed by its out unless a clerk has changed its record
// since.
#include "attendance/PunchPairing.h"
#include "tools/admin/PunchFile.h"
#include "tools/rawfb/RawFirebird.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kordane::admin {

class Site;

struct PunchImportOptions {
    std::optional<PunchFormat> format;
    bool dryRun = false;
    attendance::PairingRules rules;
};

struct PunchImport {
    int read = 0;
    int fresh = 0;
    int already = 0;
    int added = 0;
    int completed = 0;
    int leftAlone = 0;
    int loneOuts = 0;
    std::vector<LineRefusal> refused;
    QStringList notes; // a line for each record left alone
    bool written = false;

    QString summary() const;
};

// Reads, checks and pairs the file's punches; writes them unless a line is refused or it
// is a dry run. Throws for a file it cannot read or a database failure, with nothing
// written.
PunchImport importPunches(const Site& site, RawFirebird& db, const QString& path, const PunchImportOptions& options,
                          const QDateTime& now);

} // namespace kordane::admin
