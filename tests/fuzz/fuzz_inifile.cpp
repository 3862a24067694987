// Arbitrary configuration texts: every section and entry name and value is trimmed and
// lies on one line, and the look-ups agree with the parsed sections.
#include "data/config/IniFile.h"

#include <cstdint>
#include <cstdlib>

using kordane::IniFile;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void requireOneTrimmedLine(const QString& s)
{
    require(s == s.trimmed());
    require(!s.contains(u'\n') && !s.contains(u'\r'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const IniFile ini = IniFile::parse(text);
    for (const IniFile::Section& s : ini.sections()) {
        requireOneTrimmedLine(s.name);
        const IniFile::Section* first = ini.section(s.name);
        require(first && first->name.compare(s.name, Qt::CaseInsensitive) == 0);
        for (const IniFile::Entry& e : s.entries) {
            requireOneTrimmedLine(e.name);
            requireOneTrimmedLine(e.value);
            require(!e.name.contains(u'='));
        }
        const QStringList lines = ini.sectionLines(s.name);
        require(lines.size() == qsizetype(first->entries.size()));
        // What is written back as lines reads back as the same entries.
        const IniFile again = IniFile::parse(QStringLiteral("[") + first->name + QStringLiteral("]\n") + lines.join(u'\n'));
        require(again.sections().size() == 1);
        for (const IniFile::Entry& e : first->entries) {
            if (!e.name.startsWith(u';') && !e.name.startsWith(u'['))
                require(again.value(s.name, e.name) == ini.value(s.name, e.name));
        }
    }
    return 0;
}
