#include "data/config/IniFile.h"

#include "data/config/ConfigFile.h"

namespace kordane {

IniFile IniFile::parse(QStringView text)
{
    IniFile ini;
    // A lone CR ends a line as well, so no name or value ever holds a line break.
    const QString lines = text.toString().replace(u'\r', u'\n');
    for (QStringView raw : QStringView(lines).tokenize(u'\n')) {
        const QStringView line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            ini.sections_.push_back({line.sliced(1, line.size() - 2).trimmed().toString(), {}});
            continue;
        }
        if (ini.sections_.empty())
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue; // not an entry
        ini.sections_.back().entries.push_back(
            {line.first(eq).trimmed().toString(), line.sliced(eq + 1).trimmed().toString()});
    }
    return ini;
}

std::optional<IniFile> IniFile::load(const QString& path, const QString& role)
{
    const auto bytes = config::readConfigFile(path, role);
    if (!bytes)
        return std::nullopt;
    QString text = QString::fromUtf8(*bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return parse(text);
}

const IniFile::Section* IniFile::section(QStringView name) const
{
    for (const Section& s : sections_) {
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    }
    return nullptr;
}

QString IniFile::value(QStringView sectionName, QStringView name) const
{
    if (const Section* s = section(sectionName)) {
        for (const Entry& e : s->entries) {
            if (e.name.compare(name, Qt::CaseInsensitive) == 0)
                return e.value;
        }
    }
    return {};
}

QStringList IniFile::sectionLines(QStringView sectionName) const
{
    QStringList lines;
    if (const Section* s = section(sectionName)) {
        for (const Entry& e : s->entries)
            lines.append(e.name + u'=' + e.value);
    }
    return lines;
}

} // namespace kordane
