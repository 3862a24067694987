#pragma once
// A report as the formats draw it: tables with a title, headers and rows of text.
#include <QString>
#include <QStringList>

#include <vector>

namespace kordane::report {

struct Table {
    QString title;
    QStringList headers;
    std::vector<bool> rightAligned; // one per header: figures line up on the right
    std::vector<QStringList> rows;
    QStringList notes; // lines under the table
    bool signature = false; // a line to sign under it (on paper)
};

struct Sheet {
    // What a terminal and CSV get.
    Table summary;
    // What paper gets, a page (or more, when long) for each; empty: the summary.
    std::vector<Table> pages;
};

} // namespace kordane::report
