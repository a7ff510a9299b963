#pragma once

#include "AppId.h"
#include "CommandLine.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

namespace Ferrowick {

using namespace Qt::StringLiterals;

// One Ferrowick per session: the first start owns the bus name app.ferrowick.Ferrowick; a later
// start asks it to open its settings window, or to run the command it was given, and leaves, so
// two processes never fight over the shortcuts. Only an owner that answers makes a start a second
// one: a bus that refuses the name (a sandbox, a strict policy) or an owner that does not answer
// leaves the process running without the guard.
class SingleInstance : public QObject, protected QDBusContext
{
    Q_OBJECT
    // moc needs the literal: the interface is named after the application (AppId.h).
    Q_CLASSINFO("D-Bus Interface", "app.ferrowick.Ferrowick")

public:
    enum class Claim {
        // This process owns the name and answers later starts.
        first,
        // Another process owns it and has been asked to open its settings or run the command.
        secondStart,
        // Another process owns it and did not take the command (logged and told on stderr).
        refused,
        // No session bus, a refused name or a silent owner (logged): the process runs without
        // the guard.
        unguarded,
    };

    static inline const QString busName = appId;
    static inline const QString objectPath = u"/app/ferrowick/Ferrowick"_s;

    explicit SingleInstance(
        QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // With a trigger, a later start hands it, and the desktop's activation token, to the owner.
    Claim claim(std::optional<Trigger> trigger = std::nullopt, const QString &activationToken = {});
    // Whether another process owns the name, without claiming it.
    bool isOwned() const;

public slots:
    // Called over the bus by a later start.
    Q_SCRIPTABLE void OpenSettings();
    // A command trigger ("shrink-clipboard"…) and the activation token of the start that sent it.
    Q_SCRIPTABLE void RunCommand(const QString &command, const QString &activationToken);

signals:
    void settingsRequested();
    void triggered(Ferrowick::Trigger trigger, const QString &activationToken);

private:
    QDBusConnection m_bus;
};

} // namespace Ferrowick
