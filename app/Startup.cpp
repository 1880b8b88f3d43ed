#include "app/Startup.h"

#include "ui/AppFolders.h"
#include "ui/ColorPicker.h"
#include "ui/ErrorReport.h"
#include "ui/FAbout.h"
#include "ui/FBuild.h"
#include "ui/FColor.h"
#include "ui/FColumn.h"
#include "ui/FFont.h"
#include "ui/FFoot.h"
#include "ui/FFrame.h"
#include "ui/FHotspot.h"
#include "ui/FLanguage.h"
#include "ui/FMain.h"
#include "ui/FMenu.h"
#include "ui/FNew.h"
#include "ui/FOpen.h"
#include "ui/FOptions.h"
#include "ui/FPage.h"
#include "ui/FPublish.h"
#include "ui/FRestore.h"
#include "ui/FSize.h"
#include "ui/FTopic.h"
#include "ui/FWelcome.h"
#include "ui/Mnemonics.h"
#include "ui/Pictures.h"
#include "ui/Prompter.h"

#include <exception>
#include <unistd.h>

TProgram::TProgram(const std::string& applicationFolder, IPrompter& prompter,
                   const std::string& bundledTemplatesFolder)
    : Workspace(applicationFolder, bundledTemplatesFolder) {
    FormMain = std::make_unique<TFormMain>(Workspace, prompter, Dialogs);
    TFormMain* owner = FormMain.get();

    // The dialogs, once each, in this order. The dialogs of the Page and Style menus, the
    // column, page and publish dialogs take their places here, between Open and Build.
    FormNew = new TFormNew(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::New, [this] { return FormNew->Execute(); });
    FormOpen = new TFormOpen(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Open, [this] { return FormOpen->Execute(); });
    FormFrame = new TFormFrame(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Frame, [this] { return FormFrame->Execute(); });
    FormSize = new TFormSize(Workspace, owner);
    Dialogs.Register(TDialogKind::Size, [this] { return FormSize->Execute(); });
    ColorPicker = std::make_unique<TQtColorPicker>();
    FormColor = new TFormColor(Workspace, *ColorPicker, owner);
    Dialogs.Register(TDialogKind::Color, [this] { return FormColor->Execute(); });
    FormFont = new TFormFont(Workspace, owner);
    Dialogs.Register(TDialogKind::Font, [this] { return FormFont->Execute(); });
    FormLanguage = new TFormLanguage(Workspace, owner);
    Dialogs.Register(TDialogKind::Language, [this] { return FormLanguage->Execute(); });
    FormOptions = new TFormOptions(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Options, [this] { return FormOptions->Execute(); });
    FormWelcome = new TFormWelcome(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::WelcomeBar, [this] { return FormWelcome->Execute(); });
    FormTopic = new TFormTopic(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Topic, [this] { return FormTopic->Execute(); });
    FormMenu = new TFormMenu(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Menu, [this] { return FormMenu->Execute(); });
    FormHotspot = new TFormHotspot(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Hotspot, [this] { return FormHotspot->Execute(); });
    FormFoot = new TFormFoot(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Foot, [this] { return FormFoot->Execute(); });
    FormColumn = new TFormColumn(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Column, [this] { return FormColumn->Execute(); });
    FormPage = new TFormPage(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Page, [this] { return FormPage->Execute(); });
    FormPublish = new TFormPublish(Workspace, prompter, owner);
    Dialogs.Register(TDialogKind::Publish, [this] { return FormPublish->Execute(); });
    FormBuild = new TFormBuild(Workspace, owner);
    Dialogs.Register(TDialogKind::Build, [this] { return FormBuild->Execute(); });
    FormAbout = new TFormAbout(owner);
    Dialogs.Register(TDialogKind::About, [this] { return FormAbout->Execute(); });
    FormMain->FormRestore = new TFormRestore(owner);

    // Alt and a letter reach every field and button of every dialog.
    for (QDialog* dialog : owner->findChildren<QDialog*>())
        AssignMnemonics(dialog);
}

TProgram::~TProgram() = default;

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Corvane"));
    setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    // The desktop entry that the windows belong to, for the desktop's task bar and dock.
    setDesktopFileName(QStringLiteral(CORVANE_APP_ID));
    setWindowIcon(ProgramIcon());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    std::exception_ptr error;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        error = std::current_exception();
    }
    if (!FPrompter)
        std::rethrow_exception(error);
    ReportErrors(*FPrompter, [&error] { std::rethrow_exception(error); });
    return false;
}

void PrepareStartup() {
    PrepareWebEngineEnvironment(::geteuid() == 0);
    // Qt WebEngine shares its OpenGL contexts with the windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
