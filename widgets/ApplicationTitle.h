#pragma once
// The application title: the caption of the error display. The program never sets one,
// so it is the name of the running executable.
#include <QString>

namespace kordane {

// The file name after the last "/" or "\", cut at its first ".", every character after
// the first in lower case: "KORDANE.EXE" gives "Kordane", "my.tool.exe" gives "my".
QString applicationTitleFor(const QString& executablePath);

// The title of this run, taken from the executable's path; needs the application object.
QString applicationTitle();

} // namespace kordane
