#pragma once

#include "ui/RecentProjects.h"

#include <QScrollArea>

class QCheckBox;
class QLabel;
class QToolButton;
class TWorkspace;

// What the preview pane shows while no project is open: the projects opened last (name,
// folder, last change and a picture of the homepage), a new project, blank or from each
// template with its picture, Open a project, the user manual, and whether the last project
// reopens on start. Made of the program's own controls, so that Tab reaches each entry and
// Enter or a click opens it; nothing of it is written to disk.
class TStartPage : public QScrollArea {
    Q_OBJECT

  public:
    explicit TStartPage(TWorkspace& workspace, QWidget* parent = nullptr);

    // Reads the recent projects and the templates again and rebuilds the page.
    void Refresh();
    // Puts the keyboard focus on the first entry: the last project, else New blank project.
    void FocusFirst();

    TRecentProjects Recent;
    // The entries as they are now, in the order Tab reaches them.
    QList<QToolButton*> RecentEntries;
    QToolButton* ButtonNewProject = nullptr;
    QList<QToolButton*> TemplateEntries;
    QToolButton* ButtonOpenProject = nullptr;
    QToolButton* ButtonUserManual = nullptr;
    QCheckBox* CheckBoxReopenLast = nullptr;
    QLabel* LabelNoRecent = nullptr;

    // The picture of a template: a picture file beside it of its name and ".png", else a
    // sketch of a page in the template's colours, else the placeholder.
    static QPixmap TemplatePicture(const std::string& templateFile);
    // A neutral picture for a project without a picture of its own.
    static QPixmap Placeholder();

  signals:
    void OpenRecent(const QString& folder);
    // A new project, from the template file given, or blank when it is empty.
    void NewProject(const QString& templateFile);
    void OpenProject();
    void UserManual();

  private:
    TWorkspace& Workspace;
};
