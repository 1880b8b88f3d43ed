#include "ui/FBuild.h"

#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "ui/CentreOnScreen.h"
#include "ui/Workspace.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cstdint>

TFormBuild::TFormBuild(TWorkspace& workspace, QWidget* parent)
    : QDialog(parent), Workspace(workspace) {
    setObjectName(QStringLiteral("FormBuild"));
    setWindowTitle(QStringLiteral("Build"));
    setModal(true);

    QFont bold = font();
    bold.setBold(true);
    EditPath = new QLineEdit(this);
    EditPath->setObjectName(QStringLiteral("EditPath"));
    EditPath->setReadOnly(true);
    EditPath->setFrame(false);
    EditPath->setFont(bold);
    EditPath->setStyleSheet(QStringLiteral("background: transparent"));
    auto label = [this, &bold](const char* name) {
        auto* result = new QLabel(this);
        result->setObjectName(QString::fromLatin1(name));
        result->setFont(bold);
        return result;
    };
    LabelHome = label("LabelHome");
    LabelCount = label("LabelCount");
    LabelSize = label("LabelSize");
    LabelCopyFailures = new QLabel(this);
    LabelCopyFailures->setObjectName(QStringLiteral("LabelCopyFailures"));
    LabelCopyFailures->setWordWrap(true);
    LabelCopyFailures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LabelCopyFailures->setVisible(false);
    ButtonClose = new QPushButton(QStringLiteral("Close"), this);
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    ButtonClose->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("HTML Path:"), EditPath);
    form->addRow(QStringLiteral("Homepage:"), LabelHome);
    form->addRow(QStringLiteral("File Count:"), LabelCount);
    form->addRow(QStringLiteral("Total Size:"), LabelSize);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(LabelCopyFailures);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(354, 176);

    // Close is the default and the cancel button (Esc closes the dialog too).
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormBuild::Execute() {
    exec();
    return false;
}

void TFormBuild::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(*this);
    FormShow();
}

void TFormBuild::FormShow() {
    if (!Workspace.IsOpen())
        return;
    const TDProject& project = *Workspace.Project;
    const std::string html = project.HTMLPath();
    std::int64_t count = 0, total = 0;
    // The plain files directly in the HTML folder; sub-folders and hidden files do not count.
    for (const TFileEntry& entry : ListFolder(html)) {
        if (!entry.IsRegular || entry.Name[0] == '.')
            continue;
        ++count;
        total += entry.Size;
    }
    EditPath->setText(QString::fromStdString(html));
    EditPath->setCursorPosition(0);
    LabelHome->setText(QString::fromStdString(project.FRAME.HOMEPAGE + ".htm"));
    LabelCount->setText(QString::fromStdString(FormatThousands(count) + " Files"));
    LabelSize->setText(QString::fromStdString(FormatThousands(total) + " Byte"));
    const std::string failures = CopyFailureText(Workspace.LastBuild);
    LabelCopyFailures->setText(QString::fromStdString(failures));
    LabelCopyFailures->setVisible(!failures.empty());
    // The dialog keeps its size, and grows only to show the failures whole.
    if (failures.empty())
        setFixedSize(354, 176);
    else
        setFixedSize(QSize(354, 176).expandedTo(sizeHint()));
    ButtonClose->setFocus();
}
