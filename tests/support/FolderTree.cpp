#include "FolderTree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

namespace pylon::test {

FolderTree::FolderTree()
    : root(QFileInfo(dir.path()).canonicalFilePath()) {}

QString FolderTree::folder(const QString& relative) const {
    if (!QDir().mkpath(path(relative)))
        qFatal("cannot create %s", qPrintable(relative));
    return path(relative);
}

QString FolderTree::file(const QString& relative, const QByteArray& contents) const {
    folder(relative.section('/', 0, -2));
    QFile file(path(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        qFatal("cannot write %s", qPrintable(relative));
    return path(relative);
}

QString FolderTree::link(const QString& relative, const QString& target) const {
    folder(relative.section('/', 0, -2));
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path(relative)).constData()) != 0)
        qFatal("cannot link %s", qPrintable(relative));
    return path(relative);
}

QString FolderTree::prefix(const QString& relative, const QString& user) const {
    folder(relative + "/drive_c/users/" + user);
    link(relative + "/dosdevices/c:", "../drive_c");
    link(relative + "/dosdevices/z:", "/");
    file(relative + "/system.reg", "WINE REGISTRY Version 2\n");
    return path(relative);
}

QStringList FolderTree::items(const QString& relative) const {
    QStringList items{path(relative)};
    for (QDirIterator it(path(relative), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        items << it.next();
    items.sort();
    return items;
}

QStringList FolderTree::snapshot() const {
    QStringList lines;
    for (const QString& item : items({})) {
        struct stat info {};
        ::lstat(QFile::encodeName(item).constData(), &info);
        lines << item + ' ' + QString::number(info.st_mode, 8) + ' ' + QString::number(info.st_mtime);
    }
    return lines;
}

bool FolderTree::setWritable(const QString& relative, bool writable) const {
    bool ok = true;
    for (const QString& item : items(relative)) {
        const QByteArray name = QFile::encodeName(item);
        struct stat info {};
        ok = ::lstat(name.constData(), &info) == 0 && ok;
        if (!S_ISLNK(info.st_mode))
            ok = ::chmod(name.constData(), writable ? info.st_mode | S_IWUSR : info.st_mode & ~0222) == 0 && ok;
    }
    return ok;
}

} // namespace pylon::test
