#include "ScriptCommands.h"

#include "AppId.h"
#include "DebugLog.h"
#include "platform/SecretServiceKeychain.h"

#include <FWKit/Clipboard.h>
#include <FWKit/HTTPClient.h>
#include <FWKit/NetworkTransport.h>
#include <FWKit/Outcomes.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace Ferrowick {

using namespace FWKit;

// The store answers "nothing stored" for every failure; a script has to learn whether the keyring
// was at fault, so the status of the last read is kept.
class ScriptCommands::KeychainReads final : public KeychainServicing
{
public:
    explicit KeychainReads(KeychainServicing &keychain)
        : m_keychain(keychain)
    {
    }

    std::int32_t add(const QVariantMap &attributes) override { return m_keychain.add(attributes); }
    std::pair<std::int32_t, QVariantList> copyMatching(const QVariantMap &query) override
    {
        auto answer = m_keychain.copyMatching(query);
        m_lastStatus = answer.first;
        return answer;
    }
    std::int32_t updateMatching(const QVariantMap &query, const QVariantMap &attributes) override
    {
        return m_keychain.updateMatching(query, attributes);
    }
    std::int32_t deleteMatching(const QVariantMap &query) override
    {
        return m_keychain.deleteMatching(query);
    }

    std::int32_t lastStatus() const { return m_lastStatus; }

private:
    KeychainServicing &m_keychain;
    std::int32_t m_lastStatus = KeychainStatus::success;
};

namespace {

// The link an answer carries: only a notice's non-empty one counts, as in the tray's flows.
template<typename Result>
QString linkOf(const Result &answer)
{
    return answer.isNotice() ? answer.url.value_or(QString()) : QString();
}

QJsonObject item(const QString &input, const QString &key, const QString &value)
{
    return { { u"input"_s, input }, { key, value } };
}

} // namespace

ScriptCommands::ScriptCommands(KeychainServicing &keychain,
    std::shared_ptr<HTTPTransport> transport, ServiceURLs urls, std::chrono::milliseconds timeout,
    Streams streams)
    : m_keychain(std::make_unique<KeychainReads>(keychain))
    , m_store(*m_keychain, appId)
    , m_manager(HTTPClient(std::move(transport), timeout), m_store, std::move(urls))
    , m_streams(streams)
{
}

ScriptCommands::~ScriptCommands() = default;

QCoro::Task<ScriptCommands::Status> ScriptCommands::run(CommandLine::Script script)
{
    m_json = script.json;
    switch (script.command) {
    case ScriptCommand::shrink:
        co_return co_await shrink(script.inputs);
    case ScriptCommand::paste:
        co_return co_await paste(script.inputs.value(0), script.language);
    case ScriptCommand::batches:
        co_return co_await batches();
    case ScriptCommand::languages:
        co_return co_await languages();
    }
    co_return usageError;
}

QCoro::Task<ScriptCommands::Status> ScriptCommands::shrink(QStringList links)
{
    Status status = succeeded;
    QJsonArray results;
    // One at a time: the lines come in the order of the links.
    for (const QString &link : links) {
        QString shortLink;
        QString message = NoticeCopy::invalidURL;
        // Judged as the tray judges the clipboard: a bad link is never sent.
        if (const std::optional<QString> valid = Clipboard::validatedURLString(link)) {
            message = NoticeCopy::apiIssue;
            const auto answer = co_await m_manager.shrink(*valid);
            if (answer)
                shortLink = linkOf(*answer);
        }
        if (shortLink.isEmpty()) {
            results.append(item(link, u"error"_s, message));
            fail(link + u": "_s + message);
            status = itemFailed;
        } else {
            results.append(item(link, u"url"_s, shortLink));
            if (!m_json)
                m_streams.output << shortLink << u'\n' << Qt::flush;
        }
    }
    finish(results);
    co_return status;
}

QCoro::Task<ScriptCommands::Status> ScriptCommands::paste(QString file, QString language)
{
    const QString input = file.isEmpty() ? u"-"_s : file;
    const auto failed = [&](const QString &message) {
        fail((file.isEmpty() ? u"standard input"_s : file) + u": "_s + message);
        finish({ item(input, u"error"_s, message) });
        return itemFailed;
    };
    if (!hasCredentials())
        co_return noCredentials;

    QByteArray bytes;
    if (file.isEmpty()) {
        bytes = m_streams.input.readAll();
    } else {
        QFile source(file);
        if (!source.open(QIODevice::ReadOnly))
            co_return failed(source.errorString());
        bytes = source.readAll();
    }
    const QString text = QString::fromUtf8(bytes);
    if (text.trimmed().isEmpty())
        co_return failed(u"there is nothing to paste"_s);

    if (language.isEmpty()) {
        // What the paste panel starts with.
        const auto offered = co_await m_manager.validPasteLanguages();
        if (!offered || offered->isEmpty())
            co_return failed(NoticeCopy::apiIssue);
        language = offered->first();
    }
    const auto answer = co_await m_manager.paste(text, language);
    if (!answer)
        co_return failed(answer.error().errorDescription());
    const QString url = linkOf(*answer);
    if (url.isEmpty()) {
        // The service's own reason, such as an unknown language.
        const QString reason = answer->result.value_or(QString());
        co_return failed(reason.isEmpty() ? NoticeCopy::apiIssue : reason);
    }
    if (!m_json)
        m_streams.output << url << u'\n';
    finish({ item(input, u"url"_s, url) });
    co_return succeeded;
}

QCoro::Task<ScriptCommands::Status> ScriptCommands::batches()
{
    if (!hasCredentials())
        co_return noCredentials;
    const auto listed = co_await m_manager.batches();
    if (!listed) {
        fail(listed.error().errorDescription());
        co_return itemFailed;
    }
    QJsonArray document;
    for (const Batch &batch : *listed) {
        document.append(batch.toJson());
        if (!m_json)
            m_streams.output << batch.batch << u'\n';
    }
    finish(document);
    co_return succeeded;
}

QCoro::Task<ScriptCommands::Status> ScriptCommands::languages()
{
    const auto offered = co_await m_manager.validPasteLanguages();
    if (!offered) {
        fail(offered.error().errorDescription());
        co_return itemFailed;
    }
    if (!m_json)
        for (const QString &language : *offered)
            m_streams.output << language << u'\n';
    finish(QJsonArray::fromStringList(*offered));
    co_return succeeded;
}

bool ScriptCommands::hasCredentials()
{
    // The password is only read when there is a login, as the tray does.
    if (const std::optional<QString> login = m_store.login(); login && !login->isEmpty()) {
        if (const std::optional<QString> password = m_store.password();
            password && !password->isEmpty())
            return true;
    }
    switch (m_keychain->lastStatus()) {
    case KeychainStatus::success:
    case KeychainStatus::itemNotFound:
        fail(u"No login and password are stored; enter them in Ferrowick's settings "
             "('ferrowick settings')."_s);
        break;
    case SecretServiceKeychain::locked:
        fail(u"The keyring is locked; unlock it, then run the command again."_s);
        break;
    default:
        fail(u"The desktop's keyring (Secret Service) does not answer, so the login and password "
             "cannot be read."_s);
        break;
    }
    return false;
}

void ScriptCommands::fail(const QString &message)
{
    m_streams.errors << u"ferrowick: "_s << message << u'\n' << Qt::flush;
}

void ScriptCommands::finish(const QJsonArray &document)
{
    if (m_json)
        m_streams.output << QString::fromUtf8(
                                QJsonDocument(document).toJson(QJsonDocument::Compact))
                         << u'\n';
    m_streams.output.flush();
}

int ScriptCommands::exec(int &argc, char **argv, const CommandLine::Script &script)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Ferrowick"_s);
    QCoreApplication::setOrganizationName(u"Ferrowick"_s);
    QFile input;
    input.open(stdin, QIODevice::ReadOnly);
    QTextStream output(stdout);
    QTextStream errors(stderr);
    Status status = usageError;
    {
        SecretServiceKeychain keychain;
        ScriptCommands commands(keychain,
            std::make_shared<NetworkTransport>(NetworkTransport::extraAuthoritiesFromEnvironment()),
            ServiceURLs::fromEnvironment(), HTTPClient::timeoutFromEnvironment(),
            { input, output, errors });
        status = QCoro::waitFor(commands.run(script));
    }
    DebugLog::flush();
    return status;
}

} // namespace Ferrowick
