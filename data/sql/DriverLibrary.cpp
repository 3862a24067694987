#include "data/sql/DriverLibrary.h"

#include "data/config/ConfigLocation.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

#include <map>

namespace kordane {
namespace {

// Function-local static: torn down only at process exit, after every connection.
std::map<QString, std::unique_ptr<DriverLibrary>>& loaded()
{
    static std::map<QString, std::unique_ptr<DriverLibrary>> libraries;
    return libraries;
}

} // namespace

DriverLibrary* DriverLibrary::load(const QString& fileName)
{
    auto& libraries = loaded();
    if (auto it = libraries.find(fileName); it != libraries.end())
        return it->second.get();
    // A bare name is looked for beside the program first, where the driver is installed,
    // then on the system's search path. (The executable's RUNPATH alone is not enough:
    // it is not consulted when an interposer such as a sanitizer runtime calls dlopen.)
    QString path = fileName;
    if (!fileName.contains(u'/')) {
        const QString beside = config::executableDir() + u'/' + fileName;
        if (QFileInfo::exists(beside))
            path = beside;
    }
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    auto library = std::unique_ptr<DriverLibrary>(new DriverLibrary(fileName, handle));
    DriverLibrary* result = library.get();
    libraries.emplace(fileName, std::move(library));
    return result;
}

void* DriverLibrary::symbol(const QString& name) const
{
    return dlsym(handle_, name.toLatin1().constData());
}

} // namespace kordane
