#pragma once
// A progress line on standard error, only when it is a terminal and only once the work
// has taken a second; cleared again before anything else is written there.
#include <QElapsedTimer>

#include <cstdio>

namespace kordane::report {

class Progress {
public:
    Progress();
    ~Progress() { clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void row()
    {
        if (enabled_ && ++rows_ % 4096 == 0)
            show();
    }
    void page(int done);
    // Removes the line, if one is showing.
    void clear();

private:
    void show();
    void write(const char* text);

    bool enabled_;
    bool showing_ = false;
    long rows_ = 0;
    int pages_ = 0;
    QElapsedTimer timer_;
    qint64 lastShown_ = 0;
};

} // namespace kordane::report
