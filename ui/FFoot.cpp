#include "ui/FFoot.h"

#include "ui/DialogControls.h"
#include "ui/Workspace.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include <utility>

TFormFoot::TFormFoot(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormFoot", "Foot", prompter, parent), Workspace(workspace) {
    EditCopyright = MakeEdit("EditCopyright", 128);
    EditAddress = MakeEdit("EditAddress", 128);
    EditTel = MakeEdit("EditTel", 64);
    EditFax = MakeEdit("EditFax", 64);
    EditEmail = MakeEdit("EditEmail", 128);
    ComboBoxPosition = MakeDropDownList(this, "ComboBoxPosition", {"Left", "Center", "Right"});

    auto* grid = new QGridLayout;
    AddRow(grid, 0, "Copyright:", EditCopyright);
    AddRow(grid, 1, "Address:", EditAddress);
    AddRow(grid, 2, "Tel:", EditTel);
    AddRow(grid, 3, "Fax:", EditFax);
    AddRow(grid, 4, "E-mail:", EditEmail);
    AddRow(grid, 5, "Position:", ComboBoxPosition);
    Finish(grid);
}

void TFormFoot::CheckRecord() const {
    OpenProjectOf(Workspace);
}

void TFormFoot::FormShow() {
    const TDFoot& foot = OpenProjectOf(Workspace).FOOT;
    EditCopyright->setFocus();
    EditCopyright->setText(QText(foot.COPYRIGHT));
    EditAddress->setText(QText(foot.ADDRESS));
    EditTel->setText(QText(foot.TEL));
    EditFax->setText(QText(foot.FAX));
    EditEmail->setText(QText(foot.EMAIL));
    SelectItemText(ComboBoxPosition, foot.POSITION);
}

void TFormFoot::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDFoot foot = project.FOOT;
    foot.COPYRIGHT = StdText(EditCopyright->text());
    foot.ADDRESS = StdText(EditAddress->text());
    foot.TEL = StdText(EditTel->text());
    foot.FAX = StdText(EditFax->text());
    foot.EMAIL = StdText(EditEmail->text());
    foot.POSITION = SelectedItemText(ComboBoxPosition);
    ReplaceAndSave(project.FOOT, std::move(foot), [&project] { project.Save(); });
    accept();
}
