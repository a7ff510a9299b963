#include "PrivateFiles.h"

#include <QDir>
#include <QFileInfo>

namespace Ferrowick::PrivateFiles {

bool makeFolder(const QString &path)
{
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).path();
    return parent != path && makeFolder(parent) &&
        (QDir().mkdir(path, folderPermissions) || QFileInfo(path).isDir());
}

} // namespace Ferrowick::PrivateFiles
