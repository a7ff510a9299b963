// E2E.SecurityAudit: runs after every end-to-end test (the cleanup of their CTest fixture) over
// the evidence E2E::App kept in $FERROWICK_E2E_EVIDENCE (see E2E.h, namespace Evidence). A secret
// the tests used must not be in the program's debug log, system log or preferences, nor in any
// process's command line or environment; the log must be private; the program must have been
// given https services only and nothing that loosens certificate checks.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QSslCertificate>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

QString root()
{
    return qEnvironmentVariable("FERROWICK_E2E_EVIDENCE");
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString relative(const QString &path)
{
    return QDir(root()).relativeFilePath(path);
}

QStringList folders(const QString &parent, const QString &pattern)
{
    QStringList result;
    const QDir dir(parent);
    for (const QString &name : dir.entryList({ pattern }, QDir::Dirs | QDir::NoDotAndDotDot))
        result << dir.filePath(name);
    return result;
}

// One folder per test run, one per program it started, one per snapshot of that program.
QStringList runs()
{
    return folders(root(), u"*"_s);
}

QStringList snapshots(const QString &run)
{
    QStringList result;
    for (const QString &app : folders(run, u"app-*"_s))
        result << folders(app, u"snapshot-*"_s);
    return result;
}

QStringList allSnapshots()
{
    QStringList result;
    for (const QString &run : runs())
        result << snapshots(run);
    return result;
}

// What the program wrote and what every process was started with: the only files searched for
// secrets (secrets.tsv beside them holds the secrets themselves).
bool isProgramSide(const QFileInfo &file)
{
    static const QSet<QString> names { u"debug.log"_s, u"syslog.log"_s, u"Ferrowick.conf"_s };
    return names.contains(file.fileName()) || file.suffix() == u"cmdline"_s ||
        file.suffix() == u"environ"_s;
}

QMap<QByteArray, QByteArray> variables(const QByteArray &environment)
{
    QMap<QByteArray, QByteArray> result;
    for (const QByteArray &entry : environment.split('\0')) {
        if (const qsizetype equals = entry.indexOf('='); equals > 0)
            result.insert(entry.first(equals), entry.sliced(equals + 1));
    }
    return result;
}

// The program's environment in a snapshot; none when it was not running then.
std::optional<QMap<QByteArray, QByteArray>> programEnvironment(const QString &snapshot)
{
    const QByteArray index = readAll(snapshot + u"/processes.tsv"_s);
    for (const QByteArray &line : index.split('\n')) {
        const QList<QByteArray> fields = line.split('\t'); // pid, role, name, file
        if (fields.size() == 4 && fields[1] == "program") {
            const QString run = QFileInfo(snapshot + u"/../.."_s).canonicalFilePath();
            return variables(
                readAll(run + u"/processes/"_s + QString::fromLatin1(fields[3]) + u".environ"_s));
        }
    }
    return std::nullopt;
}

// Enough to tell which secret it is, never the secret itself.
QString hint(const QByteArray &secret)
{
    QString start;
    for (const char c : secret.first(2))
        start += c >= 0x20 && c < 0x7f ? QString(QLatin1Char(c)) : u"\\x%1"_s.arg(uchar(c), 2, 16);
    return u"%1 bytes, \"%2…\""_s.arg(secret.size()).arg(start);
}

// For a process's file: its program, from the command line beside it.
QString processOf(const QFileInfo &file)
{
    if (file.suffix() != u"cmdline"_s && file.suffix() != u"environ"_s)
        return {};
    const QByteArray commandLine =
        readAll(file.path() + u'/' + file.completeBaseName() + u".cmdline"_s);
    return u" (process %1)"_s.arg(QString::fromLocal8Bit(commandLine.split('\0').constFirst()));
}

// Knobs of Qt, OpenSSL and the loader that could make the program trust more than it should,
// weaken its TLS or hand its session keys out.
bool loosensTls(const QByteArray &name)
{
    static const QByteArrayList prefixes { "QT_SSL", "QT_TLS", "QT_USE_TLS", "QT_NETWORK_",
        "SSL_CERT_", "OPENSSL_" };
    static const QByteArrayList names { "SSLKEYLOGFILE", "QT_PLUGIN_PATH", "LD_LIBRARY_PATH",
        "LD_AUDIT" };
    return names.contains(name) ||
        std::any_of(prefixes.begin(), prefixes.end(),
            [&](const QByteArray &prefix) { return name.startsWith(prefix); });
}

bool isHttpsWithHost(const QByteArray &text)
{
    const QUrl url(QString::fromUtf8(text), QUrl::StrictMode);
    return url.isValid() && url.scheme() == u"https"_s && !url.host().isEmpty();
}

QString listed(const QStringList &problems)
{
    return u"\n  "_s + problems.join(u"\n  "_s);
}

// One program's environment in each snapshot that saw it run. Its authorities file is copied
// whenever it could still be read; the program read it at its start.
void checkTrust(const QString &app, QStringList &problems)
{
    bool toldToTrust = false;
    bool authoritiesSeen = false;
    for (const QString &snapshot : folders(app, u"snapshot-*"_s)) {
        const auto environment = programEnvironment(snapshot);
        if (!environment)
            continue;
        const QString where = relative(snapshot);
        for (auto variable = environment->cbegin(); variable != environment->cend(); ++variable) {
            if (loosensTls(variable.key()))
                problems << u"%1: %2 is set"_s.arg(where, QString::fromLatin1(variable.key()));
        }
        const QByteArray preloaded = environment->value("LD_PRELOAD");
        if (preloaded != FERROWICK_SYSLOG_CAPTURE_LIBRARY)
            problems << u"%1: LD_PRELOAD=%2 (only the system log capture belongs there)"_s.arg(
                where, QString::fromLocal8Bit(preloaded));
        toldToTrust = toldToTrust || environment->contains("FERROWICK_CA_FILE");
        const QByteArray pem = readAll(snapshot + u"/trusted-authorities.pem"_s);
        if (pem.isEmpty())
            continue;
        authoritiesSeen = true;
        const QList<QSslCertificate> authorities = QSslCertificate::fromData(pem);
        if (authorities.isEmpty() || authorities.size() != pem.count("-----BEGIN"))
            problems << u"%1: FERROWICK_CA_FILE holds something else than certificates"_s.arg(
                where);
        for (const QSslCertificate &authority : authorities) {
            const QStringList name = authority.subjectInfo(QSslCertificate::CommonName);
            if (!authority.isSelfSigned() || name != QStringList { u"Fake Provider Test CA"_s })
                problems << u"%1: FERROWICK_CA_FILE trusts \"%2\", not a test provider's "
                            "throwaway authority"_s.arg(where, name.join(u", "_s));
        }
    }
    if (toldToTrust && !authoritiesSeen)
        problems << u"%1: FERROWICK_CA_FILE was never readable while the program ran"_s.arg(
            relative(app));
}

} // namespace

class SecurityAudit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!root().isEmpty(), "FERROWICK_E2E_EVIDENCE is not set: run me through CTest");
    }

    // Without evidence every other check would pass on nothing.
    void evidenceWasKept()
    {
        const QStringList kept = allSnapshots();
        QVERIFY2(!kept.isEmpty(),
            qPrintable(u"no evidence in %1: no end-to-end test started the program, or "
                       "FERROWICK_E2E_EVIDENCE did not reach the tests"_s.arg(root())));
        qInfo("%lld test runs, %lld snapshots of the program", qlonglong(runs().size()),
            qlonglong(kept.size()));
    }

    void noSecretOnTheProgramSide()
    {
        QMap<QByteArray, QSet<QString>> secrets; // value → kinds
        QMap<QString, QSet<QString>> tooShort; // "kind of N bytes" → tests
        for (const QString &run : runs()) {
            for (const QByteArray &line : readAll(run + u"/secrets.tsv"_s).split('\n')) {
                const QList<QByteArray> fields = line.split('\t'); // kind, base64 or -, length
                if (fields.size() != 3)
                    continue;
                const QString kind = QString::fromUtf8(fields[0]);
                if (fields[1] == "-")
                    tooShort[u"%1 of %2 bytes"_s.arg(kind, QString::fromLatin1(fields[2]))]
                        << QFileInfo(run).fileName().section(u'-', 0, 0);
                else
                    secrets[QByteArray::fromBase64(fields[1])] << kind;
            }
        }
        for (auto note = tooShort.cbegin(); note != tooShort.cend(); ++note) {
            QStringList tests = note.value().values();
            tests.sort();
            qInfo("not looked for, shorter than 8 bytes: %s in %s", qPrintable(note.key()),
                qPrintable(tests.join(u", "_s)));
        }
        if (secrets.isEmpty())
            QSKIP("the tests that ran used no secret of 8 bytes or more");

        QStringList leaks;
        qsizetype searched = 0;
        QDirIterator files(root(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QFileInfo file(files.next());
            if (!isProgramSide(file))
                continue;
            ++searched;
            const QByteArray contents = readAll(file.filePath());
            for (auto secret = secrets.cbegin(); secret != secrets.cend(); ++secret) {
                if (!contents.contains(secret.key()))
                    continue;
                QStringList kinds = secret.value().values();
                kinds.sort();
                leaks << u"%1%2: %3 (%4)"_s.arg(relative(file.filePath()), processOf(file),
                    kinds.join(u" / "_s), hint(secret.key()));
            }
        }
        qInfo("%lld secrets looked for in %lld files", qlonglong(secrets.size()),
            qlonglong(searched));
        leaks.sort();
        QVERIFY2(leaks.isEmpty(), qPrintable(u"secrets found:"_s + listed(leaks)));
    }

    // Only its user may read the log: folder 0700, file 0600, as the program made them.
    void logIsPrivate()
    {
        QStringList problems;
        qsizetype filesSeen = 0;
        for (const QString &snapshot : allSnapshots()) {
            for (const QByteArray &line : readAll(snapshot + u"/modes.tsv"_s).split('\n')) {
                const QList<QByteArray> fields = line.split('\t'); // folder|file, mode
                if (fields.size() != 2 || fields[1] == "absent")
                    continue;
                filesSeen += fields[0] == "file";
                const QByteArray wanted = fields[0] == "folder" ? "0700" : "0600";
                if (fields[1] != wanted)
                    problems << u"%1: the log's %2 has mode %3, not %4"_s.arg(relative(snapshot),
                        QString::fromLatin1(fields[0]), QString::fromLatin1(fields[1]),
                        QString::fromLatin1(wanted));
            }
        }
        QVERIFY2(filesSeen > 0, "no snapshot found the debug log at all");
        QVERIFY2(problems.isEmpty(), qPrintable(listed(problems)));
    }

    // Each line of the debug log went to the system log first; a capture that missed them
    // (a preload that did not take, say) would make the secret search blind there.
    void systemLogHasEveryLogLine()
    {
        QStringList problems;
        for (const QString &run : runs()) {
            QSet<QByteArray> captured;
            for (const QString &app : folders(run, u"app-*"_s)) {
                for (const QByteArray &line : readAll(app + u"/syslog.log"_s).split('\n')) {
                    // "<13>ferrowick[PID]: MESSAGE"
                    if (const qsizetype colon = line.indexOf("]: ");
                        line.startsWith('<') && colon > 0)
                        captured << line.sliced(colon + 3);
                }
            }
            QStringList missing;
            for (const QString &snapshot : snapshots(run)) {
                for (const QByteArray &line : readAll(snapshot + u"/debug.log"_s).split('\n')) {
                    const QByteArray message = line.sliced(line.indexOf(' ') + 1);
                    if (!line.isEmpty() && !captured.contains(message))
                        missing << QString::fromUtf8(message);
                }
            }
            missing.removeDuplicates();
            if (!missing.isEmpty())
                problems << u"%1: %2 log lines not in its system log, e.g. \"%3\""_s.arg(
                    relative(run), QString::number(missing.size()), missing.constFirst());
        }
        QVERIFY2(problems.isEmpty(), qPrintable(listed(problems)));
    }

    // The provider serves https only, so every request it recorded came over TLS; the program
    // was given no other place to talk to.
    void servicesAreHttps()
    {
        QStringList problems;
        qsizetype running = 0;
        for (const QString &run : runs()) {
            for (const QString &app : folders(run, u"app-*"_s)) {
                for (const QByteArray &line : readAll(app + u"/setup.tsv"_s).split('\n')) {
                    if (line.startsWith("provider\t") && !isHttpsWithHost(line.sliced(9)))
                        problems << u"%1: the provider is at %2"_s.arg(
                            relative(app), QString::fromUtf8(line.sliced(9)));
                }
            }
        }
        for (const QString &snapshot : allSnapshots()) {
            const auto environment = programEnvironment(snapshot);
            if (!environment)
                continue;
            ++running;
            static const QByteArrayList services { "FERROWICK_SHRINK_API", "FERROWICK_PASTE_API",
                "FERROWICK_ACCOUNT_API", "FERROWICK_UPDATE_FEED" };
            for (const QByteArray &name : services) {
                if (environment->contains(name) && !isHttpsWithHost(environment->value(name)))
                    problems << u"%1: %2=%3"_s.arg(relative(snapshot), QString::fromLatin1(name),
                        QString::fromUtf8(environment->value(name)));
            }
        }
        QVERIFY2(running > 0, "the program's environment was never kept while it ran");
        QVERIFY2(problems.isEmpty(), qPrintable(u"not https:"_s + listed(problems)));
    }

    // Certificates are checked against the system's authorities and the provider's throwaway
    // one only: nothing in the program's environment adds trust or changes the TLS stack.
    void nothingLoosensCertificateChecks()
    {
        QStringList problems;
        for (const QString &run : runs()) {
            for (const QString &app : folders(run, u"app-*"_s))
                checkTrust(app, problems);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(listed(problems)));
    }

    // No code path of the program can switch the checks off, whatever a test covers.
    void codeNeverSkipsCertificateChecks()
    {
        static const QByteArrayList calls { "ignoreSslErrors", "setPeerVerifyMode", "VerifyNone",
            "QueryPeer" };
        QStringList found;
        qsizetype read = 0;
        for (const QString &folder : { u"FWKit"_s, u"FerrowickApp"_s }) {
            QDirIterator files(QStringLiteral(FERROWICK_SOURCE_DIR) + u'/' + folder,
                { u"*.cpp"_s, u"*.h"_s }, QDir::Files, QDirIterator::Subdirectories);
            while (files.hasNext()) {
                const QString path = files.next();
                if (path.contains(u"/tests/"_s))
                    continue;
                ++read;
                const QByteArray code = readAll(path);
                for (const QByteArray &call : calls) {
                    if (code.contains(call))
                        found << u"%1: %2"_s.arg(path, QString::fromLatin1(call));
                }
            }
        }
        QVERIFY(read > 0);
        QVERIFY2(found.isEmpty(), qPrintable(listed(found)));
    }
};

QTEST_GUILESS_MAIN(SecurityAudit)
#include "SecurityAudit.moc"
