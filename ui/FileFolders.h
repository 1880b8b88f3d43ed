#pragma once

// Where the file dialogs of the picture and link fields open: in the folder that the last file
// of the same kind was picked from in this session, so that a second picture comes from
// beside the first; the first time in the user's Pictures folder (pictures) or home folder.
// The folder is always one that exists, so the dialog's name field starts empty.

#include <QString>

enum class TFileKind { Picture, Download };

// The folder a file dialog for kind opens in.
QString FileDialogFolder(TFileKind kind);
// Notes the folder of a file the user picked for kind.
void RememberPickedFile(TFileKind kind, const QString& file);
// Forgets the folders picked from (a new session; the tests).
void ForgetPickedFolders();
