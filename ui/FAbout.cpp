#include "ui/FAbout.h"

#include "ui/Pictures.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ProgramIcon().pixmap(32, 32));
    Image1->setFixedSize(32, 32);
    Label1 = new QLabel(QStringLiteral("Corvane"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont large = Label1->font();
    large.setPixelSize(21);
    large.setBold(true);
    Label1->setFont(large);
    Label2 = new QLabel(QStringLiteral("Version: " CORVANE_VERSION), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QString::fromUtf8(LegalNotice1), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = new QLabel(QString::fromUtf8(LegalNotice2), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    ButtonClose = new QPushButton(QStringLiteral("Close"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));

    auto* grid = new QGridLayout;
    grid->addWidget(Image1, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(Label1, 0, 1);
    grid->addWidget(Label2, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(16);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(12);
    layout->addWidget(Label3);
    layout->addWidget(Label4);
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Close is the cancel button: it and Esc close the box with Cancel.
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormAbout::Execute() {
    exec();
    return false;
}

void TFormAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ButtonClose->setFocus();
}
