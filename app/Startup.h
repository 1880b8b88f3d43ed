#pragma once

#include "ui/Dialogs.h"
#include "ui/Workspace.h"

#include <QApplication>

#include <memory>
#include <string>

class IPrompter;
class TFormMain;
class TFormNew;
class TFormOpen;
class TFormBuild;
class TFormAbout;
class TColorPicker;
class TFormColor;
class TFormFrame;
class TFormSize;
class TFormFont;
class TFormLanguage;
class TFormOptions;
class TFormPublish;
class TFormWelcome;
class TFormTopic;
class TFormMenu;
class TFormHotspot;
class TFormFoot;
class TFormColumn;
class TFormPage;

// The program's windows: the main window, then every dialog once, in their fixed order,
// each registered with the main window. They live until the program ends.
class TProgram {
  public:
    // bundledTemplatesFolder: the templates that come with the program, none when empty.
    TProgram(const std::string& applicationFolder, IPrompter& prompter,
             const std::string& bundledTemplatesFolder = {});
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    TWorkspace Workspace;
    TDialogs Dialogs;
    // The platform's colour picker, shared by the colour dialog's two buttons.
    std::unique_ptr<TColorPicker> ColorPicker;
    std::unique_ptr<TFormMain> FormMain;
    // Owned by the main window.
    TFormNew* FormNew = nullptr;
    TFormOpen* FormOpen = nullptr;
    TFormFrame* FormFrame = nullptr;
    TFormSize* FormSize = nullptr;
    TFormColor* FormColor = nullptr;
    TFormFont* FormFont = nullptr;
    TFormLanguage* FormLanguage = nullptr;
    TFormOptions* FormOptions = nullptr;
    TFormWelcome* FormWelcome = nullptr;
    TFormTopic* FormTopic = nullptr;
    TFormMenu* FormMenu = nullptr;
    TFormHotspot* FormHotspot = nullptr;
    TFormFoot* FormFoot = nullptr;
    TFormColumn* FormColumn = nullptr;
    TFormPage* FormPage = nullptr;
    TFormPublish* FormPublish = nullptr;
    TFormBuild* FormBuild = nullptr;
    TFormAbout* FormAbout = nullptr;
};

// The application object: its title is "Corvane", and an error that escapes an event
// handler is shown by the top-level error report instead of ending the program.
class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    void SetPrompter(IPrompter* prompter) { FPrompter = prompter; }
    bool notify(QObject* receiver, QEvent* event) override;

  private:
    IPrompter* FPrompter = nullptr;
};

// Everything that must happen before the application object exists.
void PrepareStartup();
