#include "ui/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

QWidget* Owner() {
    return QApplication::activeWindow();
}

const QString Title = QStringLiteral("Corvane");

} // namespace

void TQtPrompter::Information(const QString& text) {
    QMessageBox::information(Owner(), Title, text, QMessageBox::Ok);
}

bool TQtPrompter::Confirm(const QString& text, TConfirmButtons buttons) {
    if (buttons == TConfirmButtons::TrustCancel) {
        QMessageBox box(QMessageBox::Warning, Title, text, QMessageBox::NoButton, Owner());
        QPushButton* trust = box.addButton(QStringLiteral("Trust"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(cancel);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() == trust;
    }
    if (buttons == TConfirmButtons::YesNo)
        return QMessageBox::question(Owner(), Title, text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) == QMessageBox::Yes;
    return QMessageBox::question(Owner(), Title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void TQtPrompter::Error(const QString& text) {
    QMessageBox::critical(Owner(), Title, text, QMessageBox::Ok);
}

QString TQtPrompter::OpenFile(const QString& caption, const QString& folder,
                              const QString& filter) {
    return QFileDialog::getOpenFileName(Owner(), caption, folder, filter);
}

QString TQtPrompter::SaveFile(const QString& caption, const QString& folder,
                              const QString& filter) {
    // No default extension and no question before an existing file is replaced.
    return QFileDialog::getSaveFileName(Owner(), caption, folder, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString TQtPrompter::PickFolder(const QString& caption, const QString& folder) {
    return QFileDialog::getExistingDirectory(Owner(), caption, folder);
}

bool TQtPrompter::PageSetup(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, Owner());
    return dialog.exec() == QDialog::Accepted;
}

bool TQtPrompter::PrintSetup(QPrinter& printer) {
    QPrintDialog dialog(&printer, Owner());
    return dialog.exec() == QDialog::Accepted;
}
