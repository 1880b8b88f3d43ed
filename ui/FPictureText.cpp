#include "ui/FPictureText.h"

#include "ui/Mnemonics.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFormPictureText::TFormPictureText(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormPictureText"));
    setWindowTitle(QStringLiteral("Picture"));
    setModal(true);
    auto* label = new QLabel(QStringLiteral("Text for those who cannot see it:"), this);
    EditText = new QLineEdit(text, this);
    EditText->setObjectName(QStringLiteral("EditText"));
    EditText->setMinimumWidth(280);
    EditText->setMaxLength(256);
    label->setBuddy(EditText);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(EditText, 1, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    AssignMnemonics(this);
    EditText->setFocus();
}

QString TFormPictureText::Text() const {
    return EditText->text();
}
