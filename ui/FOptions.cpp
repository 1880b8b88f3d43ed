#include "ui/FOptions.h"

#include "model/COptions.h"
#include "model/SiteLanguage.h"
#include "ui/DialogControls.h"
#include "ui/Prompter.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

TFormOptions::TFormOptions(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormOptions", "Site Options", prompter, parent), Workspace(workspace) {
    auto note = [this](const char* text, const char* name) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setEnabled(false); // greyed, as a note under its control
        return label;
    };
    RadioButtonModern = new QRadioButton(QStringLiteral("Modern"), this);
    RadioButtonModern->setObjectName(QStringLiteral("RadioButtonModern"));
    RadioButtonClassic = new QRadioButton(QStringLiteral("Classic"), this);
    RadioButtonClassic->setObjectName(QStringLiteral("RadioButtonClassic"));
    LabelModern = note("Pages of today: they fit every screen, read aloud well, always UTF-8.",
                       "LabelModern");
    LabelClassic =
        note("The pages of earlier versions, byte for byte: tables, the chosen encoding.",
             "LabelClassic");
    ComboBoxSiteLanguage = MakeDropDownList(this, "ComboBoxSiteLanguage", {});
    for (const TSiteLanguage& language : CommonSiteLanguages)
        ComboBoxSiteLanguage->addItem(QString::fromUtf8(language.Name) + QStringLiteral(" (") +
                                          QString::fromLatin1(language.Tag) + QStringLiteral(")"),
                                      QString::fromLatin1(language.Tag));
    EditSiteLanguage = MakeEdit("EditSiteLanguage", 35);
    LabelSiteLanguage =
        note("Or type its BCP 47 tag, such as en, de or pt-BR.", "LabelSiteLanguage");
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
    int row = 0;
    auto* design = new QLabel(QStringLiteral("Design:"), this);
    design->setBuddy(RadioButtonModern); // the first of its two choices
    grid->addWidget(design, row++, 0, 1, 2);
    grid->addWidget(RadioButtonModern, row++, 0, 1, 2);
    grid->addWidget(LabelModern, row++, 0, 1, 2);
    grid->addWidget(RadioButtonClassic, row++, 0, 1, 2);
    grid->addWidget(LabelClassic, row++, 0, 1, 2);
    AddRow(grid, row++, "Language of the site:", ComboBoxSiteLanguage);
    AddRow(grid, row++, "Language tag:", EditSiteLanguage);
    grid->addWidget(LabelSiteLanguage, row++, 0, 1, 2);
    QCheckBox* const boxes[5] = {CheckBoxMobile, CheckBoxPageTitles, CheckBoxSitemap, CheckBoxFeeds,
                                 CheckBoxAltTexts};
    for (int i = 0; i < 5; ++i) {
        grid->addWidget(boxes[i], row++, 0, 1, 2);
        grid->addWidget(LabelExplanation[i], row++, 0, 1, 2);
    }
    AddRow(grid, row++, "Picture size:", ComboBoxPictureSize);
    grid->addWidget(LabelExplanation[5], row, 0, 1, 2);
    Finish(grid);

    connect(ComboBoxSiteLanguage, &QComboBox::activated, this,
            &TFormOptions::ComboBoxSiteLanguageChange);
    connect(EditSiteLanguage, &QLineEdit::textEdited, this, &TFormOptions::EditSiteLanguageChange);
    connect(RadioButtonModern, &QRadioButton::toggled, this, &TFormOptions::DesignChange);
}

void TFormOptions::DesignChange() {
    const bool modern = RadioButtonModern->isChecked();
    QCheckBox* const boxes[3] = {CheckBoxMobile, CheckBoxPageTitles, CheckBoxAltTexts};
    for (int i = 0; i < 3; ++i) {
        if (modern && boxes[i]->isEnabled())
            ClassicChoice[i] = boxes[i]->isChecked(); // Classic left: its choice is kept
        boxes[i]->setChecked(modern || ClassicChoice[i]);
        boxes[i]->setEnabled(!modern);
    }
}

void TFormOptions::ComboBoxSiteLanguageChange() {
    const int index = ComboBoxSiteLanguage->currentIndex();
    if (index >= 0)
        EditSiteLanguage->setText(ComboBoxSiteLanguage->itemData(index).toString());
}

void TFormOptions::EditSiteLanguageChange() {
    const std::optional<std::string> tag = NormalizeLanguageTag(StdText(EditSiteLanguage->text()));
    ComboBoxSiteLanguage->setCurrentIndex(
        tag ? ComboBoxSiteLanguage->findData(QString::fromStdString(*tag)) : -1);
}

void TFormOptions::CheckRecord() const {
    OpenProjectOf(Workspace);
}

void TFormOptions::FormShow() {
    const TDOptions& options = OpenProjectOf(Workspace).OPTIONS;
    ClassicChoice[0] = options.MOBILE;
    ClassicChoice[1] = options.PAGE_TITLES;
    ClassicChoice[2] = options.ALT_TEXTS;
    for (QCheckBox* box : {CheckBoxMobile, CheckBoxPageTitles, CheckBoxAltTexts})
        box->setEnabled(true);
    CheckBoxMobile->setChecked(options.MOBILE);
    CheckBoxPageTitles->setChecked(options.PAGE_TITLES);
    CheckBoxSitemap->setChecked(options.SITEMAP);
    CheckBoxFeeds->setChecked(options.FEEDS);
    CheckBoxAltTexts->setChecked(options.ALT_TEXTS);
    QRadioButton* design = options.IsModern() ? RadioButtonModern : RadioButtonClassic;
    design->setChecked(true);
    design->setFocus();
    DesignChange();
    EditSiteLanguage->setText(QText(options.SITE_LANGUAGE));
    EditSiteLanguageChange();
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
    const QString typed = EditSiteLanguage->text().trimmed();
    if (!typed.isEmpty()) {
        const std::optional<std::string> tag = NormalizeLanguageTag(StdText(typed));
        if (!tag) {
            Prompter.Information(QStringLiteral("\"") + typed +
                                 QStringLiteral("\" is not a language tag. Pick a language "
                                                "from the list or type a tag such as en, de "
                                                "or pt-BR."));
            EditSiteLanguage->setFocus();
            return;
        }
        options.SITE_LANGUAGE = *tag;
    } else {
        options.SITE_LANGUAGE.clear();
    }
    // A project that was never Modern keeps its DESIGN as it was (none, mostly), so that its
    // file keeps its bytes.
    if (RadioButtonModern->isChecked())
        options.DESIGN = "Modern";
    else if (options.IsModern())
        options.DESIGN = "Classic";
    const bool modern = RadioButtonModern->isChecked();
    options.MOBILE = modern ? ClassicChoice[0] : CheckBoxMobile->isChecked();
    options.PAGE_TITLES = modern ? ClassicChoice[1] : CheckBoxPageTitles->isChecked();
    options.SITEMAP = CheckBoxSitemap->isChecked();
    options.FEEDS = CheckBoxFeeds->isChecked();
    options.ALT_TEXTS = modern ? ClassicChoice[2] : CheckBoxAltTexts->isChecked();
    const int index = ComboBoxPictureSize->currentIndex();
    options.PICTURE_SIZE = index <= 0 ? 0 : ComboBoxPictureSize->currentText().toInt();
    // The language table follows the design: a project made Modern gets the Modern pages'
    // words in its language, one made Classic loses them.
    TDLanguage language = project.LANGUAGE;
    if (project.OPTIONS.IsModern() && options.IsModern())
        language.ChangeModernLanguage(project.OPTIONS.SITE_LANGUAGE, options.SITE_LANGUAGE);
    language.FitDesign(options.IsModern(), options.SITE_LANGUAGE);
    ReplaceAndSave(project.OPTIONS, options, [&project, &language] {
        ReplaceAndSave(project.LANGUAGE, language, [&project] { project.Save(); });
    });
    accept();
}
