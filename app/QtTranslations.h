#pragma once
// Qt's own texts (the edit fields' context menus, the standard message box's button) in
// the clerk's language where that is Traditional Chinese. The program's own dialogs spell
// their English words themselves and stay as they are.
class QLocale;
class QTranslator;

namespace kordane {

// Installs Qt's Traditional Chinese catalogue for a locale written in that script (Taiwan,
// Hong Kong, Macao alike). Returns the translator, owned by the application (deleting it
// uninstalls it), or nullptr for another locale or when the catalogue is not installed.
QTranslator* installQtTranslations(const QLocale& locale);

} // namespace kordane
