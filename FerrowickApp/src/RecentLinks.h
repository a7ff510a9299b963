#pragma once

#include <FWKit/AppModel.h>

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace Ferrowick {

// One row of the Recent list: only what its label needs, so the file never holds a long link's
// path and query or a paste beyond its first words.
struct RecentLink
{
    using Kind = FWKit::MadeLink::Kind;

    Kind kind = Kind::shrink;
    // What choosing the row copies.
    QString link;
    // The long link's host, or the paste's first words.
    QString subject;
    // The paste's language; empty for a short link.
    QString language;
    QDateTime made;

    bool operator==(const RecentLink &) const = default;
};

// The last links Ferrowick made, newest first, kept in a private file in the state folder
// (recent.json). Main thread only. Changes are written shortly after they happen and at
// destruction, so a burst of shrinks costs one write.
class RecentLinks : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype capacity = 10;

    // Reads the folder's file. A damaged one is set aside and the list starts empty.
    explicit RecentLinks(QString folder, QObject *parent = nullptr);
    ~RecentLinks() override;

    const QList<RecentLink> &links() const { return m_links; }
    QString filePath() const;

    // Puts the link first; the same link made before moves up instead of showing twice.
    void add(const RecentLink &link);
    void clear();

    // What a made link leaves in the list.
    static RecentLink entry(const FWKit::MadeLink &made, const QDateTime &when);
    // The row's text: "example.com — 14:32", "Python: def main(): … — 14:35"; the date too when
    // the link was not made on now's day.
    static QString label(const RecentLink &link, const QDateTime &now);

signals:
    void changed();

private:
    void load();
    void changeTo(QList<RecentLink> links);
    void save();

    QString m_folder;
    QList<RecentLink> m_links;
    QTimer m_saveTimer;
};

} // namespace Ferrowick
