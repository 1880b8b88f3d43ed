#include "ui/FileFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString& LastFolder(TFileKind kind) {
    static QString picture;
    static QString download;
    return kind == TFileKind::Picture ? picture : download;
}

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

QString FileDialogFolder(TFileKind kind) {
    if (const QString& last = LastFolder(kind); IsFolder(last))
        return last;
    if (kind == TFileKind::Picture) {
        QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (IsFolder(pictures))
            return pictures;
    }
    return QDir::homePath();
}

void RememberPickedFile(TFileKind kind, const QString& file) {
    if (!file.isEmpty())
        LastFolder(kind) = QFileInfo(file).absolutePath();
}

void ForgetPickedFolders() {
    LastFolder(TFileKind::Picture).clear();
    LastFolder(TFileKind::Download).clear();
}
