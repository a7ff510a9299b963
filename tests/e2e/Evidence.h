#pragma once

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QString>

#include <FakeProviderProcess.h>
#include <sys/stat.h>

namespace E2E {

using namespace Qt::StringLiterals;

// Evidence for the security audit.
//
// E2E.SecurityAudit (audit/SecurityAudit.cpp) runs after every end-to-end test and looks for the
// secrets the tests used in what the program leaves behind. What it needs is kept here, under
// $FERROWICK_E2E_EVIDENCE (set by CMake; the sandbox goes with the run), one folder per test run:
//   secrets.tsv            the values to look for: "kind, base64 or -, length" (test side)
//   processes/PID-HASH.*   command lines and environments, each distinct one once
//   app-N/syslog.log       the program's system log (captured as it is written)
//   app-N/snapshot-K/      debug.log and Ferrowick.conf copied, modes.tsv (the log's folder and
//                          file), processes.tsv (which process is the program), the authorities
//                          the program was told to trust
// Without the variable nothing is kept.
namespace Evidence {

// Shorter values match by chance ("secret" is in "secret-tool"): noted, not looked for.
inline constexpr qsizetype shortestSecret = 8;

inline QString runFolder()
{
    static const QString folder = [] {
        const QString root = qEnvironmentVariable("FERROWICK_E2E_EVIDENCE");
        const QString path = u"%1/%2-%3"_s.arg(root, QCoreApplication::applicationName())
                                 .arg(QCoreApplication::applicationPid());
        return !root.isEmpty() && QDir().mkpath(path) ? path : QString();
    }();
    return folder;
}

inline bool enabled()
{
    return !runFolder().isEmpty();
}

inline bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// The secrets looked for, each with what it is.
inline QMap<QByteArray, QString> &secrets()
{
    static QMap<QByteArray, QString> noted;
    return noted;
}

// A value that must never reach the program's logs, preferences or any process's command line or
// environment.
inline void noteSecret(const QString &kind, const QByteArray &value)
{
    static QSet<QByteArray> kept;
    const bool lookedFor = value.size() >= shortestSecret;
    const QByteArray entry = kind.toUtf8() + '\t' +
        (lookedFor ? value.toBase64() : QByteArray("-")) + '\t' + QByteArray::number(value.size()) +
        '\n';
    if (value.isEmpty() || kept.contains(entry))
        return;
    kept.insert(entry);
    if (lookedFor)
        secrets().insert(value, kind);
    QFile file(runFolder() + u"/secrets.tsv"_s);
    if (enabled() && file.open(QIODevice::Append))
        file.write(entry);
}

// What a file holds of them, e.g. "debug.log: password (12 bytes)"; never the secret itself.
inline QStringList secretsIn(const QString &path)
{
    QStringList found;
    QFile file(path);
    const QByteArray contents = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    for (auto secret = secrets().cbegin(); secret != secrets().cend(); ++secret) {
        if (contents.contains(secret.key()))
            found << u"%1: %2 (%3 bytes)"_s.arg(
                QFileInfo(path).fileName(), secret.value(), QString::number(secret.key().size()));
    }
    return found;
}

// A password, and the Basic token the program would send with it.
inline void noteCredentials(const QString &login, const QString &password)
{
    noteSecret(u"password"_s, password.toUtf8());
    if (login.isEmpty())
        return;
    const QByteArray pair = (login + u':' + password).toUtf8();
    noteSecret(u"login:password"_s, pair);
    noteSecret(u"Basic token"_s, pair.toBase64());
}

// What a request to the provider carried that is secret: its Authorization, and the password and
// paste fields of a form, decoded and as sent.
inline void noteRequest(const FWTest::RecordedRequest &request)
{
    if (const QByteArray authorization = request.header("Authorization");
        !authorization.isEmpty()) {
        noteSecret(u"Authorization value"_s, authorization);
        if (authorization.startsWith("Basic ")) {
            const QByteArray token = authorization.sliced(6).trimmed();
            noteSecret(u"Basic token"_s, token);
            noteSecret(u"login:password"_s, QByteArray::fromBase64(token));
        }
    }
    for (const QByteArray &field : request.body.split('&')) {
        const qsizetype equals = field.indexOf('=');
        const QByteArray name = field.first(std::max<qsizetype>(equals, 0));
        if (name != "password" && name != "paste")
            continue;
        const QString kind = name == "password" ? u"password"_s : u"paste text"_s;
        QByteArray value = field.sliced(equals + 1);
        noteSecret(kind + u" (form-encoded)"_s, value);
        noteSecret(kind, QByteArray::fromPercentEncoding(value.replace('+', ' ')));
    }
}

// The providers that programs are talking to. A test's reset() makes one forget its requests, so
// they are read at each step a test takes after a request could have been made: a key press, the
// end of a wait, the program's start and stop.
inline QList<FWTest::FakeProviderProcess *> &providers()
{
    static QList<FWTest::FakeProviderProcess *> list;
    return list;
}

inline void readProviders()
{
    static bool reading = false; // the provider's calls run a local event loop
    if (reading)
        return;
    reading = true;
    QSet<FWTest::FakeProviderProcess *> done;
    for (FWTest::FakeProviderProcess *provider : providers()) {
        if (done.contains(provider) || !provider->isRunning())
            continue;
        done.insert(provider);
        for (const FWTest::RecordedRequest &request : provider->requests())
            noteRequest(request);
    }
    reading = false;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Permission bits in octal, or "absent".
inline QByteArray mode(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return "absent";
    return '0' + QByteArray::number(info.st_mode & 07777, 8);
}

// The command line and environment of every process of this run's desktop: the harness's
// daemons, the test, the tools it runs, the program and whatever that starts (each carries the
// sandbox in its environment, as the harness's own clean-up relies on). The machine's other
// processes are left alone: other runs beside this one, and what runs the machine. Each distinct
// one is kept once; `folder`/processes.tsv says which process the program is. The provider is
// left out: it stands for the remote service and has the accounts on its command line by design.
// Returns the program's environment.
inline QByteArray keepProcesses(const QString &folder, qint64 program)
{
    const QByteArray sandbox = "FERROWICK_SANDBOX=" + qgetenv("FERROWICK_SANDBOX");
    const QString provider =
        QFileInfo(QStringLiteral(FERROWICK_FAKE_PROVIDER_PROGRAM)).canonicalFilePath();
    const QString kept = runFolder() + u"/processes"_s;
    QDir().mkpath(kept);
    QByteArray index;
    QByteArray programEnvironment;
    const QStringList pids = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (!number)
            continue;
        const QString proc = u"/proc/"_s + pid;
        const QByteArray environment = readAll(proc + u"/environ"_s);
        if (!environment.split('\0').contains(sandbox))
            continue;
        const QByteArray commandLine = readAll(proc + u"/cmdline"_s);
        const QByteArray name = readAll(proc + u"/comm"_s).trimmed();
        if (QFile::symLinkTarget(proc + u"/exe"_s) == provider) {
            index += pid.toLatin1() + "\tprovider\t" + name + "\t-\n";
            continue;
        }
        const QString file = pid + u'-' +
            QString::fromLatin1(
                QCryptographicHash::hash(commandLine + '\n' + environment, QCryptographicHash::Sha1)
                    .toHex()
                    .left(12));
        if (!QFile::exists(kept + u'/' + file + u".environ"_s)) {
            writeFile(kept + u'/' + file + u".cmdline"_s, commandLine);
            writeFile(kept + u'/' + file + u".environ"_s, environment);
        }
        const bool isProgram = id == program;
        if (isProgram)
            programEnvironment = environment;
        index += pid.toLatin1() + (isProgram ? "\tprogram\t" : "\tother\t") + name + "\t" +
            file.toLatin1() + '\n';
    }
    writeFile(folder + u"/processes.tsv"_s, index);
    return programEnvironment;
}

} // namespace Evidence

} // namespace E2E
