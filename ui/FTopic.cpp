#include "ui/FTopic.h"

#include "ui/DialogControls.h"
#include "ui/PictureField.h"
#include "ui/Workspace.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include <utility>

TFormTopic::TFormTopic(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormTopic", "Topic", prompter, parent), Workspace(workspace) {
    EditCaption = MakeEdit("EditCaption", 64);
    EditDomain = MakeEdit("EditDomain", 128);
    EditKeywords = MakeEdit("EditKeywords", 256);
    EditDescription = MakeEdit("EditDescription", 256);
    EditTitle = MakeEdit("EditTitle", 64);
    PictureLogo =
        new TPictureField(TPictureMember::Logo, prompter, workspace.ApplicationFolder, this);
    ComboBoxPosition =
        MakeDropDownList(this, "ComboBoxPosition",
                         {"Left (Horizontal)", "Left (Vertical)", "Center (Horizontal)",
                          "Center (Vertical)", "Right (Horizontal)", "Right (Vertical)"});

    auto* grid = new QGridLayout;
    AddRow(grid, 0, "Caption:", EditCaption);
    AddRow(grid, 1, "Domain:", EditDomain);
    AddRow(grid, 2, "Keywords:", EditKeywords);
    AddRow(grid, 3, "Description:", EditDescription);
    AddRow(grid, 4, "Title:", EditTitle);
    grid->addWidget(PictureLogo, 5, 1);
    AddRow(grid, 6, "Position:", ComboBoxPosition);
    Finish(grid);
}

void TFormTopic::CheckRecord() const {
    OpenProjectOf(Workspace);
}

void TFormTopic::FormShow() {
    TDProject& project = OpenProjectOf(Workspace);
    const TDTopic& topic = project.TOPIC;
    EditCaption->setFocus();
    EditCaption->setText(QText(topic.CAPTION));
    EditDomain->setText(QText(topic.DOMAIN));
    EditDescription->setText(QText(topic.DESCRIPTION));
    EditKeywords->setText(QText(topic.KEYWORDS));
    EditTitle->setText(QText(topic.TITLE));
    PictureLogo->Show(topic.LOGO, project.ImagesPath());
    SelectItemText(ComboBoxPosition, topic.POSITION);
}

void TFormTopic::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDTopic topic = project.TOPIC;
    topic.CAPTION = StdText(EditCaption->text());
    topic.DOMAIN = StdText(EditDomain->text());
    topic.DESCRIPTION = StdText(EditDescription->text());
    topic.KEYWORDS = StdText(EditKeywords->text());
    topic.TITLE = StdText(EditTitle->text());
    PictureLogo->Store(topic.LOGO, topic.LOGO_WIDTH, topic.LOGO_HEIGHT, project.ImagesPath());
    topic.POSITION = SelectedItemText(ComboBoxPosition);
    ReplaceAndSave(project.TOPIC, std::move(topic), [&project] { project.Save(); });
    accept();
}
