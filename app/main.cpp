// Corvane, the desktop program: start-up and the event loop.

#include "app/Startup.h"
#include "ui/AppFolders.h"
#include "ui/FMain.h"
#include "ui/FSplash.h"
#include "ui/Prompter.h"

int main(int argc, char** argv) {
    PrepareStartup();
    TApplication application(argc, argv);

    // The splash window closes itself at the first tick of its timer that the event loop
    // handles, so it stays until everything below is made.
    auto* splash = new TFormSplash;
    splash->ShowAtOnce();

    TQtPrompter prompter;
    application.SetPrompter(&prompter);
    TProgram program(ApplicationFolder(), prompter, BundledTemplatesFolder());
    program.FormMain->ShowRemembered();
    program.FormMain->ReopenLastProject();
    return application.exec();
}
