// The Frame, Size, Font and Language dialogs: show, OK and Cancel, the sliders with their
// labels and clamping, the lists that select by text, and translations written while typed.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "model/CFont.h"
#include "model/CFrame.h"
#include "ui/ColorSwatch.h"
#include "ui/FColor.h"
#include "ui/FFont.h"
#include "ui/FFrame.h"
#include "ui/FLanguage.h"
#include "ui/FMain.h"
#include "ui/FSize.h"
#include "ui/PictureField.h"
#include "ui/StyleControls.h"
#include "ui/Workspace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <QWebEngineView>

#include <functional>
#include <memory>
#include <vector>

namespace {

QStringList ComboItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QStringList ListLines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

// An application folder with one open project.
struct TFixture {
    TFixture() : Workspace(Temp.Path() + "/") {
        MakeFolder(Temp / "Projects");
        Folder = Workspace.ProjectsFolder() + "Site";
        MakeProject(Folder, {{"News", {"One"}}});
        Reopen();
    }
    // Opens the project again from its file, as Open would.
    void Reopen() {
        Workspace.Project.reset();
        Workspace.Project = std::make_unique<TDProject>(Folder, Workspace.XMLDoc);
    }
    TDProject& Project() { return *Workspace.Project; }
    // The project as its file holds it.
    std::unique_ptr<TDProject> Saved() { return std::make_unique<TDProject>(Folder, Document); }
    void Show(QDialog& dialog) {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }

    TTempFolder Temp;
    TWorkspace Workspace;
    std::string Folder;
    TXmlDocument Document;
};

// What a slider offers and shows.
struct TSliderPlan {
    const TTrackBarField* Field;
    const char* TrackBarName;
    const char* LabelName;
    const char* Prefix;
    int Minimum, Maximum, PageStep;
};

void CheckSliders(const std::vector<TSliderPlan>& plans) {
    for (const TSliderPlan& p : plans) {
        QCOMPARE(p.Field->TrackBar->objectName(), QString::fromLatin1(p.TrackBarName));
        QCOMPARE(p.Field->Label->objectName(), QString::fromLatin1(p.LabelName));
        QCOMPARE(p.Field->TrackBar->minimum(), p.Minimum);
        QCOMPARE(p.Field->TrackBar->maximum(), p.Maximum);
        QCOMPARE(p.Field->TrackBar->pageStep(), p.PageStep);
        QCOMPARE(p.Field->TrackBar->tickInterval(), p.PageStep);
        QCOMPARE(p.Field->TrackBar->singleStep(), 1);
        QCOMPARE(p.Field->TrackBar->orientation(), Qt::Horizontal);
        QCOMPARE(p.Field->Label->text(),
                 QString::fromLatin1(p.Prefix) + QString::number(p.Field->Value()) + ")");
    }
}

} // namespace

class TStyleDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void frameControlsAndDrawings();
    void frameLayoutsRoundTrip();
    void frameHomepageBoxesAndPicture();
    void sizeControls();
    void sizeScreensRoundTrip();
    void sizeSlidersClampAndLabel();
    void sizeCancelWritesNothing();
    void fontControls();
    void fontShowAndOK();
    void fontClampsAndDropsUnknownTexts();
    void fontNotesEncodingsWrittenAsUtf8();
    void languageListsAndWritesWhileTyping();
    void languageCancelRestoresTheTable();
    void languageWritesOnlyIntoASelectedLine();
    void everyStyleDialogThroughTheMainWindow();
};

void TStyleDialogsTest::frameControlsAndDrawings() {
    TFixture f;
    TScriptedPrompter prompter;
    TFormFrame form(f.Workspace, prompter);
    f.Show(form);
    QCOMPARE(form.windowTitle(), QStringLiteral("Frame"));
    for (int i = 0; i < 6; ++i) {
        QRadioButton* button = form.RadioButton[std::size_t(i)];
        QCOMPARE(button->objectName(), QStringLiteral("RadioButton%1").arg(i + 1));
        QCOMPARE(button->text(), QString());
        QVERIFY(button->autoExclusive() || button->group());
        QVERIFY(!form.ImageFrame[std::size_t(i)]->pixmap().isNull());
    }
    const std::vector<std::pair<QCheckBox*, const char*>> boxes = {
        {form.CheckBoxWelcome, "Has Welcome Bar"},
        {form.CheckBoxNoMargin, "No Margin"},
        {form.CheckBoxHotspot, "Has Hotspot Column"},
        {form.CheckBoxOnLeft, "Page On Left"}};
    for (const auto& [box, caption] : boxes)
        QCOMPARE(box->text(), QString::fromLatin1(caption));
    QCOMPARE(ComboItems(form.ComboBoxHomepage), QStringList({"Default", "Index"}));
    QVERIFY(!form.ComboBoxHomepage->isEditable());
    QCOMPARE(form.PictureBackground->CheckBox->text(), QStringLiteral("Has Background"));
    QCOMPARE(form.PictureBackground->CheckBox->objectName(),
             QStringLiteral("CheckBoxHasBackground"));

    // Each drawing puts the topic, menu, text and foot where its layout does: what lies at
    // the top middle, the bottom left, the left middle and the bottom right.
    const QColor topic(70, 110, 180), menu(230, 170, 70), text(255, 255, 255), foot(110, 170, 110);
    struct Case {
        QColor topMiddle, bottomLeft, leftMiddle, bottomRight;
    } cases[] = {{topic, foot, text, foot}, {menu, foot, text, foot}, {topic, foot, menu, foot},
                 {topic, menu, menu, foot}, {text, foot, menu, foot}, {text, menu, menu, foot}};
    for (int i = 0; i < 6; ++i) {
        const QImage drawing = FrameLayoutDrawing(i);
        const int w = drawing.width(), h = drawing.height();
        const Case& c = cases[i];
        QCOMPARE(QColor(drawing.pixel(w * 2 / 3, 3)), c.topMiddle);
        QCOMPARE(QColor(drawing.pixel(2, h - 4)), c.bottomLeft);
        QCOMPARE(QColor(drawing.pixel(2, h / 2)), c.leftMiddle);
        QCOMPARE(QColor(drawing.pixel(w - 6, h - 4)), c.bottomRight);
    }
    // A click on a drawing selects its layout.
    QTest::mouseClick(form.ImageFrame[4], Qt::LeftButton);
    QVERIFY(form.RadioButton[4]->isChecked());
    QVERIFY(!form.RadioButton[0]->isChecked());
}

void TStyleDialogsTest::frameLayoutsRoundTrip() {
    TFixture f;
    TScriptedPrompter prompter;
    TFormFrame form(f.Workspace, prompter);
    std::vector<std::pair<std::string, int>> cases;
    for (int i = 0; i < 6; ++i)
        cases.push_back({FrameLayouts[i], i});
    // Names are compared exactly: anything else shows (and stores) the first layout.
    cases.push_back({"topic on top menu on top", 0});
    cases.push_back({"Menu on left foot on bottom ", 0});
    cases.push_back({"", 0});
    for (const auto& [stored, button] : cases) {
        f.Project().FRAME.FRAME = stored;
        f.Show(form);
        QCOMPARE(form.focusWidget(), form.RadioButton[0]);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(form.RadioButton[std::size_t(i)]->isChecked(), i == button);
        QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(f.Saved()->FRAME.FRAME, std::string(FrameLayouts[button]));
    }
    // The user's pick, by keyboard on the buttons.
    f.Show(form);
    QTest::mouseClick(form.RadioButton[5], Qt::LeftButton);
    QTest::keyClick(&form, Qt::Key_Return);
    QCOMPARE(f.Saved()->FRAME.FRAME, std::string("Topic on left foot on right"));
    // Cancel stores nothing.
    const auto files = Snapshot(f.Folder);
    f.Show(form);
    QTest::mouseClick(form.RadioButton[1], Qt::LeftButton);
    QTest::keyClick(&form, Qt::Key_Escape);
    QCOMPARE(f.Project().FRAME.FRAME, std::string("Topic on left foot on right"));
    QVERIFY(Snapshot(f.Folder) == files);
}

void TStyleDialogsTest::frameHomepageBoxesAndPicture() {
    TFixture f;
    TScriptedPrompter prompter;
    TFormFrame form(f.Workspace, prompter);
    struct Case {
        const char* homepage;
        int item;
        const char* stored;
        bool welcome, margin, hotspot, left;
    } cases[] = {{"Default", 0, "Default", true, false, false, false},
                 {"Index", 1, "Index", false, true, true, true},
                 {"index", -1, "", true, true, false, false},
                 {"Home", -1, "", false, false, true, true}};
    for (const Case& c : cases) {
        TDFrame& frame = f.Project().FRAME;
        frame.HOMEPAGE = c.homepage;
        frame.HAS_WELCOME = c.welcome;
        frame.NO_MARGIN = c.margin;
        frame.HAS_HOTSPOT = c.hotspot;
        frame.ON_LEFT = c.left;
        f.Show(form);
        QCOMPARE(form.ComboBoxHomepage->currentIndex(), c.item);
        QCOMPARE(form.CheckBoxWelcome->isChecked(), c.welcome);
        QCOMPARE(form.CheckBoxNoMargin->isChecked(), c.margin);
        QCOMPARE(form.CheckBoxHotspot->isChecked(), c.hotspot);
        QCOMPARE(form.CheckBoxOnLeft->isChecked(), c.left);
        QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
        const auto saved = f.Saved();
        QCOMPARE(saved->FRAME.HOMEPAGE, std::string(c.stored));
        QCOMPARE(saved->FRAME.HAS_WELCOME, c.welcome);
        QCOMPARE(saved->FRAME.NO_MARGIN, c.margin);
        QCOMPARE(saved->FRAME.HAS_HOTSPOT, c.hotspot);
        QCOMPARE(saved->FRAME.ON_LEFT, c.left);
    }
    // The user's choices: every box flipped and the homepage picked.
    f.Show(form);
    for (QCheckBox* box :
         {form.CheckBoxWelcome, form.CheckBoxNoMargin, form.CheckBoxHotspot, form.CheckBoxOnLeft})
        box->click();
    form.ComboBoxHomepage->setCurrentIndex(1);
    // The background picture: ticked and picked, copied as "Background" + extension.
    form.PictureBackground->CheckBox->click();
    prompter.Files.push_back(Q(SamplePicture("bands.gif")));
    QTest::mouseClick(form.PictureBackground->ButtonPicture, Qt::LeftButton);
    QCOMPARE(prompter.Calls.filter("OpenFile").size(), 1);
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    const auto saved = f.Saved();
    QCOMPARE(saved->FRAME.HOMEPAGE, std::string("Index"));
    QCOMPARE(saved->FRAME.HAS_WELCOME, true);
    QCOMPARE(saved->FRAME.NO_MARGIN, true);
    QCOMPARE(saved->FRAME.HAS_HOTSPOT, false);
    QCOMPARE(saved->FRAME.ON_LEFT, false);
    QCOMPARE(saved->FRAME.BACKGROUND, std::string("Background.gif"));
    QCOMPARE(ReadFileBytes(f.Project().ImagesPath() + "Background.gif"),
             ReadFileBytes(SamplePicture("bands.gif")));
    // Shown again, the stored picture is there; unticked, OK stores no background.
    f.Show(form);
    QVERIFY(form.PictureBackground->CheckBox->isChecked());
    QVERIFY(form.PictureBackground->Image->HasPicture());
    form.PictureBackground->CheckBox->click();
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Saved()->FRAME.BACKGROUND, std::string());
}

void TStyleDialogsTest::sizeControls() {
    TFixture f;
    TFormSize form(f.Workspace);
    f.Show(form);
    QCOMPARE(form.windowTitle(), QStringLiteral("Size"));
    QCOMPARE(form.RadioButton640->text(), QStringLiteral("For 640 * 480 Screen ( 610 )"));
    QCOMPARE(form.RadioButton800->text(), QStringLiteral("For 800 * 600 Screen ( 750 )"));
    QCOMPARE(form.RadioButtonAuto->text(), QStringLiteral("Auto ( 100% )"));
    QVERIFY(form.ButtonOK->isDefault());
    QCOMPARE(form.ButtonOK->text(), QStringLiteral("OK"));
    QCOMPARE(form.ButtonCancel->text(), QStringLiteral("Cancel"));
    CheckSliders({
        {&form.WelcomeHeight, "TrackBarWelcomeHeight", "LabelWelcomeHeight",
         "Welcome Bar Height: (", 10, 80, 5},
        {&form.TopicHeight, "TrackBarTopicHeight", "LabelTopicHeight", "Topic Height: (", 20, 160,
         5},
        {&form.MenuHeight, "TrackBarMenuHeight", "LabelMenuHeight", "Menu (On Top) Height: (", 10,
         80, 5},
        {&form.TextHeight, "TrackBarTextHeight", "LabelTextHeight", "Text Height: (", 200, 500, 10},
        {&form.FootHeight, "TrackBarFootHeight", "LabelFootHeight", "Foot Height: (", 20, 160, 5},
        {&form.MenuWidth, "TrackBarMenuWidth", "LabelMenuWidth", "Menu (On Left) Width: (", 60, 300,
         10},
        {&form.HotspotWidth, "TrackBarHotspotWidth", "LabelHotspotWidth", "Hotspot Width: (", 60,
         300, 10},
    });
    // The defaults as shown: 16 for the welcome bar.
    QCOMPARE(form.WelcomeHeight.Label->text(), QStringLiteral("Welcome Bar Height: (16)"));
    // The drawing of the page's regions, each with its tool tip.
    QStringList hints{form.ImagePage->toolTip()};
    for (QWidget* region : form.ImagePage->findChildren<QWidget*>())
        hints << region->toolTip();
    QCOMPARE(hints, QStringList({"Page", "Topic", "Menu (On Top)", "Welcome Bar", "Menu (On Left)",
                                 "Foot", "Hotspot Column"}));
}

void TStyleDialogsTest::sizeScreensRoundTrip() {
    struct Case {
        const char* stored;
        int checked; // 0: 640, 1: 800, 2: Auto
        const char* saved;
    } cases[] = {{"610", 0, "610"},   {"750", 1, "750"}, {"100%", 2, "100%"},
                 {"1024", 2, "100%"}, {"", 2, "100%"},   {" 610", 2, "100%"}};
    TFixture f;
    TFormSize form(f.Workspace);
    for (const Case& c : cases) {
        f.Project().SIZE.SCREEN = c.stored;
        f.Show(form);
        const QRadioButton* buttons[] = {form.RadioButton640, form.RadioButton800,
                                         form.RadioButtonAuto};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(buttons[i]->isChecked(), i == c.checked);
        QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(f.Project().SIZE.SCREEN, std::string(c.saved));
        QCOMPARE(f.Saved()->SIZE.SCREEN, std::string(c.saved));
    }
    // The user's choice is stored.
    f.Show(form);
    QTest::mouseClick(form.RadioButton800, Qt::LeftButton);
    QTest::keyClick(&form, Qt::Key_Return);
    QCOMPARE(f.Saved()->SIZE.SCREEN, std::string("750"));
}

void TStyleDialogsTest::sizeSlidersClampAndLabel() {
    TFixture f;
    TDSize& size = f.Project().SIZE;
    size.WELCOME_HEIGHT = 5; // below 10
    size.TOPIC_HEIGHT = 161; // above 160
    size.MENU_HEIGHT = 33;
    size.TEXT_HEIGHT = 150; // below 200
    size.FOOT_HEIGHT = 20;
    size.MENU_WIDTH = -4;
    size.HOTSPOT_WIDTH = 100000;
    TFormSize form(f.Workspace);
    f.Show(form);
    const std::vector<std::pair<const TTrackBarField*, int>> shown = {
        {&form.WelcomeHeight, 10}, {&form.TopicHeight, 160}, {&form.MenuHeight, 33},
        {&form.TextHeight, 200},   {&form.FootHeight, 20},   {&form.MenuWidth, 60},
        {&form.HotspotWidth, 300}};
    for (const auto& [field, value] : shown) {
        QCOMPARE(field->Value(), value);
        QVERIFY(field->Label->text().endsWith("(" + QString::number(value) + ")"));
    }
    QCOMPARE(form.TextHeight.Label->text(), QStringLiteral("Text Height: (200)"));
    // Moving a slider relabels it at once: a page up and an arrow step.
    form.TextHeight.TrackBar->setFocus();
    QTest::keyClick(form.TextHeight.TrackBar, Qt::Key_PageUp);
    QCOMPARE(form.TextHeight.Label->text(), QStringLiteral("Text Height: (210)"));
    QTest::keyClick(form.MenuHeight.TrackBar, Qt::Key_Right);
    QCOMPARE(form.MenuHeight.Label->text(), QStringLiteral("Menu (On Top) Height: (34)"));
    // The record changes only on OK.
    QCOMPARE(size.TEXT_HEIGHT, 150);
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    const auto saved = f.Saved();
    const std::vector<int> stored = {saved->SIZE.WELCOME_HEIGHT, saved->SIZE.TOPIC_HEIGHT,
                                     saved->SIZE.MENU_HEIGHT,    saved->SIZE.TEXT_HEIGHT,
                                     saved->SIZE.FOOT_HEIGHT,    saved->SIZE.MENU_WIDTH,
                                     saved->SIZE.HOTSPOT_WIDTH};
    QCOMPARE(stored, std::vector<int>({10, 160, 34, 210, 20, 60, 300}));
    QCOMPARE(size.TEXT_HEIGHT, 210);
}

void TStyleDialogsTest::sizeCancelWritesNothing() {
    TFixture f;
    f.Project().SIZE.SCREEN = "abc";
    f.Project().SIZE.TEXT_HEIGHT = 150;
    f.Project().Save();
    const auto files = Snapshot(f.Folder);
    TFormSize form(f.Workspace);
    for (int way = 0; way < 2; ++way) {
        f.Show(form);
        QTest::mouseClick(form.RadioButton640, Qt::LeftButton);
        form.TextHeight.SetValue(480);
        if (way == 0)
            QTest::mouseClick(form.ButtonCancel, Qt::LeftButton);
        else
            QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(f.Project().SIZE.SCREEN, std::string("abc"));
        QCOMPARE(f.Project().SIZE.TEXT_HEIGHT, 150);
        QVERIFY(Snapshot(f.Folder) == files);
    }
    // The close box cancels too.
    f.Show(form);
    form.close();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(Snapshot(f.Folder) == files);
}

void TStyleDialogsTest::fontControls() {
    TFixture f;
    TFormFont form(f.Workspace);
    f.Show(form);
    QCOMPARE(form.windowTitle(), QStringLiteral("Font"));
    QCOMPARE(ComboItems(form.ComboBoxEncoding), QStringList({"Western (ISO-8859-1)",
                                                             "Japanese (Shift JIS)",
                                                             "Japanese (JIS)",
                                                             "Japanese (EUC)",
                                                             "Traditional Chinese (Big5)",
                                                             "Simplified Chinese (GB2312)",
                                                             "Korean (EUC-KR)",
                                                             "Central European (ISO-8859-2)",
                                                             "Central European (MacCE)",
                                                             "Central European (Windows-1250)",
                                                             "Cyrillic (ISO-8859-5)",
                                                             "Cyrillic (KOI8-R)",
                                                             "Cyrillic (MacCyrillic)",
                                                             "Cyrillic (Windows-1251)",
                                                             "Greek (ISO-8859-7)",
                                                             "Greek (MacGreek)",
                                                             "Greek (Windows-1253)",
                                                             "Windows 1252",
                                                             "UTF-8",
                                                             "Other"}));
    QCOMPARE(ComboItems(form.ComboBoxFont),
             QStringList(
                 {"Default Font", "Arial, Helvetica, sans-serif", "Times New Roman, Times, serif",
                  "Courier New, Courier, mono", "Georgia, Times New Roman, Times, serif",
                  "Verdana, Arial, Helvetica, sans-serif", "Geneva, Arial, Helvetica, san-serif"}));
    QVERIFY(!form.ComboBoxEncoding->isEditable() && !form.ComboBoxFont->isEditable());
    CheckSliders({
        {&form.Topic, "TrackBarTopic", "LabelTopic", "Topic Font Size: (", 8, 64, 4},
        {&form.Menu, "TrackBarMenu", "LabelMenu", "Menu Font Size: (", 8, 24, 4},
        {&form.Title, "TrackBarTitle", "LabelTitle", "Title Font Size: (", 8, 48, 4},
        {&form.Text, "TrackBarText", "LabelText", "Text Font Size: (", 8, 16, 4},
    });
    const std::vector<std::pair<QCheckBox*, const char*>> boxes = {
        {form.CheckBoxBoldTopic, "Bold Topic"},
        {form.CheckBoxBoldTitle, "Bold Title"},
        {form.CheckBoxBoldLink, "Bold Link"},
        {form.CheckBoxUnderlineLink, "Underline Link"}};
    for (const auto& [box, caption] : boxes)
        QCOMPARE(box->text(), QString::fromLatin1(caption));
    QCOMPARE(form.focusWidget(), form.ComboBoxEncoding);
}

void TStyleDialogsTest::fontShowAndOK() {
    TFixture f;
    TDFont& font = f.Project().FONT;
    font.ENCODING = "Cyrillic (KOI8-R)";
    font.FAMILY = "Courier New, Courier, mono";
    font.TOPIC = 30;
    font.MENU = 12;
    font.TITLE = 20;
    font.TEXT = 10;
    font.BOLD_TOPIC = false;
    font.BOLD_TITLE = true;
    font.BOLD_LINK = true;
    font.UNDERLINE_LINK = false;
    TFormFont form(f.Workspace);
    f.Show(form);
    QCOMPARE(form.ComboBoxEncoding->currentText(), QStringLiteral("Cyrillic (KOI8-R)"));
    QCOMPARE(form.ComboBoxFont->currentText(), QStringLiteral("Courier New, Courier, mono"));
    QCOMPARE(form.Topic.Label->text(), QStringLiteral("Topic Font Size: (30)"));
    QCOMPARE(form.Menu.Label->text(), QStringLiteral("Menu Font Size: (12)"));
    QCOMPARE(form.Title.Label->text(), QStringLiteral("Title Font Size: (20)"));
    QCOMPARE(form.Text.Label->text(), QStringLiteral("Text Font Size: (10)"));
    QVERIFY(!form.CheckBoxBoldTopic->isChecked());
    QVERIFY(form.CheckBoxBoldTitle->isChecked());
    QVERIFY(form.CheckBoxBoldLink->isChecked());
    QVERIFY(!form.CheckBoxUnderlineLink->isChecked());

    // Change everything as the user would.
    form.ComboBoxEncoding->setCurrentIndex(form.ComboBoxEncoding->findText("UTF-8"));
    form.ComboBoxFont->setCurrentIndex(0);
    form.Topic.TrackBar->setFocus();
    QTest::keyClick(form.Topic.TrackBar, Qt::Key_PageUp);
    QCOMPARE(form.Topic.Label->text(), QStringLiteral("Topic Font Size: (34)"));
    form.Text.SetValue(16);
    for (QCheckBox* box : {form.CheckBoxBoldTopic, form.CheckBoxBoldTitle, form.CheckBoxBoldLink,
                           form.CheckBoxUnderlineLink})
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(8, box->height() / 2));
    QCOMPARE(font.TOPIC, 30); // nothing changes before OK
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    const TDFont saved = f.Saved()->FONT;
    QCOMPARE(saved.ENCODING, std::string("UTF-8"));
    QCOMPARE(saved.FAMILY, std::string("Default Font"));
    QCOMPARE(std::vector<int>({saved.TOPIC, saved.MENU, saved.TITLE, saved.TEXT}),
             std::vector<int>({34, 12, 20, 16}));
    QCOMPARE(std::vector<bool>(
                 {saved.BOLD_TOPIC, saved.BOLD_TITLE, saved.BOLD_LINK, saved.UNDERLINE_LINK}),
             std::vector<bool>({true, false, false, true}));

    // Cancel writes nothing.
    const auto files = Snapshot(f.Folder);
    f.Show(form);
    form.ComboBoxEncoding->setCurrentIndex(0);
    form.Menu.SetValue(8);
    QTest::keyClick(&form, Qt::Key_Escape);
    QCOMPARE(f.Project().FONT.ENCODING, std::string("UTF-8"));
    QCOMPARE(f.Project().FONT.MENU, 12);
    QVERIFY(Snapshot(f.Folder) == files);
}

void TStyleDialogsTest::fontClampsAndDropsUnknownTexts() {
    TFixture f;
    TDFont& font = f.Project().FONT;
    font.ENCODING = "Klingon (pIqaD)";
    font.FAMILY = "arial, helvetica, sans-serif"; // letter case counts
    font.TOPIC = 2;
    font.MENU = 25;
    font.TITLE = 49;
    font.TEXT = 20;
    TFormFont form(f.Workspace);
    f.Show(form);
    QCOMPARE(form.ComboBoxEncoding->currentIndex(), -1);
    QCOMPARE(form.ComboBoxFont->currentIndex(), -1);
    QCOMPARE(form.Text.TrackBar->value(), 16);
    QCOMPARE(form.Text.Label->text(), QStringLiteral("Text Font Size: (16)"));
    QCOMPARE(form.Topic.Label->text(), QStringLiteral("Topic Font Size: (8)"));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    const TDFont saved = f.Saved()->FONT;
    QCOMPARE(saved.ENCODING, std::string());
    QCOMPARE(saved.FAMILY, std::string());
    QCOMPARE(std::vector<int>({saved.TOPIC, saved.MENU, saved.TITLE, saved.TEXT}),
             std::vector<int>({8, 24, 48, 16}));
}

// Under the encoding list, a note for the encodings whose pages are written as UTF-8
// although they name another character set; the stored encoding stays as it is.
void TStyleDialogsTest::fontNotesEncodingsWrittenAsUtf8() {
    TFixture f;
    TFormFont form(f.Workspace);
    const QString note =
        QStringLiteral("Pages are written as UTF-8: browsers cannot read this encoding.");
    QCOMPARE(form.LabelWrittenAsUtf8->text(), note);
    QCOMPARE(form.LabelWrittenAsUtf8->objectName(), QStringLiteral("LabelWrittenAsUtf8"));
    const std::vector<std::pair<const char*, bool>> shown = {
        {"Klingon (pIqaD)", true}, // in no list: no item selected
        {"UTF-8", false},
        {"Central European (MacCE)", true},
        {"Western (ISO-8859-1)", false},
        {"Greek (MacGreek)", true},
        {"Other", true},
        {"", true},
        {"Japanese (JIS)", false},
    };
    for (const auto& [encoding, visible] : shown) {
        f.Project().FONT.ENCODING = encoding;
        f.Show(form);
        QVERIFY2(form.LabelWrittenAsUtf8->isVisible() == visible, encoding);
        form.reject();
    }

    // Choosing an item shows or hides it at once: only MacCE, MacGreek and Other show it.
    f.Project().FONT.ENCODING = "UTF-8";
    f.Show(form);
    for (int i = 0; i < form.ComboBoxEncoding->count(); ++i) {
        form.ComboBoxEncoding->setCurrentIndex(i);
        const QString item = form.ComboBoxEncoding->itemText(i);
        const bool expected = item == QStringLiteral("Central European (MacCE)") ||
                              item == QStringLiteral("Greek (MacGreek)") ||
                              item == QStringLiteral("Other");
        QVERIFY2(form.LabelWrittenAsUtf8->isVisible() == expected, qPrintable(item));
    }
    // It sits under the encoding list, above the family list.
    form.layout()->activate();
    const int noteTop = form.LabelWrittenAsUtf8->geometry().top();
    QVERIFY(noteTop >= form.ComboBoxEncoding->geometry().bottom());
    QVERIFY(noteTop < form.ComboBoxFont->geometry().top());

    // OK stores the chosen name itself.
    form.ComboBoxEncoding->setCurrentIndex(
        form.ComboBoxEncoding->findText(QStringLiteral("Greek (MacGreek)")));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(f.Saved()->FONT.ENCODING, std::string("Greek (MacGreek)"));
    QCOMPARE(f.Project().FONT.ENCODING, std::string("Greek (MacGreek)"));

    // A Modern project's pages are UTF-8 whatever the list says: one line says so instead.
    f.Project().OPTIONS.DESIGN = "Modern";
    f.Show(form);
    QVERIFY(form.LabelModernUtf8->isVisible());
    QVERIFY(!form.LabelWrittenAsUtf8->isVisible());
    QCOMPARE(form.LabelModernUtf8->text(),
             QStringLiteral("Modern pages are always UTF-8; the encoding applies to the Classic "
                            "design."));
    form.ComboBoxEncoding->setCurrentIndex(
        form.ComboBoxEncoding->findText(QStringLiteral("Other")));
    QVERIFY(form.LabelModernUtf8->isVisible() && !form.LabelWrittenAsUtf8->isVisible());
    form.reject();
    f.Project().OPTIONS.DESIGN = "Classic";
    f.Show(form);
    QVERIFY(!form.LabelModernUtf8->isVisible());
    form.reject();
}

void TStyleDialogsTest::languageListsAndWritesWhileTyping() {
    TFixture f;
    TDLanguage& language = f.Project().LANGUAGE;
    language.Values[1] = "";
    language.Values[2] = "Lundi";
    TFormLanguage form(f.Workspace);
    f.Show(form);
    QCOMPARE(form.windowTitle(), QStringLiteral("Language"));
    QCOMPARE(form.ListBoxLanguage->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(form.EditTranslation->maxLength(), 32767); // no limit of its own
    QStringList expected;
    for (int i = 0; i < language.Count; ++i)
        expected << Q(language.Keys[std::size_t(i)] + " (" + language.Values[std::size_t(i)] + ")");
    QCOMPARE(ListLines(form.ListBoxLanguage), expected);
    QCOMPARE(form.ListBoxLanguage->count(), 18);
    QCOMPARE(form.ListBoxLanguage->item(0)->text(), QStringLiteral("WELCOME (Welcome)"));
    QCOMPARE(form.ListBoxLanguage->item(1)->text(), QStringLiteral("TODAY_IS ()"));
    // The first line is selected and its translation is ready for typing.
    QCOMPARE(form.ListBoxLanguage->currentRow(), 0);
    QCOMPARE(form.EditTranslation->text(), QStringLiteral("Welcome"));
    QCOMPARE(form.focusWidget(), form.EditTranslation);

    // Every keystroke goes into the record and the line.
    QTest::keyClick(form.EditTranslation, Qt::Key_End);
    QTest::keyClicks(form.EditTranslation, QStringLiteral("!"));
    QCOMPARE(language.Values[0], std::string("Welcome!"));
    QCOMPARE(form.ListBoxLanguage->item(0)->text(), QStringLiteral("WELCOME (Welcome!)"));
    form.EditTranslation->selectAll();
    QTest::keyClick(form.EditTranslation, Qt::Key_Backspace);
    QCOMPARE(language.Values[0], std::string());
    QCOMPARE(form.ListBoxLanguage->item(0)->text(), QStringLiteral("WELCOME ()"));
    QTest::keyClicks(form.EditTranslation, QStringLiteral("Bienvenue"));
    QCOMPARE(language.Values[0], std::string("Bienvenue"));

    // A click on another line (or a keyboard move) shows its translation.
    const QRect line = form.ListBoxLanguage->visualItemRect(form.ListBoxLanguage->item(2));
    QTest::mouseClick(form.ListBoxLanguage->viewport(), Qt::LeftButton, Qt::NoModifier,
                      line.center());
    QCOMPARE(form.ListBoxLanguage->currentRow(), 2);
    QCOMPARE(form.EditTranslation->text(), QStringLiteral("Lundi"));
    QCOMPARE(form.focusWidget(), form.EditTranslation);
    form.ListBoxLanguage->setFocus();
    QTest::keyClick(form.ListBoxLanguage, Qt::Key_Down);
    QCOMPARE(form.ListBoxLanguage->currentRow(), 3);
    QCOMPARE(form.EditTranslation->text(), QStringLiteral("Tuesday"));
    QTest::keyClicks(form.EditTranslation, QStringLiteral("X"));
    QCOMPARE(language.Values[3], std::string("TuesdayX"));
    QCOMPARE(language.Values[2], std::string("Lundi"));

    // OK saves.
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    const auto saved = f.Saved();
    QCOMPARE(saved->LANGUAGE.Values[0], std::string("Bienvenue"));
    QCOMPARE(saved->LANGUAGE.Values[3], std::string("TuesdayX"));
    QCOMPARE(saved->LANGUAGE.Values[1], std::string());

    // A Modern project's table shows the Modern pages' words after the 18, to translate
    // like the others.
    f.Project().OPTIONS.DESIGN = "Modern";
    f.Project().FitLanguageToDesign();
    f.Show(form);
    QCOMPARE(form.ListBoxLanguage->count(), 23);
    QCOMPARE(form.ListBoxLanguage->item(18)->text(),
             QStringLiteral("SKIP_TO_CONTENT (Skip to content)"));
    QCOMPARE(form.ListBoxLanguage->item(22)->text(), QStringLiteral("READ_MORE (Read more)"));
    form.ListBoxLanguage->setCurrentRow(21);
    form.EditTranslation->selectAll();
    QTest::keyClicks(form.EditTranslation, QStringLiteral("Navigation"));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Saved()->LANGUAGE.Lookup("MENU"), std::string("Navigation"));
}

void TStyleDialogsTest::languageCancelRestoresTheTable() {
    TFixture f;
    const auto files = Snapshot(f.Folder);
    const TDLanguage shown = f.Project().LANGUAGE;
    TFormLanguage form(f.Workspace);
    // Cancel by the button, by Escape and by the close box alike.
    const std::function<void()> cancels[] = {
        [&] { QTest::mouseClick(form.ButtonCancel, Qt::LeftButton); },
        [&] { QTest::keyClick(&form, Qt::Key_Escape); },
        [&] { form.close(); },
    };
    for (const auto& cancel : cancels) {
        f.Show(form);
        form.EditTranslation->selectAll();
        QTest::keyClicks(form.EditTranslation, QStringLiteral("Hello"));
        form.ListBoxLanguage->setCurrentRow(3);
        QTest::keyClicks(form.EditTranslation, QStringLiteral("X"));
        // While the dialog is open the record follows the typing.
        QCOMPARE(f.Project().LANGUAGE.Values[0], std::string("Hello"));
        cancel();
        QCOMPARE(form.result(), int(QDialog::Rejected));
        // The table is as it was when the dialog was shown, and nothing was written.
        QVERIFY(f.Project().LANGUAGE == shown);
        QCOMPARE(f.Project().LANGUAGE.Values[3], shown.Values[3]);
        QVERIFY(Snapshot(f.Folder) == files);
    }
    // The next showing lists the table as it was.
    f.Show(form);
    QCOMPARE(form.ListBoxLanguage->item(0)->text(), QStringLiteral("WELCOME (") +
                                                        QString::fromStdString(shown.Values[0]) +
                                                        QStringLiteral(")"));
    QTest::keyClick(&form, Qt::Key_Escape);
    // An unrelated later Save writes no cancelled translation.
    f.Project().AddMenuItem(true);
    f.Project().Save();
    QVERIFY(f.Saved()->LANGUAGE == shown);
    // A project with an empty table shows an empty list and an empty edit.
    f.Project().LANGUAGE.Count = 0;
    f.Show(form);
    QCOMPARE(form.ListBoxLanguage->count(), 0);
    QCOMPARE(form.EditTranslation->text(), QString());
    QTest::keyClicks(form.EditTranslation, QStringLiteral("lost"));
    QCOMPARE(f.Project().LANGUAGE.Values[0], shown.Values[0]);
    QTest::keyClick(&form, Qt::Key_Escape);
}

void TStyleDialogsTest::languageWritesOnlyIntoASelectedLine() {
    TFixture f;
    TDLanguage& language = f.Project().LANGUAGE;
    TFormLanguage form(f.Workspace);
    f.Show(form);
    const QStringList before = ListLines(form.ListBoxLanguage);
    const auto click = [&](int line, Qt::KeyboardModifiers modifiers) {
        const QRect place = form.ListBoxLanguage->visualItemRect(form.ListBoxLanguage->item(line));
        QTest::mouseClick(form.ListBoxLanguage->viewport(), Qt::LeftButton, modifiers,
                          place.center());
    };
    // A click on another line selects it and shows its translation, ready for typing.
    click(4, Qt::NoModifier);
    QCOMPARE(form.EditTranslation->text(), QString::fromStdString(language.Values[4]));
    QCOMPARE(form.focusWidget(), form.EditTranslation);
    // Ctrl+click takes the selection away (the line stays current): no line is selected,
    // so typing goes into no entry.
    click(4, Qt::ControlModifier);
    QVERIFY(form.ListBoxLanguage->selectedItems().isEmpty());
    QCOMPARE(form.ListBoxLanguage->currentRow(), 4);
    form.EditTranslation->setFocus();
    QTest::keyClicks(form.EditTranslation, QStringLiteral("lost"));
    QCOMPARE(ListLines(form.ListBoxLanguage), before);
    QCOMPARE(language.Values[4], f.Saved()->LANGUAGE.Values[4]);
    // Selected again, the line shows its own translation and takes the typing.
    click(4, Qt::NoModifier);
    QCOMPARE(form.EditTranslation->text(), QString::fromStdString(language.Values[4]));
    QTest::keyClicks(form.EditTranslation, QStringLiteral("!"));
    QCOMPARE(language.Values[4], f.Saved()->LANGUAGE.Values[4] + "!");
    QTest::keyClick(&form, Qt::Key_Escape);
}

void TStyleDialogsTest::everyStyleDialogThroughTheMainWindow() {
    TTempFolder temp;
    TScriptedPrompter prompter;
    TProgram program(temp.Path() + "/", prompter);
    const std::string folder = program.Workspace.ProjectsFolder() + "Site";
    MakeProject(folder, {{"News", {"One"}}});
    program.Workspace.Project = std::make_unique<TDProject>(folder, program.Workspace.XMLDoc);
    program.FormMain->SetProjectOpen(true);
    TDProject& project = *program.Workspace.Project;
    auto preview = [&] { return ReadFileBytes(project.PreviewFile()); };

    // Each dialog is answered from inside its own modal loop; after OK the main window has
    // built the preview again with the change in it.
    auto run = [&](QAction* command, QDialog* dialog, const std::function<void()>& change,
                   bool ok) {
        const auto answered = AnswerModal(dialog, [=] {
            change();
            QTest::keyClick(dialog, ok ? Qt::Key_Return : Qt::Key_Escape);
        });
        command->trigger();
        return *answered;
    };
    QVERIFY(run(
        program.FormMain->MenuFrame, program.FormFrame,
        [&] { QTest::mouseClick(program.FormFrame->RadioButton[2], Qt::LeftButton); }, true));
    QCOMPARE(project.FRAME.FRAME, std::string("Menu on left foot on bottom"));
    QVERIFY(preview().find("<td width=\"120\" bgcolor=\"#FFFFFF\" valign=\"top\">") !=
            std::string::npos);

    QVERIFY(run(
        program.FormMain->MenuSize, program.FormSize,
        [&] { program.FormSize->MenuWidth.SetValue(140); }, true));
    QVERIFY(preview().find("<td width=\"140\" bgcolor=\"#FFFFFF\" valign=\"top\">") !=
            std::string::npos);

    QVERIFY(run(
        program.FormMain->MenuColor, program.FormColor,
        [&] {
            program.FormColor->SelectItem(8); // "Menu Background"
            QTest::mouseClick(program.FormColor->ShapeGray, Qt::LeftButton);
        },
        true));
    QCOMPARE(project.COLOR.MENU_BG, RGBColor(128, 128, 128));
    QVERIFY(preview().find("<td width=\"140\" bgcolor=\"#808080\" valign=\"top\">") !=
            std::string::npos);

    QVERIFY(run(
        program.FormMain->MenuFont, program.FormFont,
        [&] {
            program.FormFont->ComboBoxEncoding->setCurrentIndex(
                program.FormFont->ComboBoxEncoding->findText("Cyrillic (KOI8-R)"));
        },
        true));
    QVERIFY(preview().find("charset=KOI8-R") != std::string::npos);

    // The language dialog cancelled: the table is as it was, and no preview is built.
    const std::string before = preview();
    const std::string welcome = project.LANGUAGE.Values[0];
    QVERIFY(run(
        program.FormMain->MenuLanguage, program.FormLanguage,
        [&] {
            program.FormLanguage->EditTranslation->selectAll();
            QTest::keyClicks(program.FormLanguage->EditTranslation, "Bienvenue");
        },
        false));
    QCOMPARE(project.LANGUAGE.Values[0], welcome);
    QCOMPARE(preview(), before);
    QVERIFY(prompter.Calls.isEmpty());
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TStyleDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StyleDialogsTest.moc"
