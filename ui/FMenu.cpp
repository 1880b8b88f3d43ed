#include "ui/FMenu.h"

#include "ui/DialogControls.h"
#include "ui/Mnemonics.h"
#include "ui/PictureField.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <utility>

int SpaceOnSlider(std::int32_t space) {
    return static_cast<int>(std::clamp<std::int32_t>(space, 0, TFormMenu::SpaceMax));
}

QString SpaceCaption(int value) {
    return QStringLiteral("Space: (") + QString::number(value) + QStringLiteral(")");
}

TFormMenu::TFormMenu(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormMenu", "Menu", prompter, parent), Workspace(workspace) {
    CheckBoxHasSeparator = new QCheckBox(QStringLiteral("Has Separator"), this);
    CheckBoxHasSeparator->setObjectName(QStringLiteral("CheckBoxHasSeparator"));
    PictureButton =
        new TPictureField(TPictureMember::Button, prompter, workspace.ApplicationFolder, this);
    LabelSpace = new QLabel(SpaceCaption(0), this);
    LabelSpace->setObjectName(QStringLiteral("LabelSpace"));
    TrackBarSpace = new QSlider(Qt::Horizontal, this);
    TrackBarSpace->setObjectName(QStringLiteral("TrackBarSpace"));
    TrackBarSpace->setRange(0, SpaceMax);
    TrackBarSpace->setSingleStep(1);
    TrackBarSpace->setPageStep(5);
    TrackBarSpace->setTickInterval(5);
    TrackBarSpace->setTickPosition(QSlider::TicksBelow);
    LabelSpace->setBuddy(TrackBarSpace);
    TrackBarSpace->setAccessibleName(QStringLiteral("Space"));
    ComboBoxPosition = MakeDropDownList(this, "ComboBoxPosition", {"Left", "Center", "Right"});

    auto* grid = new QGridLayout;
    grid->addWidget(CheckBoxHasSeparator, 0, 0, 1, 2);
    grid->addWidget(PictureButton, 1, 0, 1, 2);
    grid->addWidget(LabelSpace, 2, 0, 1, 2);
    grid->addWidget(TrackBarSpace, 3, 0, 1, 2);
    AddRow(grid, 4, "Position:", ComboBoxPosition);
    grid->setColumnMinimumWidth(1, 220);
    Finish(grid);

    connect(TrackBarSpace, &QSlider::valueChanged, this, &TFormMenu::TrackBarSpaceChange);
}

void TFormMenu::CheckRecord() const {
    OpenProjectOf(Workspace);
}

void TFormMenu::FormShow() {
    TDProject& project = OpenProjectOf(Workspace);
    const TDMenu& menu = project.MENU;
    CheckBoxHasSeparator->setFocus();
    CheckBoxHasSeparator->setChecked(menu.HAS_SEPARATOR);
    PictureButton->Show(menu.BUTTON, project.ImagesPath());
    TrackBarSpace->setValue(SpaceOnSlider(menu.SPACE));
    SelectItemText(ComboBoxPosition, menu.POSITION);
    TrackBarSpaceChange();
}

void TFormMenu::TrackBarSpaceChange() {
    LabelSpace->setText(KeepMnemonic(LabelSpace->text(), SpaceCaption(TrackBarSpace->value())));
}

void TFormMenu::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDMenu menu = project.MENU;
    menu.HAS_SEPARATOR = CheckBoxHasSeparator->isChecked();
    PictureButton->Store(menu.BUTTON, menu.BUTTON_WIDTH, menu.BUTTON_HEIGHT, project.ImagesPath());
    menu.SPACE = TrackBarSpace->value();
    menu.POSITION = SelectedItemText(ComboBoxPosition);
    ReplaceAndSave(project.MENU, std::move(menu), [&project] { project.Save(); });
    accept();
}
