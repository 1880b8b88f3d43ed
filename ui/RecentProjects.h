#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QPixmap;

// The projects opened last, newest first, as the start page lists them, with the choice to
// reopen the last one on start; both kept in the program's settings. Each project may have a
// small picture of its homepage in the cache folder ($XDG_CACHE_HOME/corvane/thumbnails,
// else ~/.cache/corvane/thumbnails), made when the project closes.
class TRecentProjects {
  public:
    // How many projects the list keeps.
    static constexpr int Capacity = 8;

    // One entry of the list as the start page shows it.
    struct TEntry {
        QString Folder;
        // The folder's own name: the name the project was given.
        QString Name;
        // False when the folder is no longer there.
        bool Exists = false;
        // When the project document or a column document was last written; invalid when
        // the folder is missing or holds neither.
        QDateTime LastChange;
    };

    QStringList Folders() const;
    QList<TEntry> Entries() const;
    // Puts folder first, taking it out of where it was; the oldest goes beyond Capacity.
    void Add(const QString& folder);
    // Takes folder off the list and deletes the picture of its homepage.
    void Remove(const QString& folder);

    bool ReopenLast() const;
    void SetReopenLast(bool on);

    // The picture of a project's homepage: its file, and the picture itself when that file
    // is an ordinary file that holds one (a null pixmap otherwise).
    static QString ThumbnailFile(const QString& folder);
    static QPixmap Thumbnail(const QString& folder);
    // Keeps the top of a grabbed homepage, scaled down, as the project's picture. A null
    // picture, or one that cannot be written, leaves the one there was.
    static void KeepThumbnail(const QString& folder, const QPixmap& page);

    // The size of the pictures the start page shows.
    static constexpr int ThumbnailWidth = 160;
    static constexpr int ThumbnailHeight = 100;
};
