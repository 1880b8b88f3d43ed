#include "ui/ErrorReport.h"

#include "ui/Prompter.h"

#include <QString>

#include <exception>

bool ReportErrors(IPrompter& prompter, const std::function<void()>& command) {
    QString message;
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QStringLiteral("An unknown error occurred.");
    }
    // Shown outside the handler: the box runs an event loop of its own.
    prompter.Error(message);
    return false;
}
