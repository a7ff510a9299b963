#include "FakeProviderProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QTimer>

namespace FWTest {

namespace {

using namespace std::chrono_literals;

constexpr auto startLimit = 10s;
constexpr auto requestLimit = 10s;
constexpr auto stopLimit = 5s;

QByteArray findHeader(const QList<RawHeader> &headers, QByteArrayView name)
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

// One part of a --account value: the provider percent-decodes each part.
QByteArray accountPart(const QString &text)
{
    return QUrl::toPercentEncoding(text);
}

QString accountArgument(const ProviderAccount &account)
{
    QByteArray value = accountPart(account.login) + ':' + accountPart(account.password);
    if (!account.batches.isEmpty()) {
        QByteArrayList batches;
        for (const auto &batch : account.batches)
            batches.append(accountPart(batch));
        value += ':' + batches.join(',');
    }
    return QString::fromLatin1(value);
}

} // namespace

QByteArray RecordedRequest::header(QByteArrayView name) const
{
    return findHeader(headers, name);
}

QByteArray ProviderAnswer::header(QByteArrayView name) const
{
    return findHeader(headers, name);
}

FakeProviderProcess::FakeProviderProcess() = default;

FakeProviderProcess::~FakeProviderProcess()
{
    // Also reports a provider that crashed earlier (a sanitizer finding, say).
    if (!stop())
        qWarning("FakeProviderProcess: the provider did not exit cleanly");
}

bool FakeProviderProcess::start(const ProviderOptions &options)
{
    if (isRunning()) {
        qWarning("FakeProviderProcess: already started");
        return false;
    }
    m_origin.clear();
    m_baseUrl.clear();
    m_caFile.clear();
    m_certificateFiles = {};
    // Given files are copied before the last run's folder goes: they may be in it.
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid()) {
        qWarning("FakeProviderProcess: no temporary folder: %s", qPrintable(dir->errorString()));
        return false;
    }
    const QString certificates = dir->filePath("certs");
    QStringList arguments { "--exit-on-stdin-eof" };
    if (options.certificateFiles) {
        const CertificateFiles given = *options.certificateFiles;
        const CertificateFiles copies { certificates + "/server.pem", certificates + "/server.key",
            certificates + "/ca.pem" };
        if (!QDir().mkpath(certificates) || !QFile::copy(given.certificate, copies.certificate) ||
            !QFile::copy(given.key, copies.key) || !QFile::copy(given.ca, copies.ca)) {
            qWarning("FakeProviderProcess: cannot copy the certificate files");
            return false;
        }
        arguments << "--cert" << copies.certificate << "--key" << copies.key << "--ca" << copies.ca;
        m_certificateFiles.key = copies.key;
    } else {
        arguments << "--make-certs" << certificates;
        if (options.certificate == ProviderCertificate::WrongHost)
            arguments << "--cert-host"
                      << "wronghost.invalid";
        m_certificateFiles.key = certificates + "/server.key";
    }
    m_dir = std::move(dir);
    if (options.port != 0)
        arguments << "--port" << QString::number(options.port);
    for (const auto &account : options.accounts)
        arguments << "--account" << accountArgument(account);
    if (options.logRequests)
        arguments << "--log";

    // Its diagnostics land in the test's output; its stdin stays open until we stop it, so it
    // also ends when the test process dies.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setWorkingDirectory(m_dir->path());
    m_process.start(QString::fromUtf8(FERROWICK_FAKE_PROVIDER), arguments);

    QString certificateFile;
    bool ready = false;
    const QDeadlineTimer deadline(startLimit);
    while (!ready) {
        if (!m_process.canReadLine()) {
            if (m_process.state() == QProcess::NotRunning ||
                !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                qWarning("FakeProviderProcess: the provider did not start: %s",
                    qPrintable(m_process.errorString()));
                stop();
                return false;
            }
            continue;
        }
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        const QString key = line.section(' ', 0, 0);
        const QString value = line.section(' ', 1);
        if (key == "origin")
            m_origin = QUrl(value);
        else if (key == "base")
            m_baseUrl = QUrl(value);
        else if (key == "ca")
            m_caFile = value;
        else if (key == "cert")
            certificateFile = value;
        else if (key == "ready")
            ready = true;
    }
    m_certificateFiles.certificate = certificateFile;
    m_certificateFiles.ca = m_caFile;

    m_ssl = QSslConfiguration::defaultConfiguration();
    if (!m_ssl.addCaCertificates(m_caFile)) {
        qWarning("FakeProviderProcess: cannot read the CA %s", qPrintable(m_caFile));
        stop();
        return false;
    }
    // With a certificate for another host, our own calls accept exactly that mismatch.
    m_expectedSslErrors.clear();
    if (options.certificate == ProviderCertificate::WrongHost) {
        for (const auto &certificate : QSslCertificate::fromPath(certificateFile))
            m_expectedSslErrors.append(QSslError(QSslError::HostNameMismatch, certificate));
    }
    m_network = std::make_unique<QNetworkAccessManager>();
    return true;
}

bool FakeProviderProcess::stop()
{
    // Our idle connections go first, so nothing of ours keeps the provider waiting.
    m_network.reset();
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    if (!m_process.waitForFinished(
            static_cast<int>(std::chrono::milliseconds(stopLimit).count()))) {
        qWarning("FakeProviderProcess: the provider ignored SIGTERM; killing it");
        m_process.kill();
        m_process.waitForFinished();
        return false;
    }
    if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0) {
        qWarning("FakeProviderProcess: the provider exited with status %d", m_process.exitCode());
        return false;
    }
    return true;
}

bool FakeProviderProcess::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QUrl FakeProviderProcess::origin() const
{
    return m_origin;
}

QUrl FakeProviderProcess::baseUrl() const
{
    return m_baseUrl;
}

QString FakeProviderProcess::caFile() const
{
    return m_caFile;
}

CertificateFiles FakeProviderProcess::certificateFiles() const
{
    return m_certificateFiles;
}

QProcessEnvironment FakeProviderProcess::serviceEnvironment() const
{
    QProcessEnvironment environment;
    const QString base = m_baseUrl.toString();
    environment.insert("FERROWICK_SHRINK_API", base);
    environment.insert("FERROWICK_PASTE_API", base);
    environment.insert("FERROWICK_ACCOUNT_API", base);
    environment.insert("FERROWICK_CA_FILE", m_caFile);
    return environment;
}

QList<RecordedRequest> FakeProviderProcess::requests()
{
    const ProviderAnswer answer = control("GET", "/_fake/requests");
    QList<RecordedRequest> requests;
    for (const auto &item : QJsonDocument::fromJson(answer.body).array()) {
        const QJsonObject object = item.toObject();
        RecordedRequest request { object.value("method").toString().toUtf8(),
            object.value("target").toString().toUtf8(), object.value("path").toString(), {},
            QByteArray::fromBase64(object.value("bodyBase64").toString().toLatin1()) };
        for (const auto &header : object.value("headers").toArray()) {
            const QJsonArray pair = header.toArray();
            request.headers.append(
                { pair.at(0).toString().toUtf8(), pair.at(1).toString().toUtf8() });
        }
        requests.append(std::move(request));
    }
    return requests;
}

bool FakeProviderProcess::misbehave(const Misbehaviour &misbehaviour)
{
    QJsonObject object { { "path", misbehaviour.path }, { "count", misbehaviour.count } };
    if (misbehaviour.status)
        object.insert("status", *misbehaviour.status);
    if (misbehaviour.body)
        object.insert("bodyBase64", QString::fromLatin1(misbehaviour.body->toBase64()));
    if (!misbehaviour.contentType.isEmpty())
        object.insert("contentType", QString::fromUtf8(misbehaviour.contentType));
    if (misbehaviour.location)
        object.insert("location", *misbehaviour.location);
    if (misbehaviour.delay.count() > 0)
        object.insert("delayMs", static_cast<qint64>(misbehaviour.delay.count()));
    if (misbehaviour.close)
        object.insert("close", true);
    if (misbehaviour.cutOff)
        object.insert("cutOff", true);
    return control("POST", "/_fake/misbehave", QJsonDocument(object).toJson()).status == 200;
}

bool FakeProviderProcess::setAppcast(const QByteArray &feed)
{
    return control("POST", "/_fake/appcast", feed).status == 200;
}

QUrl FakeProviderProcess::appcastUrl() const
{
    return m_origin.resolved(QUrl("/appcast.xml"));
}

bool FakeProviderProcess::reset()
{
    return control("POST", "/_fake/reset", "{}").status == 200;
}

ProviderAnswer FakeProviderProcess::control(
    const QByteArray &method, const QString &path, const QByteArray &body)
{
    const QList<RawHeader> headers { { "Content-Type", "application/json" } };
    QUrl url = m_origin;
    url.setPath(path);
    ProviderAnswer answer =
        send(method, url, body, method == "POST" ? headers : QList<RawHeader> {});
    if (answer.status != 200)
        qWarning("FakeProviderProcess: %s %s failed (%d): %s", method.constData(), qPrintable(path),
            answer.status, answer.body.constData());
    return answer;
}

ProviderAnswer FakeProviderProcess::send(const QByteArray &method, const QUrl &url,
    const QByteArray &body, const QList<RawHeader> &headers)
{
    if (!m_network) {
        qWarning("FakeProviderProcess: not started");
        return {};
    }
    QNetworkRequest request(url);
    request.setSslConfiguration(m_ssl);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = m_network->sendCustomRequest(request, method, body);
    if (!m_expectedSslErrors.isEmpty())
        reply->ignoreSslErrors(m_expectedSslErrors);

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(requestLimit, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    if (!reply->isFinished()) {
        qWarning("FakeProviderProcess: %s %s had no answer in time", method.constData(),
            qPrintable(url.toString()));
        reply->abort();
    }

    ProviderAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.error = reply->error();
    answer.headers = reply->rawHeaderPairs();
    answer.body = reply->readAll();
    delete reply;
    return answer;
}

} // namespace FWTest
