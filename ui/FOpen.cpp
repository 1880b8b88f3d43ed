#include "ui/FOpen.h"

#include "platform/FileSystem.h"
#include "ui/CentreOnScreen.h"
#include "ui/ErrorReport.h"
#include "ui/Pictures.h"
#include "ui/Workspace.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TFormOpen::TFormOpen(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), Workspace(workspace), Prompter(prompter) {
    setObjectName(QStringLiteral("FormOpen"));
    setWindowTitle(QStringLiteral("Open Project"));
    setModal(true);

    ListView = new QListWidget(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setViewMode(QListView::IconMode);
    ListView->setIconSize(QSize(32, 32));
    ListView->setMovement(QListView::Static);
    ListView->setResizeMode(QListView::Adjust);
    ListView->setWordWrap(true);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setAccessibleName(QStringLiteral("Projects"));
    ListView->setAccessibleDescription(QStringLiteral("The project folders to open"));
    ButtonOpen = new QPushButton(QStringLiteral("Open"), this);
    ButtonOpen->setObjectName(QStringLiteral("ButtonOpen"));
    ButtonOpen->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    // Enter on the focused Cancel button cancels; elsewhere it presses the default button.
    ButtonCancel->setAutoDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonOpen);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListView, 1);
    layout->addLayout(buttons);
    setFixedSize(342, 200);

    auto open = [this] { ReportErrors(Prompter, [this] { ButtonOpenClick(); }); };
    connect(ButtonOpen, &QPushButton::clicked, this, open);
    connect(ListView, &QListWidget::itemDoubleClicked, this, open);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormOpen::Execute() {
    return exec() == QDialog::Accepted && Workspace.IsOpen();
}

void TFormOpen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(*this);
    FormShow();
}

void TFormOpen::FormShow() {
    ListView->clear();
    const QIcon folder = FolderIcon();
    // Every sub-folder of Projects; hidden folders and plain files are not listed.
    for (const TFileEntry& entry : ListFolder(Workspace.ProjectsFolder()))
        if (entry.IsFolder && entry.Name[0] != '.')
            new QListWidgetItem(folder, QString::fromStdString(entry.Name), ListView);
    if (ListView->count() > 0)
        ListView->setCurrentRow(0);
    ListView->setFocus();
}

void TFormOpen::ButtonOpenClick() {
    QListWidgetItem* item = ListView->currentItem();
    if (!item || !item->isSelected()) {
        ListView->setFocus();
        return;
    }
    Workspace.Project = std::make_unique<TDProject>(
        Workspace.ProjectsFolder() + item->text().toStdString(), Workspace.XMLDoc);
    accept();
}
