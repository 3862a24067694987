#include "widgets/ApplicationTitle.h"

#include <QCoreApplication>

#include <algorithm>

namespace kordane {

QString applicationTitleFor(const QString& executablePath)
{
    const qsizetype slash = std::max(executablePath.lastIndexOf(u'/'), executablePath.lastIndexOf(u'\\'));
    QString name = executablePath.mid(slash + 1);
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    // A first character outside the BMP is two code units and stays whole.
    const qsizetype head = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
    return name.left(head) + name.mid(head).toLower();
}

QString applicationTitle()
{
    static const QString title = applicationTitleFor(QCoreApplication::applicationFilePath());
    return title;
}

} // namespace kordane
