#include "ui/FColumn.h"

#include "platform/Error.h"
#include "ui/DialogControls.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <utility>

TFormColumn::TFormColumn(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormColumn", "Column", prompter, parent), Workspace(workspace) {
    EditTitle = MakeEdit("EditTitle", 64);
    ComboBoxStyle = MakeDropDownList(this, "ComboBoxStyle", {});
    for (const char* style : ListingStyles)
        ComboBoxStyle->addItem(QString::fromLatin1(style));
    ComboBoxStyle->setCurrentIndex(-1);
    EditURL = MakeEdit("EditURL", 128);
    auto checkBox = [this](const char* caption, const char* name) {
        auto* box = new QCheckBox(QString::fromLatin1(caption), this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    CheckBoxShowAuthor = checkBox("Show Author In Page Title", "CheckBoxShowAuthor");
    CheckBoxShowDate = checkBox("Show Date In Page Title", "CheckBoxShowDate");
    CheckBoxHasBorder = checkBox("Pictures has border", "CheckBoxHasBorder");

    auto* grid = new QGridLayout;
    AddRow(grid, 0, "Title:", EditTitle);
    // The style pair and the URL pair share one row; only one of them is shown.
    LabelStyle = AddRow(grid, 1, "Style:", ComboBoxStyle);
    LabelStyle->setObjectName(QStringLiteral("LabelStyle"));
    LabelURL = AddRow(grid, 1, "URL:", EditURL);
    LabelURL->setObjectName(QStringLiteral("LabelURL"));
    grid->addWidget(CheckBoxShowAuthor, 2, 1);
    grid->addWidget(CheckBoxShowDate, 3, 1);
    grid->addWidget(CheckBoxHasBorder, 4, 1);
    Finish(grid);
}

TDMenuItem& TFormColumn::Item() const {
    TDProject& project = OpenProjectOf(Workspace);
    if (project.CurrentItem < 0 || project.CurrentItem >= project.MenuCount)
        throw TError("No menu item is chosen to edit.");
    return project.MenuItem(project.CurrentItem);
}

void TFormColumn::CheckRecord() const {
    Item();
}

void TFormColumn::FormShow() {
    const TDMenuItem& item = Item();
    EditTitle->setFocus();
    EditTitle->setText(QText(item.TITLE));
    SelectItemText(ComboBoxStyle, item.STYLE);
    EditURL->setText(QText(item.URL));
    CheckBoxShowAuthor->setChecked(item.SHOW_AUTHOR);
    CheckBoxShowDate->setChecked(item.SHOW_DATE);
    CheckBoxHasBorder->setChecked(item.HAS_BORDER);
    // A link has a title and an address, nothing of a column's.
    const bool column = item.IsColumn();
    setWindowTitle(column ? QStringLiteral("Column") : QStringLiteral("Link"));
    LabelStyle->setVisible(column);
    ComboBoxStyle->setVisible(column);
    LabelURL->setVisible(!column);
    EditURL->setVisible(!column);
    for (QCheckBox* box : {CheckBoxShowAuthor, CheckBoxShowDate, CheckBoxHasBorder})
        box->setVisible(column);
    adjustSize();
}

void TFormColumn::ButtonOKClick() {
    TDMenuItem& record = Item();
    TDMenuItem item = record;
    item.TITLE = StdText(EditTitle->text());
    item.STYLE = SelectedItemText(ComboBoxStyle);
    item.URL = StdText(EditURL->text());
    item.SHOW_AUTHOR = CheckBoxShowAuthor->isChecked();
    item.SHOW_DATE = CheckBoxShowDate->isChecked();
    item.HAS_BORDER = CheckBoxHasBorder->isChecked();
    ReplaceAndSave(record, std::move(item), [this] { OpenProjectOf(Workspace).Save(); });
    accept();
}
