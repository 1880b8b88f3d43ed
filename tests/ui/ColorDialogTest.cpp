// The Color dialog: the miniature page, the derived swatches, the track bar, the colour
// picker, applying swatches (the transparent one included), OK, Cancel and a second showing;
// whole schemes by keyboard, the scheme made from the base colour, the contrast line.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "model/ColorScheme.h"
#include "model/ColorSchemes.h"
#include "ui/ColorPicker.h"
#include "ui/ColorSwatch.h"
#include "ui/FColor.h"
#include "ui/Workspace.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace {

QString Rgb(TColor color) {
    return Q(ColorHint(color));
}

// Answers the colour picker from a queue (a colour confirms, nothing cancels) and records
// the colour it was opened with.
class TScriptedColorPicker : public TColorPicker {
  public:
    bool Execute(QWidget*) override {
        Opened.push_back(Color);
        if (Answers.empty())
            return false;
        const std::optional<TColor> answer = Answers.front();
        Answers.pop_front();
        if (!answer)
            return false;
        Color = *answer;
        return true;
    }
    std::deque<std::optional<TColor>> Answers;
    std::vector<TColor> Opened;
};

// Every field of a colour scheme, for comparing whole records.
std::vector<std::int64_t> Fields(const TDColor& c) {
    return {c.BASE,          c.BG,          c.TEXT_BG,      c.TITLE,
            c.TEXT,          c.WELCOME_BG,  c.WELCOME_TEXT, c.TOPIC_BG,
            c.TOPIC_TEXT,    c.MENU_BG,     c.MENU_TEXT,    c.HOTSPOT_BG,
            c.HOTSPOT_TEXT,  c.FOOT_BG,     c.FOOT_TEXT,    c.TEXT_TRANS,
            c.WELCOME_TRANS, c.TOPIC_TRANS, c.MENU_TRANS,   c.HOTSPOT_TRANS,
            c.FOOT_TRANS};
}

// An application folder with projects in it, one of them open, and the dialog.
struct TFixture {
    TFixture() : Workspace(Temp.Path() + "/"), Form(Workspace, Picker) {
        MakeFolder(Temp / "Projects");
    }
    // Makes the project name (if needed), sets its colours through change and opens it.
    void Open(const std::string& name, const std::function<void(TDColor&)>& change = {}) {
        const std::string folder = Workspace.ProjectsFolder() + name;
        MakeProject(folder, {{"News", {"One"}}});
        Workspace.Project = std::make_unique<TDProject>(folder, Workspace.XMLDoc);
        if (change) {
            change(Workspace.Project->COLOR);
            Workspace.Project->Save();
        }
    }
    // The colour scheme as the project file holds it.
    TDColor Saved() {
        TXmlDocument document;
        TDProject project(Workspace.Project->Folder, document);
        return project.COLOR;
    }
    TDColor& Record() { return Workspace.Project->COLOR; }
    void Show() {
        Form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
    }
    void Select(int item) {
        // As the user does it: the drop-down list's own selection.
        Form.ComboBoxItem->setCurrentIndex(item);
        QCOMPARE(Form.ComboBoxItem->currentText(),
                 QString::fromLatin1(TFormColor::ItemNames[item]));
    }
    void Click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(widget, button, Qt::NoModifier, QPoint(2, 2));
    }

    TTempFolder Temp;
    TWorkspace Workspace;
    TScriptedColorPicker Picker;
    TFormColor Form;
};

} // namespace

class TColorDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void controlsAndMiniaturePage();
    void showDerivesTheSwatchesFromTheBase();
    void trackBarShiftsTheBase();
    void pickersForTheBaseAndOtherColor();
    void partsSelectTheirItems();
    void transparentSwatchOnEachKindOfItem();
    void transparentTextBackgroundShowsSolidSilver();
    void okWritesEveryFieldAndSaves();
    void cancelLeavesRecordAndFileUntouched();
    void secondShowingStartsAfresh();
    void centredOnTheScreen();
    void schemesByKeyboardAndFromTheBaseColor();
    void contrastLineAndEverySwatchByKeyboard();
};

void TColorDialogTest::controlsAndMiniaturePage() {
    TFixture f;
    f.Open("Site");
    f.Show();
    TFormColor& form = f.Form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Color"));
    QVERIFY(form.width() >= 542);
    QCOMPARE(form.height(), 384);
    QCOMPARE(form.Label1->text(), QStringLiteral("Base Color:"));
    QCOMPARE(form.Label2->text(), QStringLiteral("Item:"));
    QCOMPARE(form.ButtonBase->text(), QStringLiteral("..."));
    QCOMPARE(form.ButtonColor->text(), QStringLiteral("Other Color"));
    QCOMPARE(form.ButtonOK->text(), QStringLiteral("OK"));
    QCOMPARE(form.ButtonCancel->text(), QStringLiteral("Cancel"));
    QVERIFY(form.ButtonOK->isDefault());
    QCOMPARE(form.ShapeBase->geometry(), QRect(16, 28, 161, 41));
    QCOMPARE(form.Panel3->geometry(), QRect(220, 12, 281, 269));
    // The item list shows its longest item whole; the item's swatch stands beside it.
    const QRect list = form.ComboBoxItem->geometry();
    QCOMPARE(list.topLeft(), QPoint(248, 288));
    QStyleOptionComboBox option;
    option.initFrom(form.ComboBoxItem);
    const QRect textArea = form.ComboBoxItem->style()->subControlRect(
        QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, form.ComboBoxItem);
    QVERIFY2(textArea.width() >= form.ComboBoxItem->fontMetrics().horizontalAdvance(
                                     QStringLiteral("Welcome Bar Background")),
             qPrintable(QString::number(textArea.width())));
    const QRect swatch = form.ShapeColor->geometry();
    QCOMPARE(swatch.top(), 284);
    QCOMPARE(swatch.height(), 29);
    QVERIFY(swatch.left() > list.right());
    QVERIFY(swatch.width() >= 40);
    QVERIFY(swatch.right() < form.width());
    QCOMPARE(form.TrackBar->minimum(), 0);
    QCOMPARE(form.TrackBar->maximum(), 255);
    QCOMPARE(form.TrackBar->pageStep(), 16);
    QCOMPARE(form.TrackBar->tickInterval(), 16);
    // The 4 by 4 grid, then the fixed row, then the transparent swatch.
    for (int i = 0; i < 16; ++i) {
        TColorShape* s = form.Shape[static_cast<std::size_t>(i)];
        QCOMPARE(s->objectName(), QStringLiteral("Shape%1").arg(i + 1));
        QCOMPARE(s->geometry(), QRect(16 + 48 * (i % 4), 100 + 36 * (i / 4), 45, 33));
    }
    const std::vector<std::pair<TColorShape*, const char*>> fixed = {
        {form.ShapeWhite, "255.255.255"},
        {form.ShapeSilver, "192.192.192"},
        {form.ShapeGray, "128.128.128"},
        {form.ShapeBlack, "0.0.0"}};
    for (std::size_t i = 0; i < fixed.size(); ++i) {
        QCOMPARE(fixed[i].first->geometry(), QRect(16 + 48 * int(i), 244, 45, 33));
        QCOMPARE(fixed[i].first->toolTip(), QString::fromLatin1(fixed[i].second));
        QVERIFY(!fixed[i].first->Hatched());
    }
    QCOMPARE(form.ShapeEmpty->geometry(), QRect(16, 280, 45, 33));
    QCOMPARE(form.ShapeEmpty->toolTip(), QStringLiteral("Transparent"));
    QVERIFY(form.ShapeEmpty->Hatched());
    QCOMPARE(form.ShapeEmpty->Color(), clSilver);
    QVERIFY(!form.ShapeOther->isVisible());

    QStringList items;
    for (int i = 0; i < form.ComboBoxItem->count(); ++i)
        items << form.ComboBoxItem->itemText(i);
    QCOMPARE(items, QStringList({"Background", "Text Background", "Title", "Text",
                                 "Welcome Bar Background", "Welcome Bar Text", "Topic Background",
                                 "Topic Text", "Menu Background", "Menu Text", "Hotspot Background",
                                 "Hotspot Text", "Foot Background", "Foot Text"}));

    // The miniature page in its drawing order, with places, hints and sample texts.
    struct Part {
        const char* name;
        QPoint place;
        const char* hint;
        const char* text;
    };
    const char* const bars = "XXXXX | XXXXX | XXXXX | XXXXX";
    const std::vector<Part> parts = {
        {"ShapeBg", {0, -4}, "Background", nullptr},
        {"ShapeText", {8, 84}, "Text Background", nullptr},
        {"ShapeTopic", {8, 24}, "Topic Background", nullptr},
        {"ShapeMenu", {8, 68}, "Menu Background", nullptr},
        {"ShapeFoot", {8, 224}, "Foot Background", nullptr},
        {"ShapeHotspot", {192, 92}, "Hotspot Background", nullptr},
        {"LabelTopic", {20, 32}, "Topic Text", "XXXXXX"},
        {"LabelMenu", {16, 70}, "Menu Text", bars},
        {"LabelTitle", {28, 88}, "Title", "XXXXX XX XXXXX"},
        {"LabelText",
         {16, 116},
         "Text",
         "XXX XXXXXXX XX XXXXX XX, XX XXXXX XX XXXXXX. XX XXXXX X XXXXXXXX XX XX XXXX.      "
         "       XX XXXXXX X X XXXXXX XX. XX XXXX XXXXXX. XXXXXX XX XXX XXX XXXXX XXXX XX "
         "XXXX."},
        {"LabelHotspot", {200, 100}, "Hotspot Text", "XXXXXXXX XXXXXXX XXXXXX XXXXXXX"},
        {"LabelFoot", {64, 234}, "Foot Text", "XXXX XXXXXX XXXX XXXXX"},
        {"ShapeWelcome", {8, 8}, "Welcome Bar Background", nullptr},
        {"LabelWelcome", {96, 10}, "Welcome Bar Text", bars},
    };
    const QObjectList children = form.Panel3->children();
    QCOMPARE(children.size(), qsizetype(parts.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        auto* widget = qobject_cast<QWidget*>(children[qsizetype(i)]);
        QVERIFY(widget);
        QCOMPARE(widget->objectName(), QString::fromLatin1(parts[i].name));
        QCOMPARE(widget->pos(), parts[i].place);
        QCOMPARE(widget->toolTip(), QString::fromLatin1(parts[i].hint));
        if (parts[i].text)
            QCOMPARE(qobject_cast<QLabel*>(widget)->text(), QString::fromLatin1(parts[i].text));
    }
    QCOMPARE(form.ShapeBg->size(), QSize(278, 271));
    QCOMPARE(form.ShapeWelcome->size(), QSize(261, 17));
    QCOMPARE(form.LabelText->size(), QSize(168, 78));
    QVERIFY(form.LabelText->wordWrap() && form.LabelHotspot->wordWrap());
    QCOMPARE(form.LabelTopic->font().pixelSize(), 24);
    QCOMPARE(form.LabelTitle->font().pixelSize(), 16);
    // Later parts lie on top: the welcome bar's text over its background over the page.
    const QPoint onWelcomeText = form.LabelWelcome->geometry().center();
    QCOMPARE(form.Panel3->childAt(onWelcomeText), form.LabelWelcome);
    QCOMPARE(form.Panel3->childAt(QPoint(10, 12)), form.ShapeWelcome);
    QCOMPARE(form.Panel3->childAt(QPoint(200, 200)), form.ShapeHotspot);
    QCOMPARE(form.Panel3->childAt(QPoint(4, 150)), form.ShapeBg);
}

void TColorDialogTest::showDerivesTheSwatchesFromTheBase() {
    struct Case {
        TColor base;
        int h;
    } cases[] = {{clWhite, 255},
                 {clBlack, 0},
                 {RGBColor(255, 0, 0), 255},
                 {RGBColor(200, 100, 50), 200},
                 {RGBColor(100, 100, 50), 100}};
    TFixture f;
    f.Open("Site");
    for (const Case& c : cases) {
        f.Record().BASE = c.base;
        f.Record().BG = RGBColor(1, 2, 3);
        f.Show();
        QCOMPARE(f.Form.focusWidget(), f.Form.ButtonBase);
        QCOMPARE(f.Form.ShapeBase->Color(), c.base);
        QCOMPARE(f.Form.ShapeBase->toolTip(), Rgb(c.base));
        QCOMPARE(f.Form.TrackBar->value(), c.h);
        const std::array<TColor, 16> derived = DeriveSwatches(c.base);
        for (std::size_t i = 0; i < 16; ++i) {
            QCOMPARE(Rgb(f.Form.Shape[i]->Color()), Rgb(derived[i]));
            QCOMPARE(f.Form.Shape[i]->toolTip(), Rgb(derived[i]));
        }
        // The first item is current.
        QCOMPARE(f.Form.ComboBoxItem->currentIndex(), 0);
        QCOMPARE(f.Form.ShapeColor->Color(), RGBColor(1, 2, 3));
        QCOMPARE(f.Form.ShapeColor->toolTip(), QStringLiteral("1.2.3"));
        f.Form.hide();
    }
    // The worked examples as the swatches show them.
    f.Record().BASE = clWhite;
    f.Show();
    QCOMPARE(f.Form.Shape[5]->toolTip(), QStringLiteral("204.204.204"));
    QCOMPARE(f.Form.Shape[9]->toolTip(), QStringLiteral("51.51.51"));
    QCOMPARE(f.Form.Shape[6]->toolTip(), QStringLiteral("153.153.153"));
    QCOMPARE(f.Form.Shape[10]->toolTip(), QStringLiteral("102.102.102"));
    QCOMPARE(f.Form.Shape[0]->toolTip(), QStringLiteral("255.255.255"));
    f.Form.hide();
    f.Record().BASE = RGBColor(100, 100, 50);
    f.Show();
    QCOMPARE(f.Form.Shape[5]->toolTip(), QStringLiteral("151.151.101"));
    QCOMPARE(f.Form.Shape[6]->toolTip(), QStringLiteral("202.202.152"));
}

void TColorDialogTest::trackBarShiftsTheBase() {
    TFixture f;
    f.Open("Site", [](TDColor& c) { c.BASE = RGBColor(200, 100, 50); });
    f.Show();
    QCOMPARE(f.Form.TrackBar->value(), 200);
    f.Form.TrackBar->setValue(100);
    QCOMPARE(Rgb(f.Form.ShapeBase->Color()), QStringLiteral("100.0.0"));
    QCOMPARE(f.Form.ShapeBase->toolTip(), QStringLiteral("100.0.0"));
    QCOMPARE(f.Form.TrackBar->value(), 100);
    QCOMPARE(Rgb(f.Form.Shape[1]->Color()), Rgb(DeriveSwatches(RGBColor(100, 0, 0))[1]));
    f.Form.TrackBar->setValue(200);
    QCOMPARE(Rgb(f.Form.ShapeBase->Color()), QStringLiteral("200.100.100"));
    QCOMPARE(f.Form.Shape[4]->toolTip(), Rgb(DeriveSwatches(RGBColor(200, 100, 100))[4]));
    // The keyboard moves the bar by a page (16) or by one.
    f.Form.TrackBar->setFocus();
    QTest::keyClick(f.Form.TrackBar, Qt::Key_PageDown);
    QCOMPARE(f.Form.TrackBar->value(), 184);
    QCOMPARE(Rgb(f.Form.ShapeBase->Color()), QStringLiteral("184.84.84"));
    QTest::keyClick(f.Form.TrackBar, Qt::Key_Right);
    QCOMPARE(Rgb(f.Form.ShapeBase->Color()), QStringLiteral("185.85.85"));
    // Moving the bar changes neither the record nor any part of the page.
    QCOMPARE(f.Record().BASE, RGBColor(200, 100, 50));
    QCOMPARE(f.Form.ShapeBg->Color(), clWhite);
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Form.result(), int(QDialog::Accepted));
    QCOMPARE(f.Record().BASE, RGBColor(185, 85, 85));
    QCOMPARE(f.Saved().BASE, RGBColor(185, 85, 85));
}

void TColorDialogTest::pickersForTheBaseAndOtherColor() {
    TFixture f;
    f.Open("Site", [](TDColor& c) { c.BASE = RGBColor(200, 100, 50); });
    f.Show();
    // Cancelled: nothing changes, but the picker keeps the preset.
    f.Picker.Answers = {std::nullopt};
    QTest::mouseClick(f.Form.ButtonBase, Qt::LeftButton);
    QCOMPARE(f.Picker.Opened, std::vector<TColor>({RGBColor(200, 100, 50)}));
    QCOMPARE(f.Form.ShapeBase->Color(), RGBColor(200, 100, 50));
    // Other Color starts from that preset; the picked colour goes to the current item.
    f.Select(9); // "Menu Text"
    f.Picker.Answers = {RGBColor(1, 2, 3)};
    QTest::mouseClick(f.Form.ButtonColor, Qt::LeftButton);
    QCOMPARE(f.Picker.Opened.back(), RGBColor(200, 100, 50));
    QCOMPARE(f.Form.LabelMenu->Color(), RGBColor(1, 2, 3));
    QCOMPARE(f.Form.ShapeColor->Color(), RGBColor(1, 2, 3));
    QVERIFY(!f.Form.ShapeColor->Hatched());
    // The hint of ShapeColor stays that of the item as it was shown.
    QCOMPARE(f.Form.ShapeColor->toolTip(), QStringLiteral("0.0.0"));
    // The swatches do not follow a picked single colour.
    QCOMPARE(f.Form.Shape[0]->Color(), RGBColor(200, 100, 50));
    // Next time Other Color starts from the last confirmed colour.
    f.Picker.Answers = {std::nullopt};
    QTest::mouseClick(f.Form.ButtonColor, Qt::LeftButton);
    QCOMPARE(f.Picker.Opened.back(), RGBColor(1, 2, 3));
    QCOMPARE(f.Form.LabelMenu->Color(), RGBColor(1, 2, 3));

    // A confirmed base colour is derived again.
    f.Picker.Answers = {RGBColor(255, 0, 0)};
    QTest::mouseClick(f.Form.ButtonBase, Qt::LeftButton);
    QCOMPARE(f.Picker.Opened.back(), RGBColor(200, 100, 50));
    QCOMPARE(f.Form.ShapeBase->Color(), RGBColor(255, 0, 0));
    QCOMPARE(f.Form.TrackBar->value(), 255);
    QCOMPARE(f.Form.Shape[1]->toolTip(), QStringLiteral("255.127.0"));
    QCOMPARE(f.Form.Shape[13]->toolTip(), QStringLiteral("0.0.255"));
    QCOMPARE(f.Form.ShapeBase->toolTip(), QStringLiteral("255.0.0"));
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Saved().BASE, RGBColor(255, 0, 0));
    QCOMPARE(f.Saved().MENU_TEXT, RGBColor(1, 2, 3));
}

void TColorDialogTest::partsSelectTheirItems() {
    TFixture f;
    f.Open("Site", [](TDColor& c) {
        c.TEXT_BG = RGBColor(10, 0, 0);
        c.TITLE = RGBColor(20, 0, 0);
        c.TEXT = RGBColor(30, 0, 0);
        c.WELCOME_BG = RGBColor(40, 0, 0);
        c.WELCOME_TEXT = RGBColor(50, 0, 0);
        c.TOPIC_BG = RGBColor(60, 0, 0);
        c.TOPIC_TEXT = RGBColor(70, 0, 0);
        c.MENU_BG = RGBColor(80, 0, 0);
        c.MENU_TEXT = RGBColor(90, 0, 0);
        c.HOTSPOT_BG = RGBColor(100, 0, 0);
        c.HOTSPOT_TEXT = RGBColor(110, 0, 0);
        c.FOOT_BG = RGBColor(120, 0, 0);
        c.FOOT_TEXT = RGBColor(130, 0, 0);
        c.BG = RGBColor(140, 0, 0);
        c.FOOT_TRANS = true;
    });
    f.Show();
    TFormColor& form = f.Form;
    const std::vector<std::pair<QWidget*, const char*>> parts = {
        {form.LabelFoot, "130.0.0"},    {form.ShapeBg, "140.0.0"},
        {form.ShapeText, "10.0.0"},     {form.LabelTitle, "20.0.0"},
        {form.LabelText, "30.0.0"},     {form.ShapeWelcome, "40.0.0"},
        {form.LabelWelcome, "50.0.0"},  {form.ShapeTopic, "60.0.0"},
        {form.LabelTopic, "70.0.0"},    {form.ShapeMenu, "80.0.0"},
        {form.LabelMenu, "90.0.0"},     {form.ShapeHotspot, "100.0.0"},
        {form.LabelHotspot, "110.0.0"}, {form.ShapeFoot, "192.192.192"},
    };
    const int items[] = {13, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        // Any mouse button counts.
        f.Click(parts[i].first, i % 2 ? Qt::RightButton : Qt::LeftButton);
        QCOMPARE(form.ComboBoxItem->currentIndex(), items[i]);
        QCOMPARE(form.ShapeColor->toolTip(), QString::fromLatin1(parts[i].second));
    }
    // The transparent foot shows hatched in ShapeColor too.
    QVERIFY(form.ShapeColor->Hatched());
    f.Select(3);
    QVERIFY(!form.ShapeColor->Hatched());
    QCOMPARE(form.ShapeColor->Color(), RGBColor(30, 0, 0));
}

void TColorDialogTest::transparentSwatchOnEachKindOfItem() {
    TFixture f;
    f.Open("Site", [](TDColor& c) {
        c.MENU_BG = RGBColor(0, 0, 200);
        c.BG = RGBColor(0, 200, 0);
    });
    f.Show();
    TFormColor& form = f.Form;
    // A background item becomes transparent, and solid again with any other swatch.
    f.Select(8); // "Menu Background"
    f.Click(form.ShapeEmpty);
    QVERIFY(form.ShapeMenu->Hatched());
    QCOMPARE(form.ShapeMenu->Color(), clSilver);
    QVERIFY(form.ShapeColor->Hatched());
    QCOMPARE(form.ShapeColor->Color(), clSilver);
    QCOMPARE(form.ShapeColor->toolTip(), QStringLiteral("0.0.200"));
    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Saved().MENU_BG, clSilver);
    QVERIFY(f.Saved().MENU_TRANS);

    f.Show();
    QVERIFY(form.ShapeMenu->Hatched());
    f.Select(8);
    QVERIFY(form.ShapeColor->Hatched());
    f.Click(form.ShapeEmpty);
    f.Click(form.Shape[0]);
    QVERIFY(!form.ShapeMenu->Hatched());
    QCOMPARE(form.ShapeMenu->Color(), clWhite);
    QVERIFY(!form.ShapeColor->Hatched());

    // The page background never becomes transparent.
    f.Select(0);
    f.Click(form.ShapeEmpty);
    QVERIFY(!form.ShapeBg->Hatched());
    QCOMPARE(form.ShapeBg->Color(), clSilver);
    QVERIFY(form.ShapeColor->Hatched()); // the swatch's fill style, as clicked

    // A text item takes silver, and ShapeColor shows it solid.
    f.Select(2); // "Title"
    f.Click(form.ShapeEmpty);
    QCOMPARE(form.LabelTitle->Color(), clSilver);
    QCOMPARE(form.ShapeColor->Color(), clSilver);
    QVERIFY(!form.ShapeColor->Hatched());

    // The other swatches apply their colours; the derived ones stay as they were.
    f.Select(12); // "Foot Background"
    f.Click(form.ShapeGray, Qt::MiddleButton);
    QCOMPARE(form.ShapeFoot->Color(), RGBColor(128, 128, 128));
    QCOMPARE(form.Shape[0]->Color(), clWhite);

    QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    const TDColor saved = f.Saved();
    QCOMPARE(saved.MENU_BG, clWhite);
    QVERIFY(!saved.MENU_TRANS);
    QCOMPARE(saved.BG, clSilver);
    QCOMPARE(saved.TITLE, clSilver);
    QCOMPARE(saved.FOOT_BG, RGBColor(128, 128, 128));
    QVERIFY(!saved.FOOT_TRANS);
}

void TColorDialogTest::transparentTextBackgroundShowsSolidSilver() {
    TFixture f;
    f.Open("Site", [](TDColor& c) {
        c.TEXT_BG = RGBColor(255, 0, 0);
        c.TEXT_TRANS = true;
    });
    f.Show();
    QVERIFY(f.Form.ShapeText->Hatched());
    QCOMPARE(f.Form.ShapeText->Color(), clSilver);
    f.Select(1);
    QVERIFY(!f.Form.ShapeColor->Hatched());
    QCOMPARE(f.Form.ShapeColor->Color(), clSilver);
    QCOMPARE(f.Form.ShapeColor->toolTip(), QStringLiteral("192.192.192"));
    // Applying the transparent swatch keeps it transparent (hatched in ShapeColor as well).
    f.Click(f.Form.ShapeEmpty);
    QVERIFY(f.Form.ShapeText->Hatched());
    QVERIFY(f.Form.ShapeColor->Hatched());
    // OK stores silver: the red it had before is gone.
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QCOMPARE(f.Record().TEXT_BG, clSilver);
    QVERIFY(f.Record().TEXT_TRANS);
}

void TColorDialogTest::okWritesEveryFieldAndSaves() {
    TFixture f;
    f.Open("Site");
    f.Show();
    // Each item gets a derived swatch of its own from the base (200, 100, 50).
    f.Picker.Answers = {RGBColor(200, 100, 50)};
    QTest::mouseClick(f.Form.ButtonBase, Qt::LeftButton);
    const std::array<TColor, 16> derived = DeriveSwatches(RGBColor(200, 100, 50));
    for (int item = 0; item < TFormColor::ItemCount; ++item) {
        f.Select(item);
        f.Click(f.Form.Shape[static_cast<std::size_t>(item)]);
    }
    f.Select(12);
    f.Click(f.Form.ShapeEmpty); // the foot background made transparent
    QTest::keyClick(&f.Form, Qt::Key_Return);
    QCOMPARE(f.Form.result(), int(QDialog::Accepted));
    QVERIFY(!f.Form.isVisible());
    TDColor expected;
    expected.BASE = RGBColor(200, 100, 50);
    expected.BG = derived[0];
    expected.TEXT_BG = derived[1];
    expected.TITLE = derived[2];
    expected.TEXT = derived[3];
    expected.WELCOME_BG = derived[4];
    expected.WELCOME_TEXT = derived[5];
    expected.TOPIC_BG = derived[6];
    expected.TOPIC_TEXT = derived[7];
    expected.MENU_BG = derived[8];
    expected.MENU_TEXT = derived[9];
    expected.HOTSPOT_BG = derived[10];
    expected.HOTSPOT_TEXT = derived[11];
    expected.FOOT_BG = clSilver;
    expected.FOOT_TRANS = true;
    expected.FOOT_TEXT = derived[13];
    QCOMPARE(Fields(f.Record()), Fields(expected));
    QCOMPARE(Fields(f.Saved()), Fields(expected));
}

void TColorDialogTest::cancelLeavesRecordAndFileUntouched() {
    TFixture f;
    f.Open("Site", [](TDColor& c) {
        c.BASE = RGBColor(10, 20, 30);
        c.WELCOME_TRANS = true;
        c.TOPIC_TEXT = RGBColor(1, 1, 1);
    });
    const std::vector<std::int64_t> before = Fields(f.Record());
    const auto files = Snapshot(f.Workspace.Project->Folder);
    for (bool escape : {false, true}) {
        f.Show();
        f.Form.TrackBar->setValue(3);
        f.Picker.Answers = {RGBColor(9, 9, 9), RGBColor(7, 7, 7)};
        QTest::mouseClick(f.Form.ButtonBase, Qt::LeftButton);
        for (int item = 0; item < TFormColor::ItemCount; ++item) {
            f.Select(item);
            f.Click(item % 2 ? f.Form.ShapeEmpty : f.Form.Shape[5]);
        }
        QTest::mouseClick(f.Form.ButtonColor, Qt::LeftButton);
        if (escape)
            QTest::keyClick(&f.Form, Qt::Key_Escape);
        else
            QTest::mouseClick(f.Form.ButtonCancel, Qt::LeftButton);
        QCOMPARE(f.Form.result(), int(QDialog::Rejected));
        QVERIFY(!f.Form.isVisible());
        QCOMPARE(Fields(f.Record()), before);
        QVERIFY(Snapshot(f.Workspace.Project->Folder) == files);
    }
}

void TColorDialogTest::secondShowingStartsAfresh() {
    TFixture f;
    f.Open("First", [](TDColor& c) {
        c.WELCOME_TRANS = true;
        c.BASE = RGBColor(200, 100, 50);
    });
    f.Show();
    QVERIFY(f.Form.ShapeWelcome->Hatched());
    f.Form.TrackBar->setValue(40);
    f.Select(6);
    f.Click(f.Form.ShapeEmpty);
    QTest::mouseClick(f.Form.ButtonCancel, Qt::LeftButton);

    f.Open("Second", [](TDColor& c) {
        c.WELCOME_BG = RGBColor(0, 128, 255);
        c.BASE = RGBColor(0, 0, 255);
    });
    f.Show();
    QVERIFY(!f.Form.ShapeWelcome->Hatched());
    QCOMPARE(f.Form.ShapeWelcome->Color(), RGBColor(0, 128, 255));
    QVERIFY(!f.Form.ShapeTopic->Hatched());
    QCOMPARE(f.Form.ShapeBase->Color(), RGBColor(0, 0, 255));
    QCOMPARE(f.Form.TrackBar->value(), 255);
    QCOMPARE(f.Form.ComboBoxItem->currentIndex(), 0);
    QCOMPARE(f.Form.ShapeColor->Color(), clWhite);
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QVERIFY(!f.Saved().WELCOME_TRANS);
    QCOMPARE(f.Saved().WELCOME_BG, RGBColor(0, 128, 255));
    QCOMPARE(f.Saved().BASE, RGBColor(0, 0, 255));
}

void TColorDialogTest::centredOnTheScreen() {
    TTempFolder temp;
    TWorkspace workspace(temp.Path() + "/");
    MakeFolder(temp / "Projects");
    MakeProject(workspace.ProjectsFolder() + "Site", {{"News", {"One"}}});
    workspace.Project =
        std::make_unique<TDProject>(workspace.ProjectsFolder() + "Site", workspace.XMLDoc);
    // A main window in a corner of the screen: the dialog is centred on the screen all the
    // same, every time it is shown.
    QWidget owner;
    owner.setGeometry(10, 10, 300, 200);
    owner.show();
    TScriptedColorPicker picker;
    TFormColor form(workspace, picker, &owner);
    for (int showing = 0; showing < 2; ++showing) {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint centre = form.screen()->availableGeometry().center();
        QVERIFY2((form.frameGeometry().center() - centre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2")
                                .arg(form.frameGeometry().center().x())
                                .arg(form.frameGeometry().center().y())));
        QVERIFY(form.width() >= 542);
        QCOMPARE(form.height(), 384);
        form.hide();
        owner.move(40, 30);
    }
}

void TColorDialogTest::schemesByKeyboardAndFromTheBaseColor() {
    // Alt+S reaches the list, the arrows its row, Space or Enter applies the scheme (Enter
    // does not close the dialog); the current item stays, OK stores the scheme.
    const struct {
        int Row;
        Qt::Key Key;
        int Item;
    } cases[] = {{0, Qt::Key_Space, 0}, {2, Qt::Key_Return, 9}, {8, Qt::Key_Enter, 12}};
    TFixture f;
    f.Open("Site", [](TDColor& c) { c.MENU_TRANS = c.FOOT_TRANS = true; });
    for (const auto& c : cases) {
        const TNamedScheme& ready = ReadySchemes()[static_cast<std::size_t>(c.Row)];
        f.Show();
        QVERIFY(QTest::qWaitForWindowActive(&f.Form));
        QCOMPARE(f.Form.ListSchemes->count(), qsizetype(ReadySchemes().size()));
        QCOMPARE(f.Form.ListSchemes->item(c.Row)->text(), QString::fromUtf8(ready.Name));
        f.Select(c.Item);
        const std::vector<std::int64_t> before = Fields(f.Form.ShownScheme());
        QTest::keyClick(&f.Form, Qt::Key_S, Qt::AltModifier);
        QCOMPARE(f.Form.focusWidget(), f.Form.ListSchemes);
        QCOMPARE(Fields(f.Form.ShownScheme()), before); // reaching the list applies nothing
        for (int down = 0; down < c.Row; ++down)
            QTest::keyClick(f.Form.ListSchemes, Qt::Key_Down);
        QTest::keyClick(f.Form.ListSchemes, c.Key);
        QVERIFY(f.Form.isVisible());
        QCOMPARE(Fields(f.Form.ShownScheme()), Fields(ready.Scheme));
        QCOMPARE(f.Form.ComboBoxItem->currentIndex(), c.Item);
        QCOMPARE(f.Form.Shape[0]->Color(), ready.Scheme.BASE);
        QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
        QCOMPARE(Fields(f.Saved()), Fields(ready.Scheme));
    }
    // The base colour from the record, from the picker, from the track bar: Alt+M (a
    // button's letter presses it a moment later) makes the whole scheme.
    f.Record().BASE = RGBColor(30, 90, 140);
    f.Show();
    QVERIFY(QTest::qWaitForWindowActive(&f.Form));
    f.Picker.Answers = {RGBColor(200, 100, 50)};
    const std::function<void()> moves[] = {
        [] {}, [&f] { QTest::mouseClick(f.Form.ButtonBase, Qt::LeftButton); },
        [&f] { f.Form.TrackBar->setValue(40); }};
    for (const auto& move : moves) {
        move();
        const TColor base = f.Form.ShapeBase->Color();
        QTest::keyClick(&f.Form, Qt::Key_M, Qt::AltModifier);
        QTRY_COMPARE(Fields(f.Form.ShownScheme()), Fields(SchemeFromBase(base)));
        QCOMPARE(f.Form.Shape[0]->Color(), base);
    }
    QTest::mouseClick(f.Form.ButtonOK, Qt::LeftButton);
    QCOMPARE(Fields(f.Saved()), Fields(SchemeFromBase(ShiftBaseColor(RGBColor(200, 100, 50), 40))));
}

void TColorDialogTest::contrastLineAndEverySwatchByKeyboard() {
    const struct {
        int Item;
        TColorShape* TFormColor::*Swatch; // applied to the item first, when set
        const char* Line;
    } cases[] = {
        {3, nullptr, "Text on background: 21.0:1, passes"},
        {0, nullptr, "Text on background: 21.0:1, passes"},
        {2, &TFormColor::ShapeSilver, "Title on background: 1.8:1, too low (at least 4.5:1)"},
        {9, nullptr, "Menu text on background: 3.9:1, too low (at least 4.5:1)"},
        {8, &TFormColor::ShapeBlack, "Menu text on background: 5.3:1, passes"},
        // The transparent foot shows its text on the page's background.
        {13, nullptr, "Foot text on background: 4.5:1, passes"},
        {12, &TFormColor::ShapeWhite, "Foot text on background: 1.0:1, too low (at least 4.5:1)"},
    };
    TFixture f;
    f.Open("Site", [](TDColor& c) {
        c.BASE = RGBColor(200, 100, 50);
        c.MENU_TEXT = RGBColor(128, 128, 128);
        c.FOOT_TEXT = clWhite;
        c.FOOT_TRANS = true;
        c.BG = RGBColor(0x76, 0x76, 0x76);
    });
    f.Show();
    QVERIFY(QTest::qWaitForWindowActive(&f.Form));
    const QColor normal = f.Form.palette().color(QPalette::WindowText);
    for (const auto& c : cases) {
        f.Select(c.Item);
        if (c.Swatch)
            f.Click(f.Form.*c.Swatch);
        const QString line = QString::fromLatin1(c.Line);
        QCOMPARE(f.Form.LabelContrast->text(), line);
        QCOMPARE(f.Form.LabelContrast->palette().color(QPalette::WindowText) != normal,
                 line.contains(QStringLiteral("too low")));
    }
    // Under the miniature page, above the buttons.
    QVERIFY(f.Form.LabelContrast->geometry().top() > f.Form.ShapeColor->geometry().bottom());
    QVERIFY(f.Form.LabelContrast->geometry().bottom() < f.Form.ButtonOK->geometry().top());

    f.Select(2); // "Title"
    f.Form.ButtonBase->setFocus();
    // Tab goes round the whole dialog once, through every swatch.
    QList<QWidget*> reached;
    for (int tab = 0; tab < 60 && !reached.contains(f.Form.focusWidget()); ++tab) {
        reached << f.Form.focusWidget();
        QTest::keyClick(f.Form.focusWidget(), Qt::Key_Tab);
    }
    QList<TColorShape*> swatches(f.Form.Shape.begin(), f.Form.Shape.end());
    swatches << f.Form.ShapeWhite << f.Form.ShapeSilver << f.Form.ShapeGray << f.Form.ShapeBlack
             << f.Form.ShapeEmpty;
    for (TColorShape* s : swatches) {
        QVERIFY2(reached.contains(s), qPrintable(s->objectName()));
        // Space or Enter applies the focused swatch to the item, and leaves the dialog open.
        s->setFocus();
        QTest::keyClick(s, s == f.Form.ShapeGray ? Qt::Key_Return : Qt::Key_Space);
        QCOMPARE(f.Form.LabelTitle->Color(), s->Color());
        QVERIFY(f.Form.isVisible());
    }
    // The arrows go through the grid and stop at its edges.
    f.Form.Shape[0]->setFocus();
    const std::pair<Qt::Key, QWidget*> moves[] = {
        {Qt::Key_Left, f.Form.Shape[0]},    {Qt::Key_Right, f.Form.Shape[1]},
        {Qt::Key_Down, f.Form.Shape[5]},    {Qt::Key_Down, f.Form.Shape[9]},
        {Qt::Key_Down, f.Form.Shape[13]},   {Qt::Key_Down, f.Form.ShapeSilver},
        {Qt::Key_Down, f.Form.ShapeSilver}, {Qt::Key_Left, f.Form.ShapeWhite},
        {Qt::Key_Down, f.Form.ShapeEmpty},  {Qt::Key_Up, f.Form.ShapeWhite}};
    for (const auto& [key, to] : moves) {
        QTest::keyClick(f.Form.focusWidget(), key);
        QCOMPARE(f.Form.focusWidget(), to);
    }
    // The base colour's swatch and the item's open the picker.
    f.Picker.Answers = {RGBColor(1, 2, 3), RGBColor(1, 2, 3)};
    for (TColorShape* s : {f.Form.ShapeBase, f.Form.ShapeColor}) {
        QVERIFY(reached.contains(s));
        QTest::keyClick(s, Qt::Key_Space);
    }
    QCOMPARE(f.Picker.Opened.size(), std::size_t(2));
    QCOMPARE(f.Form.ShapeBase->Color(), RGBColor(1, 2, 3));
    QCOMPARE(f.Form.LabelTitle->Color(), RGBColor(1, 2, 3));
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TColorDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ColorDialogTest.moc"
