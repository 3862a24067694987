#include "tools/report/Progress.h"

#include <QByteArray>

#include <unistd.h>

namespace kordane::report {

Progress::Progress()
    : enabled_(isatty(STDERR_FILENO) == 1)
{
    timer_.start();
}

void Progress::page(int done)
{
    pages_ = done;
    if (enabled_)
        show();
}

void Progress::show()
{
    const qint64 now = timer_.elapsed();
    if (now < 1000 || now - lastShown_ < 200)
        return;
    lastShown_ = now;
    const QByteArray line = pages_ > 0 ? QByteArray("\rkordane-report: ") + QByteArray::number(rows_) + " rows read, "
            + QByteArray::number(pages_) + " pages drawn\033[K"
                                       : QByteArray("\rkordane-report: ") + QByteArray::number(rows_) + " rows read\033[K";
    write(line.constData());
    showing_ = true;
}

void Progress::clear()
{
    if (showing_)
        write("\r\033[K");
    showing_ = false;
}

void Progress::write(const char* text)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
}

} // namespace kordane::report
