// A file moved out of the way for the length of a step that must not meet it (a table taking a new
// body while its old index file would describe other rows): put back when the step fails, removed
// when it succeeds. It waits under a temporary name of its own, which a later run clears after a crash.
#pragma once

#include <QFile>
#include <QString>

#include <memory>

namespace darni::files {

class SetAsideFile
{
public:
    SetAsideFile() = default;
    SetAsideFile(const SetAsideFile&) = delete;
    SetAsideFile& operator=(const SetAsideFile&) = delete;
    ~SetAsideFile(); // puts the file back unless dropped

    // Moves `path` to a temporary name beside it; a missing file is nothing to set aside. Throws
    // FileError when the file is there but cannot be moved.
    void setAside(const QString& path);
    // The step succeeded: the file goes for good.
    void drop();

private:
    QString m_path;
    QString m_aside;
    std::unique_ptr<QFile> m_held; // keeps a clearing of abandoned temporaries off it meanwhile
};

} // namespace darni::files
