#include "ui/FNew.h"

#include "model/ProjectSession.h"
#include "ui/CentreOnScreen.h"
#include "ui/ErrorReport.h"
#include "ui/PathEdit.h"
#include "ui/Prompter.h"
#include "ui/Workspace.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

const char* const BlankProject = "[Blank Project]";

// A read-only path field: greyed text, a long path elided in the middle. Tab reaches it like
// any field, so that the path can be selected and copied without the mouse.
QLineEdit* PathField(QWidget* parent, const char* name) {
    auto* edit = new TPathEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, palette.color(QPalette::Disabled, QPalette::Text));
    edit->setPalette(palette);
    return edit;
}

} // namespace

TFormNew::TFormNew(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), Workspace(workspace), Prompter(prompter) {
    setObjectName(QStringLiteral("FormNew"));
    setWindowTitle(QStringLiteral("New Project"));
    setModal(true);

    EditName = new QLineEdit(this);
    EditName->setObjectName(QStringLiteral("EditName"));
    ComboBoxTemp = new QComboBox(this);
    ComboBoxTemp->setObjectName(QStringLiteral("ComboBoxTemp"));
    ComboBoxTemp->setEditable(false);
    EditPath = PathField(this, "EditPath");
    EditHTML = PathField(this, "EditHTML");
    ButtonCreate = new QPushButton(QStringLiteral("Create"), this);
    ButtonCreate->setObjectName(QStringLiteral("ButtonCreate"));
    ButtonCreate->setDefault(true);
    ButtonCreate->setAutoDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    // Enter on the focused Cancel button cancels; elsewhere it presses the default button.
    ButtonCancel->setAutoDefault(true);

    auto* grid = new QGridLayout;
    int row = 0;
    for (auto [caption, field] : {std::pair<const char*, QWidget*>{"Name:", EditName},
                                  {"Template:", ComboBoxTemp},
                                  {"Path:", EditPath},
                                  {"HTML Path:", EditHTML}}) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonCreate);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setTabOrder(EditName, ComboBoxTemp);
    setTabOrder(ComboBoxTemp, EditPath);
    setTabOrder(EditPath, EditHTML);
    setTabOrder(EditHTML, ButtonCreate);
    setTabOrder(ButtonCreate, ButtonCancel);
    setFixedSize(342, 200);

    connect(EditName, &QLineEdit::textChanged, this, &TFormNew::EditNameChange);
    connect(ButtonCreate, &QPushButton::clicked, this,
            [this] { ReportErrors(Prompter, [this] { ButtonCreateClick(); }); });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormNew::Execute() {
    return exec() == QDialog::Accepted && Workspace.IsOpen();
}

void TFormNew::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(*this);
    FormShow();
}

void TFormNew::FormShow() {
    EditName->clear();
    ComboBoxTemp->clear();
    ComboBoxTemp->addItem(QString::fromLatin1(BlankProject));
    // The user's templates and the bundled ones; each item keeps its file.
    for (const TTemplateChoice& choice : Workspace.Templates())
        ComboBoxTemp->addItem(QString::fromStdString(choice.Name),
                              QString::fromStdString(choice.File));
    ComboBoxTemp->setCurrentIndex(0);
    if (!Workspace.NewProjectTemplate.empty())
        ComboBoxTemp->setCurrentIndex(std::max(
            0, ComboBoxTemp->findData(QString::fromStdString(Workspace.NewProjectTemplate))));
    const QString projects = QString::fromStdString(Workspace.ProjectsFolder());
    EditPath->setText(projects);
    // What the rule for a typed name gives for an empty one.
    EditHTML->setText(projects + QStringLiteral("/HTML"));
    EditName->setFocus();
}

void TFormNew::EditNameChange() {
    const QString name = QString::fromStdString(TrimBlanks(EditName->text().toStdString()));
    const QString projects = QString::fromStdString(Workspace.ProjectsFolder());
    EditPath->setText(projects + name);
    EditHTML->setText(projects + name + QStringLiteral("/HTML"));
}

void TFormNew::ButtonCreateClick() {
    const std::string name = TrimBlanks(EditName->text().toStdString());
    if (name.empty()) {
        EditName->setFocus();
        return;
    }
    const std::string folder = TrimBlanks(EditPath->text().toStdString());
    // A name with a separator in it would reach into another folder.
    if (name.find('/') != std::string::npos) {
        Prompter.Information(QStringLiteral("A project name cannot contain \"/\"."));
        EditName->setFocus();
        return;
    }
    std::string templateFile;
    if (ComboBoxTemp->currentIndex() > 0)
        templateFile = ComboBoxTemp->currentData().toString().toStdString();
    // The project becomes the open one only when it is whole: a Create that fails leaves
    // none open, so that Cancel then leaves the program as it was.
    std::unique_ptr<TDProject> project =
        TProjectSession::CreateProject(folder, Workspace.XMLDoc, templateFile);
    if (!project) {
        Prompter.Information(QStringLiteral("\"") + QString::fromStdString(name) +
                             QStringLiteral("\" exists, try another name!"));
        EditName->setFocus();
        return;
    }
    Workspace.Project = std::move(project);
    accept();
}
