#include "ui/FOptions.h"

#include "model/COptions.h"
#include "ui/DialogControls.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

TFormOptions::TFormOptions(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormOptions", "Site Options", prompter, parent), Workspace(workspace) {
    auto checkBox = [this](const char* caption, const char* name) {
        auto* box = new QCheckBox(QString::fromLatin1(caption), this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    CheckBoxMobile = checkBox("Pages for phones", "CheckBoxMobile");
    CheckBoxPageTitles = checkBox("A title for every page", "CheckBoxPageTitles");
    CheckBoxSitemap = checkBox("Sitemap for search engines", "CheckBoxSitemap");
    CheckBoxFeeds = checkBox("News feed for every column", "CheckBoxFeeds");
    CheckBoxAltTexts = checkBox("Texts for pictures", "CheckBoxAltTexts");
    ComboBoxPictureSize = MakeDropDownList(this, "ComboBoxPictureSize", {"Off"});
    for (const std::int32_t size : PictureSizes)
        ComboBoxPictureSize->addItem(QString::number(size));

    const char* const explanations[6] = {
        "On a phone the page fits the screen; wide screens see no change.",
        "Tabs, bookmarks and search results show the page's or the column's title.",
        "Writes sitemap.xml and robots.txt; needs the domain of the topic bar.",
        "Writes an RSS feed of each column's pages, newest first.",
        "Every picture gets an alt text: the page's title, the caption for the logo.",
        "Larger JPEG photos are published at this size; the originals stay as they are.",
    };
    for (int i = 0; i < 6; ++i) {
        LabelExplanation[i] = new QLabel(QString::fromLatin1(explanations[i]), this);
        LabelExplanation[i]->setObjectName(QStringLiteral("LabelExplanation") +
                                           QString::number(i + 1));
        LabelExplanation[i]->setEnabled(false); // greyed, as a note under its control
    }

    auto* grid = new QGridLayout;
    QCheckBox* const boxes[5] = {CheckBoxMobile, CheckBoxPageTitles, CheckBoxSitemap, CheckBoxFeeds,
                                 CheckBoxAltTexts};
    int row = 0;
    for (int i = 0; i < 5; ++i) {
        grid->addWidget(boxes[i], row++, 0, 1, 2);
        grid->addWidget(LabelExplanation[i], row++, 0, 1, 2);
    }
    AddRow(grid, row++, "Picture size:", ComboBoxPictureSize);
    grid->addWidget(LabelExplanation[5], row, 0, 1, 2);
    Finish(grid);
}

void TFormOptions::CheckRecord() const {
    OpenProjectOf(Workspace);
}

void TFormOptions::FormShow() {
    const TDOptions& options = OpenProjectOf(Workspace).OPTIONS;
    CheckBoxMobile->setFocus();
    CheckBoxMobile->setChecked(options.MOBILE);
    CheckBoxPageTitles->setChecked(options.PAGE_TITLES);
    CheckBoxSitemap->setChecked(options.SITEMAP);
    CheckBoxFeeds->setChecked(options.FEEDS);
    CheckBoxAltTexts->setChecked(options.ALT_TEXTS);
    // The list holds "Off" and the offered sizes, and the stored size when it is another.
    const int offered = 1 + static_cast<int>(std::size(PictureSizes));
    while (ComboBoxPictureSize->count() > offered)
        ComboBoxPictureSize->removeItem(offered);
    if (options.PICTURE_SIZE <= 0) {
        ComboBoxPictureSize->setCurrentIndex(0);
        return;
    }
    const QString size = QString::number(options.PICTURE_SIZE);
    int index = ComboBoxPictureSize->findText(size);
    if (index < 0) {
        ComboBoxPictureSize->addItem(size);
        index = ComboBoxPictureSize->count() - 1;
    }
    ComboBoxPictureSize->setCurrentIndex(index);
}

void TFormOptions::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDOptions options = project.OPTIONS;
    options.MOBILE = CheckBoxMobile->isChecked();
    options.PAGE_TITLES = CheckBoxPageTitles->isChecked();
    options.SITEMAP = CheckBoxSitemap->isChecked();
    options.FEEDS = CheckBoxFeeds->isChecked();
    options.ALT_TEXTS = CheckBoxAltTexts->isChecked();
    const int index = ComboBoxPictureSize->currentIndex();
    options.PICTURE_SIZE = index <= 0 ? 0 : ComboBoxPictureSize->currentText().toInt();
    ReplaceAndSave(project.OPTIONS, options, [&project] { project.Save(); });
    accept();
}
