#include "ui/RecentProjects.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QSaveFile>
#include <QSettings>

#include <algorithm>

namespace {

const QString RecentKey = QStringLiteral("StartPage/Recent");
const QString ReopenKey = QStringLiteral("StartPage/ReopenLast");
// A thumbnail file larger than this is no picture of ours: it is not read.
constexpr qint64 LargestThumbnail = 4 * 1024 * 1024;

QSettings Settings() {
    return QSettings(QStringLiteral("Corvane"), QStringLiteral("Corvane"));
}

QString CacheFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/corvane/thumbnails");
}

// The newest time the project's documents were written.
QDateTime LastChangeOf(const QString& folder) {
    QDateTime newest;
    const QFileInfoList documents =
        QDir(folder).entryInfoList({QStringLiteral("Default.Pro"), QStringLiteral("*.Clm")},
                                   QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& document : documents)
        if (!newest.isValid() || document.lastModified() > newest)
            newest = document.lastModified();
    return newest;
}

} // namespace

QStringList TRecentProjects::Folders() const {
    QStringList folders;
    for (const QString& folder : Settings().value(RecentKey).toStringList())
        if (!folder.isEmpty() && !folders.contains(folder) && folders.size() < Capacity)
            folders << folder;
    return folders;
}

QList<TRecentProjects::TEntry> TRecentProjects::Entries() const {
    QList<TEntry> entries;
    for (const QString& folder : Folders()) {
        TEntry entry;
        entry.Folder = folder;
        entry.Name = QFileInfo(folder).fileName();
        entry.Exists = QFileInfo(folder).isDir();
        if (entry.Exists)
            entry.LastChange = LastChangeOf(folder);
        entries << entry;
    }
    return entries;
}

void TRecentProjects::Add(const QString& folder) {
    QStringList folders = Folders();
    folders.removeAll(folder);
    folders.prepend(folder);
    while (folders.size() > Capacity)
        folders.removeLast();
    Settings().setValue(RecentKey, folders);
}

void TRecentProjects::Remove(const QString& folder) {
    QStringList folders = Folders();
    folders.removeAll(folder);
    Settings().setValue(RecentKey, folders);
    // Its picture goes too; a link in its place is removed, never what it points at.
    QFile::remove(ThumbnailFile(folder));
}

bool TRecentProjects::ReopenLast() const {
    return Settings().value(ReopenKey, false).toBool();
}

void TRecentProjects::SetReopenLast(bool on) {
    Settings().setValue(ReopenKey, on);
}

QString TRecentProjects::ThumbnailFile(const QString& folder) {
    const QByteArray digest =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex();
    return CacheFolder() + QStringLiteral("/") + QString::fromLatin1(digest.left(32)) +
           QStringLiteral(".png");
}

QPixmap TRecentProjects::Thumbnail(const QString& folder) {
    const QString file = ThumbnailFile(folder);
    // Only an ordinary file of a sensible size is read: a FIFO would never end.
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > LargestThumbnail)
        return {};
    QImageReader reader(file, "png");
    const QImage picture = reader.read();
    if (picture.isNull())
        return {};
    return QPixmap::fromImage(picture.scaled(ThumbnailWidth, ThumbnailHeight, Qt::KeepAspectRatio,
                                             Qt::SmoothTransformation));
}

void TRecentProjects::KeepThumbnail(const QString& folder, const QPixmap& page) {
    if (page.isNull() || page.width() < 2 || page.height() < 2)
        return;
    // The top of the page, in the thumbnail's proportions.
    const int height = std::min(page.height(), page.width() * ThumbnailHeight / ThumbnailWidth);
    const QImage top =
        page.copy(0, 0, page.width(), height)
            .toImage()
            .scaled(ThumbnailWidth, ThumbnailHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!QDir().mkpath(CacheFolder()))
        return;
    QSaveFile file(ThumbnailFile(folder));
    if (file.open(QIODevice::WriteOnly) && top.save(&file, "PNG"))
        file.commit();
}
