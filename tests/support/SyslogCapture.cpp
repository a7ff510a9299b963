// The system log of an end-to-end run, preloaded into the program under test (LD_PRELOAD). The
// test machines have no /dev/log, where glibc's syslog() drops every message without a word; this
// library takes the calls instead and appends each message as one line,
// "<PRIORITY>IDENT[PID]: MESSAGE", to the file named by FERROWICK_SYSLOG_CAPTURE (nothing when it
// is unset). The _chk variants are what _FORTIFY_SOURCE builds call.
//
// It is built without the sanitizers: it is loaded into every program the tested one starts
// (xdg-open, the shell), which have no sanitizer runtime. <syslog.h> is left out on purpose: its
// fortified inline wrappers would clash with the definitions here.

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int facilityMask = 0x03f8;
constexpr int userFacility = 1 << 3;

const char *g_ident = nullptr;
int g_facility = userFacility;

void capture(int priority, const char *format, va_list arguments)
{
    const char *path = std::getenv("FERROWICK_SYSLOG_CAPTURE");
    if (!path || !*path || !format)
        return;
    const int callersErrno = errno; // %m prints it

    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length < 0)
        return;
    std::vector<char> message(std::size_t(length) + 1);
    errno = callersErrno;
    std::vsnprintf(message.data(), message.size(), format, arguments);

    if ((priority & facilityMask) == 0)
        priority |= g_facility;
    char prefix[128];
    const int prefixLength = std::snprintf(prefix, sizeof prefix, "<%d>%s[%ld]: ", priority,
        g_ident ? g_ident : "", static_cast<long>(getpid()));
    std::vector<char> line(prefix, prefix + std::min<std::size_t>(prefixLength, sizeof prefix - 1));
    line.insert(line.end(), message.begin(), message.end() - 1);
    if (line.back() != '\n')
        line.push_back('\n');

    // One write per message on an O_APPEND descriptor: lines of several threads never interleave.
    const int file = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (file >= 0) {
        [[maybe_unused]] const ssize_t written = write(file, line.data(), line.size());
        close(file);
    }
    errno = callersErrno;
}

} // namespace

extern "C" {

void openlog(const char *ident, int, int facility)
{
    g_ident = ident;
    if (facility != 0)
        g_facility = facility & facilityMask;
}

void closelog()
{
    g_ident = nullptr;
}

void vsyslog(int priority, const char *format, va_list arguments)
{
    capture(priority, format, arguments);
}

void syslog(int priority, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    capture(priority, format, arguments);
    va_end(arguments);
}

void __vsyslog_chk(int priority, int, const char *format, va_list arguments)
{
    capture(priority, format, arguments);
}

void __syslog_chk(int priority, int, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    capture(priority, format, arguments);
    va_end(arguments);
}

} // extern "C"
