#pragma once

#include <QString>

// The application's diagnostic trace: the system log (syslog, ident "ferrowick") at once, and a
// timestamped line in $XDG_STATE_HOME/Ferrowick/debug.log shortly afterwards. Never fails towards
// the caller and never blocks it on file I/O. FWKit does not log.
namespace Ferrowick::DebugLog {

// Any thread. Lines reach the file one at a time, in call order, on the log's writer thread.
void note(const QString &message);

// Where the lines go; follows XDG_STATE_HOME as it is at each write.
QString filePath();

// Returns once every line noted before the call has been written (or given up on). For the end
// of the program and for tests.
void flush();

} // namespace Ferrowick::DebugLog
