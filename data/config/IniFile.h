#pragma once
// The configuration files' format: named sections of Name=Value lines. Blank lines and
// lines starting with ';' are comments, lines before the first section are ignored,
// names compare without regard to case, and file order is kept.
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kordane {

class IniFile {
public:
    struct Entry {
        QString name;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
    };

    static IniFile parse(QStringView text);
    // Reads a file as UTF-8; nullopt when it does not exist. Throws EDatabaseError naming
    // `role` ("The drivers file") and the path when it is no file to read (readConfigFile).
    static std::optional<IniFile> load(const QString& path, const QString& role);

    const std::vector<Section>& sections() const { return sections_; }
    // The first section of that name, or null.
    const Section* section(QStringView name) const;
    // The first entry of that name in that section; empty when absent.
    QString value(QStringView section, QStringView name) const;
    // The section's entries as "Name=Value" lines in file order; empty when absent.
    QStringList sectionLines(QStringView section) const;

private:
    std::vector<Section> sections_;
};

} // namespace kordane
