// The column and page dialogs and the welcome bar, topic, menu, hotspot and foot dialogs:
// captions, labels, items, limits, focus, show and OK through the record and its file, the
// picture and download copies, and the main window opening them.

#include "ContentTestSupport.h"

#include "app/Startup.h"
#include "platform/Error.h"
#include "ui/FColumn.h"
#include "ui/FFoot.h"
#include "ui/FHotspot.h"
#include "ui/FMain.h"
#include "ui/FMenu.h"
#include "ui/FPage.h"
#include "ui/FTopic.h"
#include "ui/FWelcome.h"
#include "ui/LinkField.h"
#include "ui/MultiLineText.h"
#include "ui/PictureField.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QWebEngineView>

#include <algorithm>
#include <filesystem>

namespace {

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// The texts of a dialog's labels, row by row of its grids.
QStringList Labels(QWidget* form) {
    QList<std::pair<int, QString>> rows;
    for (QLabel* label : form->findChildren<QLabel*>()) {
        if (!label->buddy())
            continue;
        for (QGridLayout* grid : form->findChildren<QGridLayout*>()) {
            const int index = grid->indexOf(label);
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            if (index >= 0) {
                grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
                rows.append({row, label->text()});
            }
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList texts;
    for (const auto& row : rows)
        texts << row.second;
    return texts;
}

// The controls that Tab walks through, from the first, by name.
QStringList TabOrder(QWidget* first) {
    QStringList names;
    QWidget* widget = first;
    do {
        // Parts of the controls themselves (the date picker's edit) are passed over.
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(first->window()) &&
            !widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
            names << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != first && names.size() < 40);
    return names;
}

// Types into an edit that holds `before` characters enough to pass its limit, and gives
// back how long the text then is.
int TypedLength(QLineEdit* edit, int before) {
    edit->setText(QString(before, u'a'));
    edit->setModified(false);
    edit->end(false);
    QTest::keyClicks(edit, QStringLiteral("bcdef"));
    return int(edit->text().size());
}

const std::string Jpeg = SamplePicture("bands.jpg");
const std::string Gif = SamplePicture("bands.gif");

} // namespace

class TContentDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void captionsLabelsItemsAndFocus();
    void editLimits();
    void welcomeBarRoundTrip();
    void topicRoundTripAndLogoCopies();
    void topicOkStopsWhereTheCopyFails();
    void menuSliderAndButton();
    void hotspotTextPictureAndLink();
    void footOkWithoutChangeStillSaves();
    void unlistedPositionsStoreEmpty();
    void columnDialogOnAColumnAndOnALink();
    void pageRoundTrip();
    void pageDates();
    void pagePictureCopies();
    void pageDownloadsAndKinds();
    void pageDisplayOfThePreviewSurvives();
    void cancelWritesNothing();
    void missingRecordsShowNothing();
    void mainWindowOpensTheDialogs();
};

void TContentDialogsTest::captionsLabelsItemsAndFocus() {
    TContentFixture f;
    f.Project().CurrentItem = 0;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->CurrentPage = 0;

    TFormWelcome welcome(f.Workspace, f.Prompter);
    TFormTopic topic(f.Workspace, f.Prompter);
    TFormMenu menu(f.Workspace, f.Prompter);
    TFormHotspot hotspot(f.Workspace, f.Prompter);
    TFormFoot foot(f.Workspace, f.Prompter);
    TFormColumn columnForm(f.Workspace, f.Prompter);
    TFormPage page(f.Workspace, f.Prompter);
    const struct {
        TDialogForm* Form;
        const char* Name;
        const char* Caption;
        QWidget* Focus;
        QStringList Labels;
        QStringList Tabs;
    } forms[] = {
        {&welcome,
         "FormWelcome",
         "Welcome Bar",
         welcome.CheckBoxHasHomePage,
         {"Position:"},
         {"CheckBoxHasHomePage", "CheckBoxHasFavorite", "CheckBoxHasContact", "ComboBoxPosition",
          "ButtonOK", "ButtonCancel"}},
        {&topic,
         "FormTopic",
         "Topic",
         topic.EditCaption,
         {"Caption:", "Domain:", "Keywords:", "Description:", "Title:", "Position:"},
         {"EditCaption", "EditDomain", "EditKeywords", "EditDescription", "EditTitle",
          "CheckBoxHasLogo", "ComboBoxPosition", "ButtonOK", "ButtonCancel"}},
        {&menu,
         "FormMenu",
         "Menu",
         menu.CheckBoxHasSeparator,
         {"Space: (16)", "Position:"},
         {"CheckBoxHasSeparator", "CheckBoxHasButton", "TrackBarSpace", "ComboBoxPosition",
          "ButtonOK", "ButtonCancel"}},
        {&hotspot,
         "FormHotspot",
         "Hotspot Column",
         hotspot.EditTitle,
         {"Title:", "Position:", "Text:", "Link:", "Kind:", "URL:"},
         {"EditTitle", "CheckBoxHasPicture", "ComboBoxPosition", "MemoText", "EditLink",
          "ComboBoxKind", "EditURL", "ButtonOK", "ButtonCancel"}},
        {&foot,
         "FormFoot",
         "Foot",
         foot.EditCopyright,
         {"Copyright:", "Address:", "Tel:", "Fax:", "E-mail:", "Position:"},
         {"EditCopyright", "EditAddress", "EditTel", "EditFax", "EditEmail", "ComboBoxPosition",
          "ButtonOK", "ButtonCancel"}},
        {&columnForm,
         "FormColumn",
         "Column",
         columnForm.EditTitle,
         {"Title:", "Style:", "URL:"},
         {"EditTitle", "ComboBoxStyle", "CheckBoxShowAuthor", "CheckBoxShowDate",
          "CheckBoxHasBorder", "ButtonOK", "ButtonCancel"}},
        {&page,
         "FormPage",
         "Page",
         page.EditTitle,
         {"Title:", "Author:", "Date:", "Text:", "Link:", "Kind:", "URL:"},
         {"EditTitle", "EditAuthor", "DateTimePicker", "CheckBoxHasPicture", "MemoText",
          "ButtonConvert", "EditLink", "ComboBoxKind", "EditURL", "ButtonOK", "ButtonCancel"}},
    };
    for (const auto& c : forms) {
        c.Form->show();
        QCOMPARE(c.Form->objectName(), QString::fromLatin1(c.Name));
        QCOMPARE(c.Form->windowTitle(), QString::fromLatin1(c.Caption));
        QCOMPARE(c.Form->focusWidget(), c.Focus);
        QCOMPARE(Labels(c.Form), c.Labels);
        // Disabled buttons are passed over; the rest in the order of the layout.
        QStringList tabs;
        for (const QString& name : TabOrder(c.Focus))
            if (c.Form->findChild<QWidget*>(name)->isEnabled())
                tabs << name;
        QCOMPARE(tabs, c.Tabs);
        QCOMPARE(c.Form->ButtonOK->text(), QStringLiteral("OK"));
        QVERIFY(c.Form->ButtonOK->isDefault());
        QCOMPARE(c.Form->ButtonCancel->text(), QStringLiteral("Cancel"));
        c.Form->reject();
    }

    QCOMPARE(welcome.CheckBoxHasHomePage->text(), QStringLiteral("Has Link SET AS HOMEPAGE"));
    QCOMPARE(welcome.CheckBoxHasFavorite->text(), QStringLiteral("Has Link ADD TO FAVORITE"));
    QCOMPARE(welcome.CheckBoxHasContact->text(), QStringLiteral("Has Link CONTACT US"));
    QCOMPARE(menu.CheckBoxHasSeparator->text(), QStringLiteral("Has Separator"));
    QCOMPARE(columnForm.CheckBoxShowAuthor->text(), QStringLiteral("Show Author In Page Title"));
    QCOMPARE(columnForm.CheckBoxShowDate->text(), QStringLiteral("Show Date In Page Title"));
    QCOMPARE(columnForm.CheckBoxHasBorder->text(), QStringLiteral("Pictures has border"));
    QCOMPARE(topic.PictureLogo->CheckBox->text(), QStringLiteral("Has Logo"));
    QCOMPARE(menu.PictureButton->CheckBox->text(), QStringLiteral("Has Button"));
    QCOMPARE(hotspot.PicturePicture->CheckBox->text(), QStringLiteral("Has Picture"));
    QCOMPARE(page.PicturePicture->CheckBox->text(), QStringLiteral("Has Picture"));
    QCOMPARE(page.findChild<QLineEdit*>("EditURL"), page.Link->EditURL);

    const struct {
        QComboBox* List;
        QStringList Items;
    } lists[] = {
        {welcome.ComboBoxPosition, {"Date On Left", "Date On Right"}},
        {topic.ComboBoxPosition,
         {"Left (Horizontal)", "Left (Vertical)", "Center (Horizontal)", "Center (Vertical)",
          "Right (Horizontal)", "Right (Vertical)"}},
        {menu.ComboBoxPosition, {"Left", "Center", "Right"}},
        {hotspot.ComboBoxPosition, {"Title On Top", "Picture On Top"}},
        {foot.ComboBoxPosition, {"Left", "Center", "Right"}},
        {columnForm.ComboBoxStyle,
         {"Only title list", "Title list with summary", "Title list and contents", "Contents",
          "Pictures List (2 columns)", "Pictures List (3 columns)", "Pictures List (4 columns)"}},
        {hotspot.Link->ComboBoxKind, {"Link", "E-mail", "Download"}},
        {page.Link->ComboBoxKind, {"Link", "E-mail", "Download"}},
    };
    for (const auto& l : lists) {
        QCOMPARE(Items(l.List), l.Items);
        QVERIFY(!l.List->isEditable());
    }

    // The slider: 0 to 50 by 1, a page of 5, a tick every 5.
    QCOMPARE(menu.TrackBarSpace->minimum(), 0);
    QCOMPARE(menu.TrackBarSpace->maximum(), 50);
    QCOMPARE(menu.TrackBarSpace->singleStep(), 1);
    QCOMPARE(menu.TrackBarSpace->pageStep(), 5);
    QCOMPARE(menu.TrackBarSpace->tickInterval(), 5);
    QVERIFY(menu.TrackBarSpace->tickPosition() != QSlider::NoTicks);
    // The memos scroll vertically.
    QCOMPARE(page.MemoText->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(hotspot.MemoText->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TContentDialogsTest::editLimits() {
    TContentFixture f;
    f.Project().CurrentItem = 1;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->CurrentPage = 0;
    TFormTopic topic(f.Workspace, f.Prompter);
    TFormHotspot hotspot(f.Workspace, f.Prompter);
    TFormFoot foot(f.Workspace, f.Prompter);
    TFormColumn columnForm(f.Workspace, f.Prompter);
    TFormPage page(f.Workspace, f.Prompter);
    const struct {
        QLineEdit* Edit;
        int Limit;
    } edits[] = {
        {topic.EditCaption, 64},       {topic.EditDomain, 128},      {topic.EditKeywords, 256},
        {topic.EditDescription, 256},  {topic.EditTitle, 64},        {hotspot.EditTitle, 128},
        {hotspot.Link->EditLink, 128}, {hotspot.Link->EditURL, 128}, {foot.EditCopyright, 128},
        {foot.EditAddress, 128},       {foot.EditTel, 64},           {foot.EditFax, 64},
        {foot.EditEmail, 128},         {columnForm.EditTitle, 64},   {columnForm.EditURL, 128},
        {page.EditTitle, 128},         {page.EditAuthor, 64},        {page.Link->EditLink, 128},
        {page.Link->EditURL, 128},
    };
    for (const auto& e : edits) {
        e.Edit->window()->show();
        QCOMPARE(TypedLength(e.Edit, e.Limit - 2), e.Limit);
        QCOMPARE(TypedLength(e.Edit, 0), 5);
        // A stored text longer than the limit is shown whole.
        e.Edit->setText(QString(e.Limit + 10, u'z'));
        QCOMPARE(e.Edit->text().size(), e.Limit + 10);
    }
}

void TContentDialogsTest::welcomeBarRoundTrip() {
    TContentFixture f;
    TDWelcome& record = f.Project().WELCOME;
    record.HAS_HOMEPAGE = true;
    record.HAS_FAVORITE = false;
    record.HAS_CONTACT = true;
    record.POSITION = "Date On Right";
    TFormWelcome form(f.Workspace, f.Prompter);
    form.show();
    QVERIFY(form.CheckBoxHasHomePage->isChecked());
    QVERIFY(!form.CheckBoxHasFavorite->isChecked());
    QVERIFY(form.CheckBoxHasContact->isChecked());
    QCOMPARE(form.ComboBoxPosition->currentText(), QStringLiteral("Date On Right"));

    form.CheckBoxHasHomePage->click();
    form.CheckBoxHasFavorite->click();
    form.ComboBoxPosition->setCurrentIndex(0);
    form.ButtonOK->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(!form.isVisible());
    TStoredProject stored(f.Folder());
    for (const TDWelcome* w : {&record, &stored.Project.WELCOME}) {
        QVERIFY(!w->HAS_HOMEPAGE);
        QVERIFY(w->HAS_FAVORITE);
        QVERIFY(w->HAS_CONTACT);
        QCOMPARE(w->POSITION, std::string("Date On Left"));
    }
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TContentDialogsTest::topicRoundTripAndLogoCopies() {
    TContentFixture f;
    TDTopic& record = f.Project().TOPIC;
    record.CAPTION = "Our Site";
    record.DOMAIN = "http://example.com";
    record.DESCRIPTION = "About us";
    record.KEYWORDS = "news, more";
    record.TITLE = "Home";
    record.POSITION = "Center (Vertical)";
    TFormTopic form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(form.EditCaption->text(), QStringLiteral("Our Site"));
    QCOMPARE(form.EditDomain->text(), QStringLiteral("http://example.com"));
    QCOMPARE(form.EditDescription->text(), QStringLiteral("About us"));
    QCOMPARE(form.EditKeywords->text(), QStringLiteral("news, more"));
    QCOMPARE(form.EditTitle->text(), QStringLiteral("Home"));
    QVERIFY(!form.PictureLogo->CheckBox->isChecked());
    QCOMPARE(form.ComboBoxPosition->currentText(), QStringLiteral("Center (Vertical)"));

    // Texts stored as typed, blanks and all, an empty one as empty.
    form.EditCaption->setText(QStringLiteral("  Spaced  "));
    form.EditDomain->clear();
    form.EditDescription->setText(QStringLiteral("D"));
    form.EditKeywords->setText(QStringLiteral("K"));
    form.EditTitle->setText(QStringLiteral("T"));
    form.ComboBoxPosition->setCurrentIndex(5);
    // A logo from outside replaces an earlier copy of the same name.
    WriteFileBytes(f.Images() + "Logo.gif", "earlier logo");
    form.PictureLogo->CheckBox->click();
    f.Prompter.Files.push_back(Q(f.Put("bands.gif", f.AppImages("Mark.gif"))));
    form.PictureLogo->ButtonPicture->click();
    form.ButtonOK->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    {
        TStoredProject stored(f.Folder());
        for (const TDTopic* t : {&record, &stored.Project.TOPIC}) {
            QCOMPARE(t->CAPTION, std::string("  Spaced  "));
            QCOMPARE(t->DOMAIN, std::string());
            QCOMPARE(t->DESCRIPTION, std::string("D"));
            QCOMPARE(t->KEYWORDS, std::string("K"));
            QCOMPARE(t->TITLE, std::string("T"));
            QCOMPARE(t->LOGO, std::string("Logo.gif"));
            QCOMPARE(t->LOGO_WIDTH, 48);
            QCOMPARE(t->LOGO_HEIGHT, 32);
            QCOMPARE(t->POSITION, std::string("Right (Vertical)"));
        }
    }
    QCOMPARE(ReadFileBytes(f.Images() + "Logo.gif"), ReadFileBytes(Gif));

    // Shown again: the logo from the Images folder. A JPEG logo leaves the GIF copy.
    form.show();
    QVERIFY(form.PictureLogo->CheckBox->isChecked());
    QCOMPARE(form.PictureLogo->PicturePath(), f.Images() + "Logo.gif");
    f.Prompter.Files.push_back(Q(f.Put("bands.jpg", f.AppImages("Mark.jpg"))));
    form.PictureLogo->ButtonPicture->click();
    form.ButtonOK->click();
    QCOMPARE(TStoredProject(f.Folder()).Project.TOPIC.LOGO, std::string("Logo.jpg"));
    QCOMPARE(ReadFileBytes(f.Images() + "Logo.jpg"), ReadFileBytes(Jpeg));
    QCOMPARE(ReadFileBytes(f.Images() + "Logo.gif"), ReadFileBytes(Gif));
    // The first picture dialog opens in the user's Pictures or home folder, the next one
    // where the last picture came from.
    QCOMPARE(f.Prompter.Folders, (QStringList{f.FirstFolder, Q(f.Temp / "Images")}));
    QVERIFY(QFileInfo(f.FirstFolder).isDir());
}

void TContentDialogsTest::topicOkStopsWhereTheCopyFails() {
    TContentFixture f;
    f.Project().TOPIC.POSITION = "Left (Vertical)";
    const std::string before = ReadFileBytes(f.Folder() + "/Default.Pro");
    TFormTopic form(f.Workspace, f.Prompter);
    form.show();
    form.PictureLogo->CheckBox->click();
    f.Prompter.Files.push_back(Q(f.Put("bands.gif", f.AppImages("Mark.gif"))));
    form.PictureLogo->ButtonPicture->click();
    form.EditTitle->setText(QStringLiteral("Written before the logo"));
    form.ComboBoxPosition->setCurrentIndex(0);
    std::filesystem::remove_all(f.Images());
    const TDTopic shown = f.Project().TOPIC;

    form.ButtonOK->click();
    // The error report names the copy; the dialog stays open; nothing the dialog holds is in
    // the record, not even what comes before the logo, and nothing was saved.
    const QStringList calls = f.Prompter.TakeCalls();
    QCOMPARE(calls.size(), 2);
    QVERIFY2(calls[1].startsWith("Error: ") && calls[1].contains(Q(f.Images() + "Logo.gif")),
             qPrintable(calls[1]));
    QVERIFY(form.isVisible());
    QCOMPARE(f.Project().TOPIC.TITLE, TDTopic().TITLE);
    QCOMPARE(f.Project().TOPIC.LOGO, std::string());
    QCOMPARE(f.Project().TOPIC.POSITION, std::string("Left (Vertical)"));
    QCOMPARE(ReadFileBytes(f.Folder() + "/Default.Pro"), before);
    form.reject();
    QVERIFY(f.Project().TOPIC == shown);
}

void TContentDialogsTest::menuSliderAndButton() {
    TContentFixture f;
    TDMenu& record = f.Project().MENU;
    record.HAS_SEPARATOR = false;
    record.SPACE = 80;
    record.POSITION = "Right";
    record.BUTTON = "Button.gif";
    record.BUTTON_WIDTH = 48;
    record.BUTTON_HEIGHT = 32;
    f.Put("bands.gif", f.Images() + "Button.gif");
    TFormMenu form(f.Workspace, f.Prompter);
    form.show();
    QVERIFY(!form.CheckBoxHasSeparator->isChecked());
    QCOMPARE(form.TrackBarSpace->value(), 50);
    QCOMPARE(form.LabelSpace->text(), QStringLiteral("Space: (50)"));
    QCOMPARE(form.ComboBoxPosition->currentText(), QStringLiteral("Right"));
    QVERIFY(form.PictureButton->CheckBox->isChecked());
    QCOMPARE(form.PictureButton->Image->PictureSize(), QSize(48, 32));

    // Untouched, the slider stores 50.
    form.ButtonOK->click();
    QCOMPARE(record.SPACE, 50);
    QCOMPARE(TStoredProject(f.Folder()).Project.MENU.SPACE, 50);

    // A smaller value shows as 0; the label follows the slider.
    record.SPACE = -3;
    form.show();
    QCOMPARE(form.TrackBarSpace->value(), 0);
    QCOMPARE(form.LabelSpace->text(), QStringLiteral("Space: (0)"));
    form.TrackBarSpace->setFocus();
    QTest::keyClick(form.TrackBarSpace, Qt::Key_PageUp);
    QCOMPARE(form.LabelSpace->text(), QStringLiteral("Space: (5)"));
    QTest::keyClick(form.TrackBarSpace, Qt::Key_Right);
    QCOMPARE(form.LabelSpace->text(), QStringLiteral("Space: (6)"));
    // Unticking "Has Button" clears the button; its file stays.
    form.PictureButton->CheckBox->click();
    form.CheckBoxHasSeparator->click();
    form.ButtonOK->click();
    TStoredProject stored(f.Folder());
    for (const TDMenu* m : {&record, &stored.Project.MENU}) {
        QVERIFY(m->HAS_SEPARATOR);
        QCOMPARE(m->SPACE, 6);
        QCOMPARE(m->BUTTON, std::string());
        QCOMPARE(m->BUTTON_WIDTH, 0);
        QCOMPARE(m->BUTTON_HEIGHT, 0);
        QCOMPARE(m->POSITION, std::string("Right"));
    }
    QVERIFY(FileExists(f.Images() + "Button.gif"));
}

void TContentDialogsTest::hotspotTextPictureAndLink() {
    TContentFixture f;
    TDHotspot& record = f.Project().HOTSPOT;
    record.TITLE = "Hot";
    record.TEXT = "one#$D#$Atwo";
    record.LINK = "More";
    record.KIND = "E-mail";
    record.URL = "info@example.com";
    record.POSITION = "Picture On Top";
    TFormHotspot form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(form.EditTitle->text(), QStringLiteral("Hot"));
    QCOMPARE(form.MemoText->toPlainText(), QStringLiteral("one\ntwo"));
    QCOMPARE(form.Link->EditLink->text(), QStringLiteral("More"));
    QCOMPARE(form.Link->ComboBoxKind->currentText(), QStringLiteral("E-mail"));
    QCOMPARE(form.Link->EditURL->text(), QStringLiteral("info@example.com"));
    QVERIFY(!form.Link->ButtonFile->isEnabled());
    QCOMPARE(form.ComboBoxPosition->currentText(), QStringLiteral("Picture On Top"));

    // Three lines, a picture and a download.
    form.MemoText->setPlainText(QStringLiteral("first\nsecond\nthird"));
    form.PicturePicture->CheckBox->click();
    f.Prompter.Files.push_back(Q(f.Put("bands.jpg", f.AppImages("Photo.jpg"))));
    form.PicturePicture->ButtonPicture->click();
    form.Link->ComboBoxKind->setCurrentIndex(2);
    QVERIFY(form.Link->ButtonFile->isEnabled());
    WriteFileBytes(f.Temp / "Files/Price list.pdf", "prices");
    f.Prompter.Files.push_back(Q(f.Temp / "Files/Price list.pdf"));
    form.Link->ButtonFile->click();
    QCOMPARE(form.Link->EditURL->text(), Q(f.Temp / "Files/Price list.pdf"));
    form.ButtonOK->click();
    {
        TStoredProject stored(f.Folder());
        for (const TDHotspot* h : {&record, &stored.Project.HOTSPOT}) {
            QCOMPARE(h->TITLE, std::string("Hot"));
            QCOMPARE(h->TEXT, std::string("first#$D#$Asecond#$D#$Athird"));
            QCOMPARE(h->PICTURE, std::string("Hotspot.jpg"));
            QCOMPARE(h->PICTURE_WIDTH, 48);
            QCOMPARE(h->PICTURE_HEIGHT, 32);
            QCOMPARE(h->LINK, std::string("More"));
            QCOMPARE(h->KIND, std::string("Download"));
            QCOMPARE(h->URL, std::string("File1.pdf"));
            QCOMPARE(h->POSITION, std::string("Picture On Top"));
        }
    }
    QCOMPARE(ReadFileBytes(f.Downloads() + "File1.pdf"), std::string("prices"));
    QCOMPARE(ReadFileBytes(f.Images() + "Hotspot.jpg"), ReadFileBytes(Jpeg));
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"OpenFile: Open Picture | All (*.jpg *.jpeg *.gif *.png *.webp);;JPEG "
                          "Image File (*.jpg);;JPEG Image File (*.jpeg);;GIF Image File "
                          "(*.gif);;PNG Image File (*.png);;WebP Image File (*.webp)",
                          "OpenFile: Open | All (*.*)"}));

    // The next showing: the download's full path in the Downloads folder; stored again
    // without a copy.
    form.show();
    QCOMPARE(form.Link->EditURL->text(), Q(f.Downloads() + "File1.pdf"));
    QVERIFY(form.Link->ButtonFile->isEnabled());
    form.ButtonOK->click();
    QCOMPARE(record.URL, std::string("File1.pdf"));
    QVERIFY(!FileExists(f.Downloads() + "File2.pdf"));
}

void TContentDialogsTest::footOkWithoutChangeStillSaves() {
    TContentFixture f;
    TDFoot& record = f.Project().FOOT;
    record.COPYRIGHT = "(c) Us";
    record.ADDRESS = "Main Street 1";
    record.TEL = "123";
    record.FAX = "456";
    record.EMAIL = "us@example.com";
    record.POSITION = "Left";
    f.Project().Save();
    // The file changed behind the project's back: OK writes every field again.
    {
        TStoredProject other(f.Folder());
        other.Project.FOOT.TEL = "changed on disk";
        other.Project.TOPIC.CAPTION = "changed on disk";
        other.Project.Save();
    }
    TFormFoot form(f.Workspace, f.Prompter);
    form.show();
    const struct {
        QLineEdit* Edit;
        const char* Text;
    } shown[] = {{form.EditCopyright, "(c) Us"},
                 {form.EditAddress, "Main Street 1"},
                 {form.EditTel, "123"},
                 {form.EditFax, "456"},
                 {form.EditEmail, "us@example.com"}};
    for (const auto& s : shown)
        QCOMPARE(s.Edit->text(), QString::fromLatin1(s.Text));
    QCOMPARE(form.ComboBoxPosition->currentText(), QStringLiteral("Left"));
    // Enter in an edit presses OK.
    QTest::keyClick(form.EditTel, Qt::Key_Return);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    TStoredProject stored(f.Folder());
    QCOMPARE(stored.Project.FOOT.COPYRIGHT, std::string("(c) Us"));
    QCOMPARE(stored.Project.FOOT.ADDRESS, std::string("Main Street 1"));
    QCOMPARE(stored.Project.FOOT.TEL, std::string("123"));
    QCOMPARE(stored.Project.FOOT.FAX, std::string("456"));
    QCOMPARE(stored.Project.FOOT.EMAIL, std::string("us@example.com"));
    QCOMPARE(stored.Project.FOOT.POSITION, std::string("Left"));
    QCOMPARE(stored.Project.TOPIC.CAPTION, f.Project().TOPIC.CAPTION);
}

void TContentDialogsTest::unlistedPositionsStoreEmpty() {
    TContentFixture f;
    TDProject& p = f.Project();
    p.WELCOME.POSITION = "Date In The Middle";
    p.TOPIC.POSITION = "left (horizontal)";
    p.MENU.POSITION = "";
    p.HOTSPOT.POSITION = "Bottom";
    p.FOOT.POSITION = "Centre";
    TFormWelcome welcome(f.Workspace, f.Prompter);
    TFormTopic topic(f.Workspace, f.Prompter);
    TFormMenu menu(f.Workspace, f.Prompter);
    TFormHotspot hotspot(f.Workspace, f.Prompter);
    TFormFoot foot(f.Workspace, f.Prompter);
    const struct {
        TDialogForm* Form;
        QComboBox* List;
        const std::string* Position;
    } cases[] = {
        {&welcome, welcome.ComboBoxPosition, &p.WELCOME.POSITION},
        {&topic, topic.ComboBoxPosition, &p.TOPIC.POSITION},
        {&menu, menu.ComboBoxPosition, &p.MENU.POSITION},
        {&hotspot, hotspot.ComboBoxPosition, &p.HOTSPOT.POSITION},
        {&foot, foot.ComboBoxPosition, &p.FOOT.POSITION},
    };
    for (const auto& c : cases) {
        c.Form->show();
        QCOMPARE(c.List->currentIndex(), -1);
        c.Form->ButtonOK->click();
        QCOMPARE(*c.Position, std::string());
    }
    TStoredProject stored(f.Folder());
    for (const std::string& position :
         {stored.Project.WELCOME.POSITION, stored.Project.TOPIC.POSITION,
          stored.Project.MENU.POSITION, stored.Project.HOTSPOT.POSITION,
          stored.Project.FOOT.POSITION})
        QCOMPARE(position, std::string());
}

void TContentDialogsTest::columnDialogOnAColumnAndOnALink() {
    TContentFixture f;
    TDMenuItem& news = f.Project().MenuItem(0);
    news.STYLE = "Contents";
    news.URL = "kept for a column";
    news.SHOW_AUTHOR = true;
    news.SHOW_DATE = false;
    news.HAS_BORDER = true;
    TDMenuItem& link = f.Project().MenuItem(1);
    link.URL = "http://example.com";
    link.SHOW_AUTHOR = false;
    link.SHOW_DATE = true;
    link.HAS_BORDER = false;
    const std::string linkStyle = link.STYLE;
    TFormColumn form(f.Workspace, f.Prompter);

    // A column: the style list, the check boxes enabled.
    f.Project().CurrentItem = 0;
    form.show();
    QCOMPARE(form.EditTitle->text(), QStringLiteral("News"));
    QCOMPARE(form.ComboBoxStyle->currentText(), QStringLiteral("Contents"));
    QVERIFY(form.LabelStyle->isVisible() && form.ComboBoxStyle->isVisible());
    QVERIFY(!form.LabelURL->isVisible() && !form.EditURL->isVisible());
    QCOMPARE(form.EditURL->text(), QStringLiteral("kept for a column"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Column"));
    for (QCheckBox* box : {form.CheckBoxShowAuthor, form.CheckBoxShowDate, form.CheckBoxHasBorder})
        QVERIFY(box->isVisible() && box->isEnabled());
    form.EditTitle->setText(QStringLiteral("Latest News"));
    form.ComboBoxStyle->setCurrentIndex(5);
    form.CheckBoxShowDate->click();
    form.CheckBoxHasBorder->click();
    form.ButtonOK->click();

    // A link, in a dialog titled "Link": "URL:" in the place of "Style:", the column's check
    // boxes not shown, their states kept.
    f.Project().CurrentItem = 1;
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Link"));
    QCOMPARE(form.EditTitle->text(), QStringLiteral("Elsewhere"));
    QVERIFY(!form.LabelStyle->isVisible() && !form.ComboBoxStyle->isVisible());
    QVERIFY(form.LabelURL->isVisible() && form.EditURL->isVisible());
    QCOMPARE(form.LabelURL->text(), QStringLiteral("URL:"));
    QCOMPARE(form.EditURL->text(), QStringLiteral("http://example.com"));
    // The link's style is not one of the list's items.
    QVERIFY(!linkStyle.empty() && form.ComboBoxStyle->currentIndex() == -1);
    const bool states[] = {false, true, false};
    int i = 0;
    for (QCheckBox* box :
         {form.CheckBoxShowAuthor, form.CheckBoxShowDate, form.CheckBoxHasBorder}) {
        QVERIFY(!box->isVisible());
        QCOMPARE(box->isChecked(), states[i++]);
    }
    form.EditTitle->setText(QString());
    form.EditURL->setText(QStringLiteral("mailto:us@example.com"));
    form.ButtonOK->click();

    TStoredProject stored(f.Folder());
    const struct {
        int Index;
        std::string Title, Column, Style, Url;
        bool Author, Date, Border;
    } expected[] = {
        {0, "Latest News", news.COLUMN, "Pictures List (3 columns)", "kept for a column", true,
         true, false},
        {1, "", "", "", "mailto:us@example.com", false, true, false},
    };
    for (const TDProject* p : {&f.Project(), &stored.Project})
        for (const auto& e : expected) {
            const TDMenuItem& item = p->MenuItem(e.Index);
            QCOMPARE(item.TITLE, e.Title);
            QCOMPARE(item.COLUMN, e.Column);
            QCOMPARE(item.STYLE, e.Style);
            QCOMPARE(item.URL, e.Url);
            QCOMPARE(item.SHOW_AUTHOR, e.Author);
            QCOMPARE(item.SHOW_DATE, e.Date);
            QCOMPARE(item.HAS_BORDER, e.Border);
        }
    QVERIFY(!news.COLUMN.empty());
}

void TContentDialogsTest::pageRoundTrip() {
    TContentFixture f;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->CurrentPage = 1;
    TDPage& record = column->Page(1);
    record.AUTHOR = "Ann";
    record.DATE = "24.12.2021";
    record.TEXT = "first#$D#$Asecond";
    record.LINK = "Read on";
    record.KIND = "Link";
    record.URL = "http://example.com/on";
    TFormPage form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(form.EditTitle->text(), QStringLiteral("Second"));
    QCOMPARE(form.EditAuthor->text(), QStringLiteral("Ann"));
    QCOMPARE(form.DateTimePicker->date(), QDate(2021, 12, 24));
    QCOMPARE(form.DateTimePicker->displayFormat(), QStringLiteral("dd.MM.yyyy"));
    QVERIFY(!form.PicturePicture->CheckBox->isChecked());
    QVERIFY(!form.PicturePicture->ButtonPicture->isEnabled());
    // Two lines in the memo.
    QCOMPARE(form.MemoText->blockCount(), 2);
    QCOMPARE(form.MemoText->toPlainText(), QStringLiteral("first\nsecond"));
    QCOMPARE(form.Link->EditLink->text(), QStringLiteral("Read on"));
    QCOMPARE(form.Link->ComboBoxKind->currentText(), QStringLiteral("Link"));
    QCOMPARE(form.Link->EditURL->text(), QStringLiteral("http://example.com/on"));

    form.EditTitle->setText(QStringLiteral("Second, edited"));
    form.EditAuthor->clear();
    form.DateTimePicker->setDate(QDate(2022, 1, 2));
    // Typed: a third line, and a lone LF from the stored form stays one.
    form.MemoText->moveCursor(QTextCursor::End);
    QTest::keyClick(form.MemoText, Qt::Key_Return);
    QTest::keyClicks(form.MemoText, QStringLiteral("third"));
    form.Link->ComboBoxKind->setCurrentIndex(1);
    form.Link->EditURL->setText(QStringLiteral("ann@example.com"));
    form.ButtonOK->click();
    QCOMPARE(form.result(), int(QDialog::Accepted));

    const TDPage stored = TStoredPage(f.ColumnFile(), 1).Page;
    for (const TDPage* p : {static_cast<const TDPage*>(&record), &stored}) {
        QCOMPARE(p->TITLE, std::string("Second, edited"));
        QCOMPARE(p->AUTHOR, std::string());
        QCOMPARE(p->DATE, std::string("02.01.2022"));
        QCOMPARE(p->PICTURE, std::string());
        QCOMPARE(p->PICTURE_WIDTH, 0);
        QCOMPARE(p->TEXT, std::string("first#$D#$Asecond#$D#$Athird"));
        QCOMPARE(p->LINK, std::string("Read on"));
        QCOMPARE(p->KIND, std::string("E-mail"));
        QCOMPARE(p->URL, std::string("ann@example.com"));
    }
    // The other page is untouched.
    QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.TITLE, std::string("First"));

    // A lone LF in the stored text comes back as it was; a kind not in the list is shown
    // unselected and stored empty.
    record.TEXT = "lone\nfeed#$D#$Anext";
    record.KIND = "Mail";
    form.show();
    QCOMPARE(form.MemoText->blockCount(), 2);
    QCOMPARE(form.Link->ComboBoxKind->currentIndex(), -1);
    QVERIFY(!form.Link->ButtonFile->isEnabled());
    form.ButtonOK->click();
    const TDPage again = TStoredPage(f.ColumnFile(), 1).Page;
    QCOMPARE(again.TEXT, std::string("lone\nfeed#$D#$Anext"));
    QCOMPARE(again.KIND, std::string());
    QCOMPARE(again.URL, std::string("ann@example.com"));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TContentDialogsTest::pageDates() {
    TContentFixture f;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->CurrentPage = 0;
    TFormPage form(f.Workspace, f.Prompter);
    const TDate t = Today();
    const QDate today(t.Year, t.Month, t.Day);
    // Not a date in the short form: today is shown, and stored only by OK.
    for (const char* stored : {"yesterday", "12/31/2020", "31.02.2020", ""}) {
        column->Page(0).DATE = stored;
        column->Save();
        form.show();
        QCOMPARE(form.DateTimePicker->date(), today);
        form.reject();
        QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.DATE, std::string(stored));
        form.show();
        form.ButtonOK->click();
        QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.DATE, TodayShortDate());
    }
    // Another short date form: the picker shows and stores it.
    SetShortDatePattern("%m/%d/%Y");
    column->Page(0).DATE = "07/04/2021";
    form.show();
    QCOMPARE(form.DateTimePicker->date(), QDate(2021, 7, 4));
    QCOMPARE(form.DateTimePicker->displayFormat(), QStringLiteral("MM/dd/yyyy"));
    form.DateTimePicker->setDate(QDate(2021, 7, 5));
    form.ButtonOK->click();
    QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.DATE, std::string("07/05/2021"));
}

void TContentDialogsTest::pagePictureCopies() {
    TContentFixture f;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    TFormPage form(f.Workspace, f.Prompter);
    f.Put("bands.jpg", f.AppImages("Photo.jpg"));
    f.Put("bands.jpg", f.AppImages("LOUD.JPG"));
    f.Put("bands.gif", f.Images() + "Own.gif");
    // Picks for page 0, then page 1, then page 0 again, and what each stores.
    const struct {
        int Page;
        std::string Picked;
        std::string Stored;
    } picks[] = {
        {0, f.AppImages("Photo.jpg"), "File1.jpg"},
        {1, f.AppImages("Photo.jpg"), "File2.jpg"},
        {0, f.AppImages("LOUD.JPG"), "File1.JPG"},
        // From the project's own Images folder: its own name, no copy.
        {1, f.Images() + "Own.gif", "Own.gif"},
    };
    for (const auto& p : picks) {
        column->CurrentPage = p.Page;
        form.show();
        if (!form.PicturePicture->CheckBox->isChecked())
            form.PicturePicture->CheckBox->click();
        f.Prompter.Files.push_back(Q(p.Picked));
        form.PicturePicture->ButtonPicture->click();
        form.ButtonOK->click();
        const TDPage stored = TStoredPage(f.ColumnFile(), p.Page).Page;
        QCOMPARE(stored.PICTURE, p.Stored);
        QCOMPARE(stored.PICTURE_WIDTH, 48);
        QCOMPARE(stored.PICTURE_HEIGHT, 32);
        QCOMPARE(ReadFileBytes(f.Images() + p.Stored), ReadFileBytes(p.Picked));
    }
    std::vector<std::string> names;
    for (const TFileEntry& entry : ListFolder(f.Images()))
        names.push_back(entry.Name);
    QCOMPARE(names, (std::vector<std::string>{"File1.JPG", "File1.jpg", "File2.jpg", "Own.gif"}));

    // Shown again: the stored picture, ticked; unticking clears the name and both sizes and
    // the file stays.
    column->CurrentPage = 0;
    form.show();
    QVERIFY(form.PicturePicture->CheckBox->isChecked());
    QCOMPARE(form.PicturePicture->PicturePath(), f.Images() + "File1.JPG");
    form.PicturePicture->CheckBox->click();
    form.ButtonOK->click();
    const TDPage cleared = TStoredPage(f.ColumnFile(), 0).Page;
    QCOMPARE(cleared.PICTURE, std::string());
    QCOMPARE(cleared.PICTURE_WIDTH, 0);
    QCOMPARE(cleared.PICTURE_HEIGHT, 0);
    QVERIFY(FileExists(f.Images() + "File1.JPG"));

    // A stored picture that cannot be loaded: a note, and OK keeps name and sizes.
    column->Page(1).PICTURE = "Lost.gif";
    column->Page(1).PICTURE_WIDTH = 300;
    column->Page(1).PICTURE_HEIGHT = 200;
    column->CurrentPage = 1;
    form.show();
    QVERIFY(form.PicturePicture->CheckBox->isChecked());
    QCOMPARE(form.PicturePicture->Image->Note(), QStringLiteral("The picture cannot be shown"));
    form.ButtonOK->click();
    const TDPage kept = TStoredPage(f.ColumnFile(), 1).Page;
    QCOMPARE(kept.PICTURE, std::string("Lost.gif"));
    QCOMPARE(kept.PICTURE_WIDTH, 300);
    QCOMPARE(kept.PICTURE_HEIGHT, 200);
}

void TContentDialogsTest::pageDownloadsAndKinds() {
    TContentFixture f;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    TFormPage form(f.Workspace, f.Prompter);
    WriteFileBytes(f.Temp / "Files/Setup.tar.gz", "archive");
    for (int page : {0, 1}) {
        column->CurrentPage = page;
        form.show();
        // The column document keeps a link's kind and URL only with its text.
        form.Link->EditLink->setText(QStringLiteral("Get it"));
        form.Link->ComboBoxKind->setCurrentIndex(2);
        f.Prompter.Files.push_back(Q(f.Temp / "Files/Setup.tar.gz"));
        form.Link->ButtonFile->click();
        form.ButtonOK->click();
    }
    QCOMPARE(Q(TStoredPage(f.ColumnFile(), 0).Page.URL), QStringLiteral("File1.gz"));
    QCOMPARE(Q(TStoredPage(f.ColumnFile(), 1).Page.URL), QStringLiteral("File2.gz"));
    QCOMPARE(ReadFileBytes(f.Downloads() + "File2.gz"), std::string("archive"));

    // The next showing shows the full path; switched to "Link", that full path is stored as
    // typed.
    column->CurrentPage = 1;
    form.show();
    QCOMPARE(form.Link->EditURL->text(), Q(f.Downloads() + "File2.gz"));
    form.Link->ComboBoxKind->setCurrentIndex(0);
    QVERIFY(!form.Link->ButtonFile->isEnabled());
    QCOMPARE(form.Link->EditURL->text(), Q(f.Downloads() + "File2.gz"));
    form.ButtonOK->click();
    const TDPage stored = TStoredPage(f.ColumnFile(), 1).Page;
    QCOMPARE(stored.KIND, std::string("Link"));
    QCOMPARE(stored.URL, f.Downloads() + "File2.gz");

    // A download that cannot be copied is stored by its name, without a message.
    column->CurrentPage = 0;
    form.show();
    form.Link->EditURL->setText(Q(f.Temp / "Files/Gone.zip"));
    form.ButtonOK->click();
    QCOMPARE(TStoredPage(f.ColumnFile(), 0).Page.URL, std::string("Gone.zip"));
    QVERIFY(!FileExists(f.Downloads() + "File1.zip"));
}

void TContentDialogsTest::pageDisplayOfThePreviewSurvives() {
    TContentFixture f;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->CurrentPage = 0;
    WriteHalvesJpeg(f.Images() + "Wide.jpg", 400, 300);
    column->Page(0).PICTURE = "Wide.jpg";
    TFormPage form(f.Workspace, f.Prompter);
    form.show();
    QCOMPARE(form.PicturePicture->ButtonSize->text(), QStringLiteral("<>"));
    QCOMPARE(form.PicturePicture->Image->DrawnRect(), QRect(0, 0, 160, 120));
    form.PicturePicture->ButtonSize->click();
    QCOMPARE(form.PicturePicture->ButtonSize->text(), QStringLiteral("><"));
    form.reject();
    // Another page, another showing: the natural display stays.
    column->CurrentPage = 1;
    column->Page(1).PICTURE = "Wide.jpg";
    form.show();
    QCOMPARE(form.PicturePicture->ButtonSize->text(), QStringLiteral("><"));
    QCOMPARE(form.PicturePicture->Image->DrawnRect(), QRect(0, 0, 400, 300));
    form.PicturePicture->ButtonSize->click();
    QCOMPARE(form.PicturePicture->ButtonSize->text(), QStringLiteral("<>"));
    form.ButtonOK->click();
    QCOMPARE(TStoredPage(f.ColumnFile(), 1).Page.PICTURE_WIDTH, 400);
}

void TContentDialogsTest::cancelWritesNothing() {
    TContentFixture f;
    f.Project().CurrentItem = 0;
    TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
    column->CurrentPage = 0;
    WriteFileBytes(f.Temp / "Files/Report.pdf", "report");
    const auto before = Snapshot(f.Folder());

    TFormWelcome welcome(f.Workspace, f.Prompter);
    TFormTopic topic(f.Workspace, f.Prompter);
    TFormMenu menu(f.Workspace, f.Prompter);
    TFormHotspot hotspot(f.Workspace, f.Prompter);
    TFormFoot foot(f.Workspace, f.Prompter);
    TFormColumn columnForm(f.Workspace, f.Prompter);
    TFormPage page(f.Workspace, f.Prompter);
    // Each dialog changed, then closed by Cancel, Esc or its close box.
    const struct {
        TDialogForm* Form;
        std::function<void()> Change;
    } cases[] = {
        {&welcome, [&] { welcome.CheckBoxHasContact->click(); }},
        {&topic, [&] { topic.EditCaption->setText("x"); }},
        {&menu, [&] { menu.TrackBarSpace->setValue(3); }},
        {&hotspot,
         [&] {
             hotspot.EditTitle->setText("x");
             hotspot.Link->ComboBoxKind->setCurrentIndex(2);
             hotspot.Link->EditURL->setText(Q(f.Temp / "Files/Report.pdf"));
         }},
        {&foot, [&] { foot.EditTel->setText("x"); }},
        {&columnForm, [&] { columnForm.EditTitle->setText("x"); }},
        {&page,
         [&] {
             page.PicturePicture->CheckBox->click();
             f.Prompter.Files.push_back(Q(f.Put("bands.gif", f.AppImages("B.gif"))));
             page.PicturePicture->ButtonPicture->click();
         }},
    };
    int way = 0;
    for (const auto& c : cases) {
        c.Form->show();
        c.Change();
        if (way % 3 == 0)
            c.Form->ButtonCancel->click();
        else if (way % 3 == 1)
            QTest::keyClick(c.Form, Qt::Key_Escape);
        else
            c.Form->close();
        ++way;
        QCOMPARE(c.Form->result(), int(QDialog::Rejected));
        QVERIFY(!c.Form->isVisible());
    }
    QVERIFY(Snapshot(f.Folder()) == before);
    QCOMPARE(f.Project().TOPIC.CAPTION, TDTopic().CAPTION);
    QCOMPARE(column->Page(0).PICTURE, std::string());
}

void TContentDialogsTest::missingRecordsShowNothing() {
    TContentFixture f;
    TFormColumn columnForm(f.Workspace, f.Prompter);
    TFormPage page(f.Workspace, f.Prompter);
    TFormFoot foot(f.Workspace, f.Prompter);
    auto refused = [](TDialogForm& form) {
        try {
            form.Execute();
        } catch (const TError& error) {
            return QString::fromUtf8(error.what());
        }
        return QStringLiteral("(shown)");
    };
    f.Project().CurrentItem = 2;
    QCOMPARE(refused(columnForm), QStringLiteral("No menu item is chosen to edit."));
    QCOMPARE(refused(page), QStringLiteral("No page is chosen to edit."));
    {
        TColumnInUse column(f.ColumnFile(), f.Workspace.XMLDoc);
        column->CurrentPage = 2;
        QCOMPARE(refused(page), QStringLiteral("No page is chosen to edit."));
    }
    f.Workspace.Project.reset();
    QCOMPARE(refused(foot), QStringLiteral("No project is open."));
    QVERIFY(!columnForm.isVisible() && !page.isVisible() && !foot.isVisible());
}

void TContentDialogsTest::mainWindowOpensTheDialogs() {
    TTempFolder temp;
    TFieldPrompter prompter;
    MakeFolder(temp / "Projects");
    MakeProject(temp / "Projects/Site", {{"News", {"First"}}, {"Elsewhere", {}, true}});
    TProgram program(temp.Path() + "/", prompter);
    TFormMain& main = *program.FormMain;
    main.show();
    program.Workspace.Project =
        std::make_unique<TDProject>(temp / "Projects/Site", program.Workspace.XMLDoc);
    main.SetProjectOpen(true);
    main.FillTree();
    auto runAndLoad = [&](QAction* action) {
        QSignalSpy loaded(main.WebBrowser, &QWebEngineView::loadFinished);
        action->trigger();
        return loaded.count() > 0 || loaded.wait(20000);
    };

    // Information on a page: the page dialog edits that page of its column.
    main.TreeView->setCurrentItem(main.TreeView->topLevelItem(0)->child(0));
    auto answered = AnswerModal(program.FormPage, [&] {
        QCOMPARE(program.FormPage->EditTitle->text(), QStringLiteral("First"));
        program.FormPage->EditTitle->setText(QStringLiteral("First, renamed"));
        program.FormPage->ButtonOK->click();
    });
    QVERIFY(runAndLoad(main.MenuInformation));
    QVERIFY(*answered);
    QCOMPARE(main.TreeView->topLevelItem(0)->child(0)->text(0), QStringLiteral("First, renamed"));
    QCOMPARE(PageTitles(program.Workspace.Project->ColumnFile(0)),
             std::vector<std::string>{"First, renamed"});
    QVERIFY(CurrentColumn == nullptr);

    // Information on the link: the column dialog on menu item 1.
    main.TreeView->setCurrentItem(main.TreeView->topLevelItem(1));
    answered = AnswerModal(program.FormColumn, [&] {
        QVERIFY(program.FormColumn->EditURL->isVisible());
        program.FormColumn->EditTitle->setText(QStringLiteral("Partner"));
        program.FormColumn->ButtonOK->click();
    });
    QVERIFY(runAndLoad(main.MenuInformation));
    QVERIFY(*answered);
    QCOMPARE(main.TreeView->topLevelItem(1)->text(0), QStringLiteral("Partner"));
    QCOMPARE(MenuTitles(temp / "Projects/Site"), (std::vector<std::string>{"News", "Partner"}));

    // The Page menu: OK refreshes the preview with the new caption.
    answered = AnswerModal(program.FormTopic, [&] {
        program.FormTopic->EditCaption->setText(QStringLiteral("Fresh Caption"));
        program.FormTopic->ButtonOK->click();
    });
    QVERIFY(runAndLoad(main.MenuTopic));
    QVERIFY(*answered);
    QVERIFY(ReadFileBytes(program.Workspace.Project->PreviewFile()).find("Fresh Caption") !=
            std::string::npos);
    for (auto [action, form] :
         {std::pair<QAction*, QDialog*>{main.MenuWelcomeBar, program.FormWelcome},
          {main.MenuMenu, program.FormMenu},
          {main.MenuHotspot, program.FormHotspot},
          {main.MenuFoot, program.FormFoot}}) {
        answered = AnswerModal(form, [form = form] { form->reject(); });
        action->trigger();
        QVERIFY(*answered);
    }
    QVERIFY(prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TContentDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ContentDialogsTest.moc"
