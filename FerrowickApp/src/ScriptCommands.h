#pragma once

#include "CommandLine.h"

#include <FWKit/Credentials.h>
#include <FWKit/FWManager.h>
#include <FWKit/HTTPTransport.h>

#include <QCoro/QCoroTask>
#include <QJsonArray>
#include <QTextStream>

#include <chrono>
#include <memory>

class QIODevice;

namespace Ferrowick {

// Runs one command for scripts and terminals: asks the service, prints each result on a line of
// its own (or one JSON document), tells of each failure on the error stream in the notices'
// words, and answers an exit status a script can trust. It neither logs nor touches the clipboard
// or the notices; no secret and no pasted text reaches a stream. Borrows the keychain and the
// streams, which must outlive it.
class ScriptCommands
{
public:
    // The process's exit status.
    enum Status : int {
        succeeded = 0,
        itemFailed = 1, // a link, the file or the service failed; the others went on
        usageError = 2,
        noCredentials = 3, // none stored, or the keyring is locked or missing
    };

    struct Streams
    {
        QIODevice &input; // what paste sends without a file; open for reading
        QTextStream &output;
        QTextStream &errors;
    };

    ScriptCommands(FWKit::KeychainServicing &keychain,
        std::shared_ptr<FWKit::HTTPTransport> transport, FWKit::ServiceURLs urls,
        std::chrono::milliseconds timeout, Streams streams);
    ~ScriptCommands();

    QCoro::Task<Status> run(CommandLine::Script script);

    // The whole process for that command: a Qt core application (never a display), the desktop's
    // keyring, the network, the standard streams.
    static int exec(int &argc, char **argv, const CommandLine::Script &script);

private:
    class KeychainReads;

    QCoro::Task<Status> shrink(QStringList links);
    QCoro::Task<Status> paste(QString file, QString language);
    QCoro::Task<Status> batches();
    QCoro::Task<Status> languages();

    // Whether a login and a password can be read; says why not otherwise.
    bool hasCredentials();
    void fail(const QString &message);
    // One document with --json; the lines were printed as they came otherwise.
    void finish(const QJsonArray &document);

    std::unique_ptr<KeychainReads> m_keychain;
    FWKit::KeychainCredentialStore m_store;
    FWKit::FWManager m_manager;
    Streams m_streams;
    bool m_json = false;
};

} // namespace Ferrowick
