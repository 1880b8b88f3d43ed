#pragma once

#include <QString>

class QPrinter;

// The buttons of a confirmation. TrustCancel: "Trust" and "Cancel", Cancel the default (the
// question whether to trust a server's certificate or host key).
enum class TConfirmButtons { OKCancel, YesNo, TrustCancel };

// Every message box and file or print dialog of the program goes through one of these, so
// that the windows can be driven without a person (the tests answer them from a script).
class IPrompter {
  public:
    virtual ~IPrompter() = default;

    // An information message with the single button OK.
    virtual void Information(const QString& text) = 0;
    // A question; true when the answer is OK, Yes or Trust.
    virtual bool Confirm(const QString& text, TConfirmButtons buttons) = 0;
    // The application's error report: the error's own message.
    virtual void Error(const QString& text) = 0;

    // File dialogs: the chosen path, or the empty text when the user cancels. filter is in
    // Qt's form ("Template File (*.tmp)").
    virtual QString OpenFile(const QString& caption, const QString& folder,
                             const QString& filter) = 0;
    virtual QString SaveFile(const QString& caption, const QString& folder,
                             const QString& filter) = 0;
    virtual QString PickFolder(const QString& caption, const QString& folder) = 0;

    // The platform's page setup and print dialogs on printer; true when confirmed.
    virtual bool PageSetup(QPrinter& printer) = 0;
    virtual bool PrintSetup(QPrinter& printer) = 0;
};

// The prompter of the running program: Qt's message boxes and dialogs, titled "Corvane",
// in front of the window that is active.
class TQtPrompter : public IPrompter {
  public:
    void Information(const QString& text) override;
    bool Confirm(const QString& text, TConfirmButtons buttons) override;
    void Error(const QString& text) override;
    QString OpenFile(const QString& caption, const QString& folder, const QString& filter) override;
    QString SaveFile(const QString& caption, const QString& folder, const QString& filter) override;
    QString PickFolder(const QString& caption, const QString& folder) override;
    bool PageSetup(QPrinter& printer) override;
    bool PrintSetup(QPrinter& printer) override;
};
