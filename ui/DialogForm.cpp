#include "ui/DialogForm.h"

#include "platform/Error.h"
#include "ui/DialogControls.h"
#include "ui/ErrorReport.h"
#include "ui/Workspace.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TDProject& OpenProjectOf(const TWorkspace& workspace) {
    if (!workspace.Project)
        throw TError("No project is open.");
    return *workspace.Project;
}

TDialogForm::TDialogForm(const char* name, const char* caption, IPrompter& prompter,
                         QWidget* parent)
    : QDialog(parent), Prompter(prompter) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(QString::fromLatin1(caption));
    setModal(true);
}

bool TDialogForm::Execute() {
    CheckRecord();
    return exec() == QDialog::Accepted;
}

void TDialogForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TDialogForm::Finish(QGridLayout* grid) {
    // Made last, so that Tab reaches the buttons after every other control.
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);
    connect(ButtonOK, &QPushButton::clicked, this,
            [this] { ReportErrors(Prompter, [this] { ButtonOKClick(); }); });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* TDialogForm::MakeEdit(const char* name, int limit) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    LimitTyping(edit, limit);
    edit->setMinimumWidth(280);
    return edit;
}

QLabel* TDialogForm::AddRow(QGridLayout* grid, int row, const char* label, QWidget* control) {
    auto* caption = new QLabel(QString::fromLatin1(label), this);
    caption->setBuddy(control);
    grid->addWidget(caption, row, 0);
    if (qobject_cast<QComboBox*>(control) || qobject_cast<QAbstractSpinBox*>(control))
        grid->addWidget(control, row, 1, Qt::AlignLeft);
    else
        grid->addWidget(control, row, 1);
    return caption;
}
