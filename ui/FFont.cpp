#include "ui/FFont.h"

#include "generator/Generator.h"
#include "model/CFont.h"
#include "ui/DialogControls.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

namespace {

QComboBox* List(QWidget* parent, const char* name, const char* const* items, int count) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    for (int i = 0; i < count; ++i)
        list->addItem(QString::fromLatin1(items[i]));
    list->setCurrentIndex(-1);
    return list;
}

// Whether the pages of a project with this encoding are written as UTF-8 although it names
// another character set (one that browsers cannot read, or none).
bool WrittenAsUtf8Instead(const std::string& encoding) {
    return CharsetEncoding(encoding).empty() && encoding != "UTF-8";
}

} // namespace

TFormFont::TFormFont(TWorkspace& workspace, QWidget* parent)
    : QDialog(parent), Topic(this, "TrackBarTopic", "LabelTopic", "Topic Font Size: (", 8, 64, 4),
      Menu(this, "TrackBarMenu", "LabelMenu", "Menu Font Size: (", 8, 24, 4),
      Title(this, "TrackBarTitle", "LabelTitle", "Title Font Size: (", 8, 48, 4),
      Text(this, "TrackBarText", "LabelText", "Text Font Size: (", 8, 16, 4), Workspace(workspace) {
    setObjectName(QStringLiteral("FormFont"));
    setWindowTitle(QStringLiteral("Font"));
    setModal(true);

    ComboBoxEncoding = List(this, "ComboBoxEncoding", FontEncodings, std::size(FontEncodings));
    LabelWrittenAsUtf8 = new QLabel(
        QStringLiteral("Pages are written as UTF-8: browsers cannot read this encoding."), this);
    LabelWrittenAsUtf8->setObjectName(QStringLiteral("LabelWrittenAsUtf8"));
    LabelWrittenAsUtf8->setVisible(false);
    LabelModernUtf8 = new QLabel(
        QStringLiteral(
            "Modern pages are always UTF-8; the encoding applies to the Classic design."),
        this);
    LabelModernUtf8->setObjectName(QStringLiteral("LabelModernUtf8"));
    LabelModernUtf8->setVisible(false);
    ComboBoxFont = List(this, "ComboBoxFont", FontFamilies, std::size(FontFamilies));
    CheckBoxBoldTopic = MakeCheckBox(this, "CheckBoxBoldTopic", "Bold Topic");
    CheckBoxBoldTitle = MakeCheckBox(this, "CheckBoxBoldTitle", "Bold Title");
    CheckBoxBoldLink = MakeCheckBox(this, "CheckBoxBoldLink", "Bold Link");
    CheckBoxUnderlineLink = MakeCheckBox(this, "CheckBoxUnderlineLink", "Underline Link");

    auto* layout = new QVBoxLayout(this);
    auto* lists = new QFormLayout;
    lists->addRow(QStringLiteral("Encoding:"), ComboBoxEncoding);
    lists->addRow(QString(), LabelWrittenAsUtf8);
    lists->addRow(QString(), LabelModernUtf8);
    lists->addRow(QStringLiteral("Font Family:"), ComboBoxFont);
    layout->addLayout(lists);
    auto* grid = new QGridLayout;
    const TTrackBarField* sliders[] = {&Topic, &Menu, &Title, &Text};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(sliders[i]->Label, (i / 2) * 2, i % 2);
        grid->addWidget(sliders[i]->TrackBar, (i / 2) * 2 + 1, i % 2);
    }
    grid->addWidget(CheckBoxBoldTopic, 4, 0);
    grid->addWidget(CheckBoxBoldTitle, 4, 1);
    grid->addWidget(CheckBoxBoldLink, 5, 0);
    grid->addWidget(CheckBoxUnderlineLink, 5, 1);
    grid->setColumnMinimumWidth(0, 200);
    grid->setColumnMinimumWidth(1, 200);
    layout->addLayout(grid);
    layout->addStretch(1);
    TOKCancel buttons(this, layout);
    ButtonOK = buttons.ButtonOK;
    ButtonCancel = buttons.ButtonCancel;
    // The sliders were made first: Tab goes from the lists through the sliders, row by row.
    QWidget* order[] = {ComboBoxEncoding,      ComboBoxFont,      Topic.TrackBar,
                        Menu.TrackBar,         Title.TrackBar,    Text.TrackBar,
                        CheckBoxBoldTopic,     CheckBoxBoldTitle, CheckBoxBoldLink,
                        CheckBoxUnderlineLink, ButtonOK,          ButtonCancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormFont::ButtonOKClick);
    connect(ComboBoxEncoding, &QComboBox::currentIndexChanged, this,
            &TFormFont::ComboBoxEncodingChange);
}

void TFormFont::ComboBoxEncodingChange() {
    // A Modern project's pages are UTF-8 whatever is chosen: the one line says so.
    const bool modern = Workspace.IsOpen() && Workspace.Project->OPTIONS.IsModern();
    LabelModernUtf8->setVisible(modern);
    LabelWrittenAsUtf8->setVisible(!modern &&
                                   WrittenAsUtf8Instead(SelectedItemText(ComboBoxEncoding)));
}

bool TFormFont::Execute() {
    if (!Workspace.IsOpen())
        return false;
    return exec() == QDialog::Accepted;
}

void TFormFont::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormFont::FormShow() {
    if (!Workspace.IsOpen())
        return;
    const TDFont& font = Workspace.Project->FONT;
    ComboBoxEncoding->setFocus();
    SelectItemText(ComboBoxEncoding, font.ENCODING);
    ComboBoxEncodingChange(); // also when the selection stays as it was
    SelectItemText(ComboBoxFont, font.FAMILY);
    Topic.SetValue(font.TOPIC);
    Menu.SetValue(font.MENU);
    Title.SetValue(font.TITLE);
    Text.SetValue(font.TEXT);
    CheckBoxBoldTopic->setChecked(font.BOLD_TOPIC);
    CheckBoxBoldTitle->setChecked(font.BOLD_TITLE);
    CheckBoxBoldLink->setChecked(font.BOLD_LINK);
    CheckBoxUnderlineLink->setChecked(font.UNDERLINE_LINK);
    for (TTrackBarField* field : {&Topic, &Menu, &Title, &Text})
        field->UpdateLabel();
}

void TFormFont::ButtonOKClick() {
    TDProject& project = *Workspace.Project;
    TDFont font = project.FONT;
    font.ENCODING = SelectedItemText(ComboBoxEncoding);
    font.FAMILY = SelectedItemText(ComboBoxFont);
    font.TOPIC = Topic.Value();
    font.MENU = Menu.Value();
    font.TITLE = Title.Value();
    font.TEXT = Text.Value();
    font.BOLD_TOPIC = CheckBoxBoldTopic->isChecked();
    font.BOLD_TITLE = CheckBoxBoldTitle->isChecked();
    font.BOLD_LINK = CheckBoxBoldLink->isChecked();
    font.UNDERLINE_LINK = CheckBoxUnderlineLink->isChecked();
    ReplaceAndSave(project.FONT, std::move(font), [&project] { project.Save(); });
    accept();
}
