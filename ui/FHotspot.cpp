#include "ui/FHotspot.h"

#include "ui/DialogControls.h"
#include "ui/LinkField.h"
#include "ui/MarkdownEditor.h"
#include "ui/MarkdownTextEdit.h"
#include "ui/MultiLineText.h"
#include "ui/PictureField.h"
#include "ui/SitePages.h"
#include "ui/Workspace.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include <utility>

TFormHotspot::TFormHotspot(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormHotspot", "Hotspot Column", prompter, parent), Workspace(workspace) {
    EditTitle = MakeEdit("EditTitle", 128);
    PicturePicture =
        new TPictureField(TPictureMember::Hotspot, prompter, workspace.ApplicationFolder, this);
    ComboBoxPosition =
        MakeDropDownList(this, "ComboBoxPosition", {"Title On Top", "Picture On Top"});
    MemoText = new TMultiLineText(this);
    MemoText->setObjectName(QStringLiteral("MemoText"));
    MemoText->setFixedHeight(110);
    EditorText = new TMarkdownEditor(prompter, this);
    EditorText->TextEdit->setFixedHeight(150);
    Link = new TLinkField(prompter, this);

    auto* grid = new QGridLayout;
    AddRow(grid, 0, "Title:", EditTitle);
    grid->addWidget(PicturePicture, 1, 1);
    AddRow(grid, 2, "Position:", ComboBoxPosition);
    LabelText = AddRow(grid, 3, "Text:", MemoText);
    grid->addWidget(EditorText, 3, 1);
    grid->itemAtPosition(3, 0)->setAlignment(Qt::AlignTop);
    Link->AddTo(grid, 4);
    Finish(grid);
}

void TFormHotspot::CheckRecord() const {
    OpenProjectOf(Workspace);
}

void TFormHotspot::FormShow() {
    TDProject& project = OpenProjectOf(Workspace);
    const TDHotspot& hotspot = project.HOTSPOT;
    EditTitle->setFocus();
    EditTitle->setText(QText(hotspot.TITLE));
    PicturePicture->Show(hotspot.PICTURE, project.ImagesPath());
    SelectItemText(ComboBoxPosition, hotspot.POSITION);
    const bool markdown = hotspot.IsMarkdown();
    MemoText->setVisible(!markdown);
    EditorText->setVisible(markdown);
    LabelText->setBuddy(markdown ? static_cast<QWidget*>(EditorText->TextEdit) : MemoText);
    if (markdown) {
        MemoText->clear();
        EditorText->SetStoredText(
            hotspot.TEXT, project.ImagesPath(), project.DownloadsPath(),
            [this] { return TSitePages::Read(OpenProjectOf(Workspace), Workspace.XMLDoc); });
    } else {
        MemoText->SetStoredText(hotspot.TEXT);
        EditorText->Show(QString(), project.ImagesPath(), project.DownloadsPath(), {});
    }
    Link->Show(hotspot.LINK, hotspot.KIND, hotspot.URL, project.DownloadsPath());
}

void TFormHotspot::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDHotspot hotspot = project.HOTSPOT;
    hotspot.TITLE = StdText(EditTitle->text());
    PicturePicture->Store(hotspot.PICTURE, hotspot.PICTURE_WIDTH, hotspot.PICTURE_HEIGHT,
                          project.ImagesPath());
    std::vector<TPageIdToAssign> ids;
    if (hotspot.IsMarkdown()) {
        hotspot.TEXT = EditorText->Store();
        ids = EditorText->PageIdsToAssign();
    } else {
        hotspot.TEXT = MemoText->StoredText();
    }
    Link->Store(hotspot.LINK, hotspot.KIND, hotspot.URL, project.DownloadsPath());
    hotspot.POSITION = SelectedItemText(ComboBoxPosition);
    ReplaceAndSave(project.HOTSPOT, std::move(hotspot), [this, &project, &ids] {
        // The linked pages' ids first: a failure there leaves the record as it was.
        AssignPageIds(project, Workspace.XMLDoc, ids, nullptr);
        project.Save();
    });
    accept();
}
