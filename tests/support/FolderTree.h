#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace pylon::test {

// A folder tree in a temporary folder, of real folders, files and symbolic links. A step that fails
// stops the run: a test on a half-built tree would prove nothing.
struct FolderTree {
    QTemporaryDir dir;
    QString root; // canonical

    FolderTree();

    QString path(const QString& relative) const { return root + '/' + relative; }
    QString folder(const QString& relative) const;
    QString file(const QString& relative, const QByteArray& contents = {}) const;
    // A link at `relative` to `target` as written (a relative target stays relative).
    QString link(const QString& relative, const QString& target) const;
    // A prefix as wineboot leaves it: drive_c with a user folder, C: and Z: links, system.reg.
    QString prefix(const QString& relative, const QString& user = "me") const;
    // `relative` and every item below it; links are not followed.
    QStringList items(const QString& relative) const;
    // Every item with its mode and modification time.
    QStringList snapshot() const;
    // Takes away (or gives back) the write permission of `relative` and every folder and file below it.
    bool setWritable(const QString& relative, bool writable) const;
};

} // namespace pylon::test
