#pragma once

#include <QFile>
#include <QString>

// What the program keeps about the user outside the keyring (the debug log, the Recent list) is
// theirs alone: folders and files are created private rather than tightened afterwards, so they
// are never readable by others, not even for a moment. XDG asks the same of every folder it makes
// on the way.
namespace Ferrowick::PrivateFiles {

inline constexpr QFile::Permissions folderPermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
inline constexpr QFile::Permissions filePermissions = QFile::ReadOwner | QFile::WriteOwner;

// Makes the folder and any missing parent, each 0700; true when the folder exists afterwards.
// Any thread.
bool makeFolder(const QString &path);

} // namespace Ferrowick::PrivateFiles
