#include "ui/FHotspot.h"

#include "ui/DialogControls.h"
#include "ui/LinkField.h"
#include "ui/MultiLineText.h"
#include "ui/PictureField.h"
#include "ui/Workspace.h"

#include <QComboBox>
#include <QGridLayout>
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
    Link = new TLinkField(prompter, this);

    auto* grid = new QGridLayout;
    AddRow(grid, 0, "Title:", EditTitle);
    grid->addWidget(PicturePicture, 1, 1);
    AddRow(grid, 2, "Position:", ComboBoxPosition);
    AddRow(grid, 3, "Text:", MemoText);
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
    MemoText->SetStoredText(hotspot.TEXT);
    Link->Show(hotspot.LINK, hotspot.KIND, hotspot.URL, project.DownloadsPath());
}

void TFormHotspot::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDHotspot hotspot = project.HOTSPOT;
    hotspot.TITLE = StdText(EditTitle->text());
    PicturePicture->Store(hotspot.PICTURE, hotspot.PICTURE_WIDTH, hotspot.PICTURE_HEIGHT,
                          project.ImagesPath());
    hotspot.TEXT = MemoText->StoredText();
    Link->Store(hotspot.LINK, hotspot.KIND, hotspot.URL, project.DownloadsPath());
    hotspot.POSITION = SelectedItemText(ComboBoxPosition);
    ReplaceAndSave(project.HOTSPOT, std::move(hotspot), [&project] { project.Save(); });
    accept();
}
