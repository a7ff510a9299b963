#include "DesktopSession.h"

#include "CommandLine.h"

#include <QTest>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

class DesktopSessionTest : public QObject
{
    Q_OBJECT

private slots:
    void backEnds_data()
    {
        QTest::addColumn<SessionFacts>("facts");
        QTest::addColumn<QString>("line");
        const auto wayland = [](const QString &platform, int portal, bool dataControl) {
            return SessionFacts { u"wayland"_s, true, true, platform, portal,
                dataControl ? std::optional(u"ext-data-control-v1"_s) : std::nullopt };
        };
        QTest::newRow("X11") << SessionFacts { u"x11"_s, false, true, u"xcb"_s, 1, {} }
                             << u"session: x11, shortcuts: x11, clipboard: x11"_s;
        QTest::newRow("no session type, X display only") << SessionFacts { {}, false, true,
            u"xcb"_s, 0, {} } << u"session: x11, shortcuts: x11, clipboard: x11"_s;
        QTest::newRow("Plasma")
            << wayland(u"wayland"_s, 1, true)
            << u"session: wayland, shortcuts: portal, clipboard: data-control"_s;
        // GNOME 48: the portal binds, the X11 selection reads through XWayland.
        QTest::newRow("GNOME on XWayland")
            << wayland(u"xcb"_s, 1, false)
            << u"session: wayland, shortcuts: portal, clipboard: x11"_s;
        QTest::newRow("GNOME before 48")
            << wayland(u"xcb"_s, 0, false)
            << u"session: wayland, shortcuts: commands, clipboard: x11"_s;
        QTest::newRow("sway without portal")
            << wayland(u"wayland"_s, 0, true)
            << u"session: wayland, shortcuts: commands, clipboard: data-control"_s;
        QTest::newRow("bare compositor") << SessionFacts { {}, true, false, u"wayland"_s, 0,
            {} } << u"session: wayland, shortcuts: commands, clipboard: none"_s;
    }
    void backEnds()
    {
        QFETCH(SessionFacts, facts);
        QFETCH(QString, line);
        QCOMPARE(DesktopSession::describe(DesktopSession::choose(facts), facts), line);
    }

    // XWayland only stands in for the clipboard where the compositor has none and the user chose
    // no platform.
    void qtPlatform()
    {
        QProcessEnvironment gnome;
        gnome.insert(u"XDG_SESSION_TYPE"_s, u"wayland"_s);
        gnome.insert(u"DISPLAY"_s, u":0"_s);
        QCOMPARE(DesktopSession::preferredQtPlatform(gnome, false).value_or(""), QByteArray("xcb"));
        QVERIFY(!DesktopSession::preferredQtPlatform(gnome, true));
        QProcessEnvironment chosen = gnome;
        chosen.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
        QVERIFY(!DesktopSession::preferredQtPlatform(chosen, false));
        gnome.insert(u"XDG_SESSION_TYPE"_s, u"x11"_s);
        QVERIFY(!DesktopSession::preferredQtPlatform(gnome, false));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Request>("request");
        QTest::newRow("none") << QStringList {} << CommandLine::Request { CommandLine::Run {} };
        QTest::newRow("help") << QStringList { u"--help"_s }
                              << CommandLine::Request { CommandLine::Help {} };
        QTest::newRow("trigger") << QStringList {
            u"shrink-clipboard"_s
        } << CommandLine::Request { CommandLine::Act { Trigger::shrinkClipboard } };
        QTest::newRow("unknown") << QStringList {
            u"shorten"_s
        } << CommandLine::Request { CommandLine::Invalid { u"unknown command 'shorten'"_s } };
        QTest::newRow("extra words")
            << QStringList { u"quit"_s, u"now"_s }
            << CommandLine::Request { CommandLine::Invalid { u"'quit' takes no arguments"_s } };

        const auto script = [](ScriptCommand command, const QStringList &inputs,
                                const QString &language, bool json) {
            return CommandLine::Request { CommandLine::Script { command, inputs, language, json } };
        };
        const auto invalid = [](const QString &message) {
            return CommandLine::Request { CommandLine::Invalid { message } };
        };
        QTest::newRow("shrink, options anywhere") << QStringList { u"shrink"_s, u"a"_s, u"--json"_s,
            u"b"_s } << script(ScriptCommand::shrink, { u"a"_s, u"b"_s }, {}, true);
        QTest::newRow("paste '-' is standard input") << QStringList { u"paste"_s, u"-"_s,
            u"--language"_s, u"C"_s } << script(ScriptCommand::paste, {}, u"C"_s, false);
        QTest::newRow("paste after --")
            << QStringList { u"paste"_s, u"--language=Plain Text"_s, u"--"_s, u"--json"_s }
            << script(ScriptCommand::paste, { u"--json"_s }, u"Plain Text"_s, false);
        QTest::newRow("batches") << QStringList { u"batches"_s, u"--json"_s }
                                 << script(ScriptCommand::batches, {}, {}, true);
        QTest::newRow("help after a command") << QStringList { u"languages"_s, u"--help"_s }
                                              << CommandLine::Request { CommandLine::Help {} };
        QTest::newRow("shrink without links") << QStringList { u"shrink"_s, u"--json"_s }
                                              << invalid(u"'shrink' needs at least one link"_s);
        QTest::newRow("paste of two files") << QStringList { u"paste"_s, u"a"_s, u"b"_s }
                                            << invalid(u"'paste' takes one file at most"_s);
        QTest::newRow("language without value") << QStringList { u"paste"_s, u"--language"_s }
                                                << invalid(u"'--language' needs a language"_s);
        QTest::newRow("language of another command") << QStringList { u"languages"_s,
            u"--language=C"_s } << invalid(u"'languages' has no option '--language=C'"_s);
        QTest::newRow("batches with words") << QStringList { u"batches"_s, u"alice"_s }
                                            << invalid(u"'batches' takes no arguments"_s);
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Request, request);
        QVERIFY(CommandLine::parse(arguments) == request);
    }
};

QTEST_GUILESS_MAIN(DesktopSessionTest)
#include "DesktopSessionTest.moc"
