#include "ui/FWelcome.h"

#include "ui/DialogControls.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>

#include <utility>

TFormWelcome::TFormWelcome(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormWelcome", "Welcome Bar", prompter, parent), Workspace(workspace) {
    auto checkBox = [this](const char* caption, const char* name) {
        auto* box = new QCheckBox(QString::fromLatin1(caption), this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    CheckBoxHasHomePage = checkBox("Has Link SET AS HOMEPAGE", "CheckBoxHasHomePage");
    CheckBoxHasFavorite = checkBox("Has Link ADD TO FAVORITE", "CheckBoxHasFavorite");
    CheckBoxHasContact = checkBox("Has Link CONTACT US", "CheckBoxHasContact");
    ComboBoxPosition =
        MakeDropDownList(this, "ComboBoxPosition", {"Date On Left", "Date On Right"});

    auto* grid = new QGridLayout;
    grid->addWidget(CheckBoxHasHomePage, 0, 0, 1, 2);
    grid->addWidget(CheckBoxHasFavorite, 1, 0, 1, 2);
    grid->addWidget(CheckBoxHasContact, 2, 0, 1, 2);
    AddRow(grid, 3, "Position:", ComboBoxPosition);
    Finish(grid);
}

void TFormWelcome::CheckRecord() const {
    OpenProjectOf(Workspace);
}

void TFormWelcome::FormShow() {
    const TDWelcome& welcome = OpenProjectOf(Workspace).WELCOME;
    CheckBoxHasHomePage->setFocus();
    CheckBoxHasHomePage->setChecked(welcome.HAS_HOMEPAGE);
    CheckBoxHasFavorite->setChecked(welcome.HAS_FAVORITE);
    CheckBoxHasContact->setChecked(welcome.HAS_CONTACT);
    SelectItemText(ComboBoxPosition, welcome.POSITION);
}

void TFormWelcome::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDWelcome welcome = project.WELCOME;
    welcome.HAS_HOMEPAGE = CheckBoxHasHomePage->isChecked();
    welcome.HAS_FAVORITE = CheckBoxHasFavorite->isChecked();
    welcome.HAS_CONTACT = CheckBoxHasContact->isChecked();
    welcome.POSITION = SelectedItemText(ComboBoxPosition);
    ReplaceAndSave(project.WELCOME, std::move(welcome), [&project] { project.Save(); });
    accept();
}
