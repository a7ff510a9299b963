#include "E2E.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>

using namespace E2E;

namespace {

QDBusMessage callSecrets(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.secrets"_s,
        u"/org/freedesktop/secrets"_s, u"org.freedesktop.Secret.Service"_s, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 10'000);
}

// Locks the default collection as a screen locker would. Unlocking it again needs the user at a
// prompt, which the harness has none of.
bool lockKeyring()
{
    const QList<QDBusObjectPath> collections { QDBusObjectPath(
        u"/org/freedesktop/secrets/aliases/default"_s) };
    return callSecrets(u"Lock"_s, { QVariant::fromValue(collections) }).type() ==
        QDBusMessage::ReplyMessage;
}

// How many of this program's items the keyring holds unlocked and locked; a locked item can still
// be found, not read.
std::optional<std::pair<qsizetype, qsizetype>> storedItems()
{
    using Attributes = QMap<QString, QString>; // a{ss}
    qDBusRegisterMetaType<Attributes>();
    const Attributes attributes { { u"service"_s, serviceID } };
    const QDBusMessage reply = callSecrets(u"SearchItems"_s, { QVariant::fromValue(attributes) });
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return std::nullopt;
    return std::pair { qdbus_cast<QList<QDBusObjectPath>>(reply.arguments()[0]).size(),
        qdbus_cast<QList<QDBusObjectPath>>(reply.arguments()[1]).size() };
}

} // namespace

// Credentials stored, then the keyring locked before the start: nothing reads as stored, the
// program never waits for an unlock prompt, a save says it failed, and the items stay.
class KeyringLockedTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's keyring or display");
        if (qEnvironmentVariable("FERROWICK_KEYRING") != u"gnome-keyring"_s)
            QSKIP("needs the harness's keyring, which it locks");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
        QVERIFY(resetDesktop());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
        QVERIFY(lockKeyring());
        QCOMPARE(storedItems(), std::pair(qsizetype(0), qsizetype(2)));
    }

    void lockedKeyringReadsAsEmptyAndRefusesSaves()
    {
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(
            messagesStartingWith(u"launch: "_s), QStringList { u"launch: hasCredentials=false"_s });
        QVERIFY2(saveIsRefused(m_x, u"other"_s, u"password"_s), logDump());
        // The failed save replaced nothing: both items are there, still locked.
        QCOMPARE(storedItems(), std::pair(qsizetype(0), qsizetype(2)));

        ClipboardOwner owner;
        QVERIFY2(shrinks(m_provider, owner), logDump());
        QVERIFY(app.stop());
        QCOMPARE(storedItems(), std::pair(qsizetype(0), qsizetype(2)));
    }

private:
    FWTest::FakeProviderProcess m_provider;
    XClient m_x;
};

QTEST_GUILESS_MAIN(KeyringLockedTest)
#include "KeyringLockedTest.moc"
