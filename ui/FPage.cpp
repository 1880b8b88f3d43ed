#include "ui/FPage.h"

#include "model/CColumn.h"
#include "platform/Error.h"
#include "platform/Locale.h"
#include "ui/DialogControls.h"
#include "ui/LinkField.h"
#include "ui/MarkdownEditor.h"
#include "ui/MarkdownTextEdit.h"
#include "ui/MarkdownWriter.h"
#include "ui/MultiLineText.h"
#include "ui/PictureField.h"
#include "ui/SitePages.h"
#include "ui/Workspace.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cctype>
#include <utility>

namespace {

// The days the picker offers.
const QDate FirstPickerDay(1752, 9, 14);
const QDate LastPickerDay(9999, 12, 31);

} // namespace

QString QtDateFormat(const std::string& pattern) {
    QString format;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            switch (pattern[++i]) {
            case 'd':
                format += QStringLiteral("dd");
                break;
            case 'e':
                format += QStringLiteral("d");
                break;
            case 'm':
                format += QStringLiteral("MM");
                break;
            case 'y':
            case 'Y':
                format += QStringLiteral("yyyy");
                break;
            default:
                format +=
                    QStringLiteral("'%") + QChar::fromLatin1(pattern[i]) + QStringLiteral("'");
            }
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '\'') {
            // Letters are format codes to Qt: quote them.
            format += c == '\'' ? QStringLiteral("''")
                                : QStringLiteral("'") + QChar::fromLatin1(c) + QStringLiteral("'");
        } else {
            format += QChar::fromLatin1(c);
        }
    }
    return format;
}

QDate PageDate(const std::string& stored) {
    TDate date;
    if (ParseShortDate(stored, date)) {
        const QDate day(date.Year, date.Month, date.Day);
        if (day.isValid() && day >= FirstPickerDay && day <= LastPickerDay)
            return day;
    }
    const TDate today = Today();
    return QDate(today.Year, today.Month, today.Day);
}

std::string StoredPageDate(const QDate& day) {
    return FormatShortDate({day.year(), day.month(), day.day()});
}

TFormPage::TFormPage(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : TDialogForm("FormPage", "Page", prompter, parent), Workspace(workspace) {
    EditTitle = MakeEdit("EditTitle", 128);
    EditAuthor = MakeEdit("EditAuthor", 64);
    DateTimePicker = new QDateEdit(this);
    DateTimePicker->setObjectName(QStringLiteral("DateTimePicker"));
    DateTimePicker->setCalendarPopup(true);
    DateTimePicker->setDateRange(FirstPickerDay, LastPickerDay);
    PicturePicture =
        new TPictureField(TPictureMember::Page, prompter, workspace.ApplicationFolder, this);
    MemoText = new TMultiLineText(this);
    MemoText->setObjectName(QStringLiteral("MemoText"));
    MemoText->setFixedHeight(150);
    EditorText = new TMarkdownEditor(prompter, this);
    EditorText->TextEdit->setFixedHeight(200);
    ButtonConvert = new QPushButton(QStringLiteral("Convert to formatted text"), this);
    ButtonConvert->setObjectName(QStringLiteral("ButtonConvert"));
    ButtonConvert->setAutoDefault(false);
    ButtonConvert->setAccessibleDescription(
        QStringLiteral("Shows the text as it will look, with bold, headings, lists and links, "
                       "to be edited with the tool buttons; OK keeps it"));
    connect(ButtonConvert, &QPushButton::clicked, this, &TFormPage::ButtonConvertClick);
    Link = new TLinkField(prompter, this);

    auto* grid = new QGridLayout;
    AddRow(grid, 0, "Title:", EditTitle);
    AddRow(grid, 1, "Author:", EditAuthor);
    AddRow(grid, 2, "Date:", DateTimePicker);
    grid->addWidget(PicturePicture, 3, 1);
    LabelText = AddRow(grid, 4, "Text:", MemoText);
    grid->addWidget(EditorText, 4, 1);
    grid->itemAtPosition(4, 0)->setAlignment(Qt::AlignTop);
    grid->addWidget(ButtonConvert, 5, 1, Qt::AlignLeft);
    Link->AddTo(grid, 6);
    grid->setColumnMinimumWidth(1, 360);
    Finish(grid);
}

TDPage& TFormPage::Page() const {
    if (!CurrentColumn || CurrentColumn->CurrentPage < 0 ||
        CurrentColumn->CurrentPage >= CurrentColumn->PageCount)
        throw TError("No page is chosen to edit.");
    return CurrentColumn->Page(CurrentColumn->CurrentPage);
}

void TFormPage::CheckRecord() const {
    OpenProjectOf(Workspace);
    Page();
}

void TFormPage::FormShow() {
    TDProject& project = OpenProjectOf(Workspace);
    const TDPage& page = Page();
    EditTitle->setFocus();
    EditTitle->setText(QText(page.TITLE));
    EditAuthor->setText(QText(page.AUTHOR));
    DateTimePicker->setDisplayFormat(QtDateFormat(ShortDatePattern()));
    DateTimePicker->setDate(PageDate(page.DATE));
    PicturePicture->Show(page.PICTURE, project.ImagesPath());
    ShowFormat(page.IsMarkdown());
    if (page.IsMarkdown()) {
        MemoText->clear();
        EditorText->SetStoredText(page.TEXT, project.ImagesPath(), project.DownloadsPath(),
                                  [this] { return ReadSite(); });
    } else {
        MemoText->SetStoredText(page.TEXT);
        EditorText->Show(QString(), project.ImagesPath(), project.DownloadsPath(), {});
    }
    Link->Show(page.LINK, page.KIND, page.URL, project.DownloadsPath());
}

void TFormPage::ButtonOKClick() {
    TDProject& project = OpenProjectOf(Workspace);
    TDPage page = Page();
    page.TITLE = StdText(EditTitle->text());
    page.AUTHOR = StdText(EditAuthor->text());
    page.DATE = StoredPageDate(DateTimePicker->date());
    PicturePicture->Store(page.PICTURE, page.PICTURE_WIDTH, page.PICTURE_HEIGHT,
                          project.ImagesPath());
    std::vector<TPageIdToAssign> ids;
    if (FMarkdown) {
        page.TEXT = EditorText->Store();
        page.FORMAT = MarkdownFormat;
        ids = EditorText->PageIdsToAssign();
    } else {
        page.TEXT = MemoText->StoredText();
    }
    Link->Store(page.LINK, page.KIND, page.URL, project.DownloadsPath());
    ReplaceAndSave(Page(), std::move(page), [this, &project, &ids] {
        // The linked pages' ids first: a failure there leaves this page as it was.
        AssignPageIds(project, Workspace.XMLDoc, ids, &Page());
        CurrentColumn->Save();
    });
    accept();
}

TSitePages TFormPage::ReadSite() const {
    return TSitePages::Read(OpenProjectOf(Workspace), Workspace.XMLDoc);
}

void TFormPage::ShowFormat(bool markdown) {
    FMarkdown = markdown;
    MemoText->setVisible(!markdown);
    EditorText->setVisible(markdown);
    ButtonConvert->setVisible(!markdown);
    LabelText->setBuddy(markdown ? static_cast<QWidget*>(EditorText->TextEdit) : MemoText);
}

void TFormPage::ButtonConvertClick() {
    TDProject& project = OpenProjectOf(Workspace);
    EditorText->ShowTypedText(MemoText->StoredText(), project.ImagesPath(), project.DownloadsPath(),
                              [this] { return ReadSite(); });
    ShowFormat(true);
    EditorText->TextEdit->setFocus();
}
