#pragma once
// A driver library loaded by name. Once loaded it stays loaded until the process ends
// (the handle is never closed): objects the driver created may be released late, and
// the database client's exit handlers must still find their code.
#include <QString>

#include <memory>

namespace kordane {

class DriverLibrary {
public:
    ~DriverLibrary() = default;
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    // The process-wide library of that file name, loaded on first use; null when it
    // cannot be loaded.
    static DriverLibrary* load(const QString& fileName);

    const QString& fileName() const { return fileName_; }
    // The exported symbol, or null.
    void* symbol(const QString& name) const;

private:
    DriverLibrary(QString fileName, void* handle)
        : fileName_(std::move(fileName))
        , handle_(handle)
    {
    }

    QString fileName_;
    void* handle_;
};

} // namespace kordane
