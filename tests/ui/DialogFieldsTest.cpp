// The parts the dialogs share: file dialog filters, path tests, copy names, the preview's
// display, multi-line texts, typing limits, drop-down lists, the picture field and the link
// field, the page date and the menu's space slider.

#include "ContentTestSupport.h"
#include "PictureSupport.h"

#include "generator/Generator.h"
#include "ui/DialogControls.h"
#include "ui/FMenu.h"
#include "ui/FPage.h"
#include "ui/LinkField.h"
#include "ui/MultiLineText.h"
#include "ui/PictureField.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>

namespace {

const QString QtPictureFilter =
    QStringLiteral("All (*.jpg *.jpeg *.gif *.png *.webp);;JPEG Image File (*.jpg);;JPEG Image "
                   "File (*.jpeg);;GIF Image File (*.gif);;PNG Image File (*.png);;WebP Image "
                   "File (*.webp)");

QString Flag(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

// The state of a picture field as one line, to compare whole states at once.
QString State(const TPictureField& field) {
    return QStringLiteral("ticked=%1 buttons=%2/%3 path=%4 picture=%5x%6 note=%7 size=%8")
        .arg(Flag(field.CheckBox->isChecked()))
        .arg(Flag(field.ButtonPicture->isEnabled()))
        .arg(Flag(field.ButtonSize->isEnabled()))
        .arg(Q(field.PicturePath()))
        .arg(field.Image->PictureSize().width())
        .arg(field.Image->PictureSize().height())
        .arg(field.Image->Note())
        .arg(field.ButtonSize->text());
}

// What Store writes into a record that held name, width and height before.
struct TStored {
    std::string Name;
    std::int32_t Width;
    std::int32_t Height;
    bool operator==(const TStored&) const = default;
};
TStored Store(TPictureField& field, const std::string& imagesPath, TStored before) {
    field.Store(before.Name, before.Width, before.Height, imagesPath);
    return before;
}

QColor PixelAt(QWidget* widget, QPoint point) {
    return widget->grab().toImage().pixelColor(point);
}

} // namespace

class TDialogFieldsTest : public QObject {
    Q_OBJECT

  private slots:
    void fileFiltersInQtForm();
    void pathPartsAndFolderComparison();
    void copyNamesOfEachMember();
    void previewRectangles();
    void multiLineTextConversions();
    void multiLineMemoRoundTrip();
    void typingLimitsLeaveProgramTextsWhole();
    void dropDownListsSelectByExactText();
    void pictureFieldShowsAStoredPicture();
    void pictureFieldDisplayToggleSurvivesShowing();
    void pictureFieldReadsPngWebpAndTurnedPhotos();
    void pictureFieldDrawsFittedOrNatural();
    void pictureFieldRefusesUnreadablePicks();
    void pictureFieldKeepsAStoredPictureItCannotLoad();
    void pictureFieldTickedWithoutPicture();
    void pictureFieldFixedCopyReplacesOnlyItsOwnName();
    void linkTargetsShownAndStored();
    void linkFieldKindEnablesTheFileButton();
    void pageDateForms();
    void spaceSlider();
};

void TDialogFieldsTest::fileFiltersInQtForm() {
    // The texts of the two file dialogs as the program defines them.
    QCOMPARE(std::string(PictureFileFilter),
             std::string("All (*.jpg;*.jpeg;*.gif;*.png;*.webp)|*.jpg;*.jpeg;*.gif;*.png;*."
                         "webp|JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|"
                         "GIF Image File (*.gif)|*.gif|PNG Image File (*.png)|*.png|WebP Image "
                         "File (*.webp)|*.webp"));
    QCOMPARE(std::string(AnyFileFilter), std::string("All (*.*)|*.*"));

    const struct {
        std::string Filter;
        QString Qt;
    } cases[] = {
        {PictureFileFilter, QtPictureFilter},
        {AnyFileFilter, "All (*.*)"},
        // A description without its own patterns gets them appended.
        {"Pictures|*.gif;*.jpg", "Pictures (*.gif *.jpg)"},
        {"Text (*.txt)|*.txt;*.text|Any|*", "Text (*.txt) (*.txt *.text);;Any (*)"},
        // A description with no patterns stays as it is.
        {"Everything", "Everything"},
    };
    for (const auto& c : cases)
        QCOMPARE(QtFileFilter(c.Filter), c.Qt);
}

void TDialogFieldsTest::pathPartsAndFolderComparison() {
    const struct {
        std::string Path, Folder, Name, Extension;
    } parts[] = {
        {"/p/Site/Images/Logo.gif", "/p/Site/Images/", "Logo.gif", ".gif"},
        {"/p/A.B/Photo.JPEG", "/p/A.B/", "Photo.JPEG", ".JPEG"},
        {"/p/Downloads/README", "/p/Downloads/", "README", ""},
        {"/p/Downloads/archive.tar.gz", "/p/Downloads/", "archive.tar.gz", ".gz"},
        {"Bare.gif", "", "Bare.gif", ".gif"},
        {"/p/Images/", "/p/Images/", "", ""},
        {"", "", "", ""},
        // Only "/" separates folders here.
        {"/p/a\\b:c.gif", "/p/", "a\\b:c.gif", ".gif"},
    };
    for (const auto& p : parts) {
        QCOMPARE(FolderOfPath(p.Path), p.Folder);
        QCOMPARE(NameInPath(p.Path), p.Name);
        QCOMPARE(ExtensionInPath(p.Path), p.Extension);
    }

    // Exact text: letter case counts and nothing is made canonical.
    const struct {
        std::string Path;
        bool Inside;
    } inside[] = {
        {"/p/Site/Images/Logo.gif", true},      {"/p/Site/images/Logo.gif", false},
        {"/p/Site/Images/Sub/Logo.gif", false}, {"/p/Site/./Images/Logo.gif", false},
        {"/p/Site//Images/Logo.gif", false},    {"Logo.gif", false},
    };
    for (const auto& c : inside)
        QVERIFY2(LiesInFolder(c.Path, "/p/Site/Images/") == c.Inside, c.Path.c_str());
}

void TDialogFieldsTest::copyNamesOfEachMember() {
    TTempFolder temp;
    const std::string images = temp.Path() + "/";
    const struct {
        TPictureMember Member;
        const char* Caption;
        const char* CheckBox;
        const char* Image;
        std::string Copy;
    } members[] = {
        {TPictureMember::Background, "Has Background", "CheckBoxHasBackground", "ImageBackground",
         "Background.gif"},
        {TPictureMember::Logo, "Has Logo", "CheckBoxHasLogo", "ImageLogo", "Logo.gif"},
        {TPictureMember::Button, "Has Button", "CheckBoxHasButton", "ImageButton", "Button.gif"},
        {TPictureMember::Hotspot, "Has Picture", "CheckBoxHasPicture", "ImagePicture",
         "Hotspot.gif"},
        {TPictureMember::Page, "Has Picture", "CheckBoxHasPicture", "ImagePicture", "File1.gif"},
    };
    for (const auto& m : members) {
        const TPictureMemberInfo& info = PictureMemberInfo(m.Member);
        QCOMPARE(std::string(info.Caption), std::string(m.Caption));
        QCOMPARE(std::string(info.CheckBoxName), std::string(m.CheckBox));
        QCOMPARE(std::string(info.ImageName), std::string(m.Image));
        QCOMPARE(PictureCopyPath(m.Member, images, ".gif"), images + m.Copy);
    }
    // The extension as it is, or none; a fixed name does not look at what exists.
    WriteFileBytes(images + "Logo.JPG", "x");
    QCOMPARE(PictureCopyPath(TPictureMember::Logo, images, ".JPG"), images + "Logo.JPG");
    QCOMPARE(PictureCopyPath(TPictureMember::Button, images, ""), images + "Button");
    // A page's copy takes the first free number for its extension.
    WriteFileBytes(images + "File1.gif", "x");
    QCOMPARE(PictureCopyPath(TPictureMember::Page, images, ".gif"), images + "File2.gif");
    QCOMPARE(PictureCopyPath(TPictureMember::Page, images, ".GIF"), images + "File1.GIF");
    QCOMPARE(PictureCopyPath(TPictureMember::Page, images, ".jpg"), images + "File1.jpg");
}

void TDialogFieldsTest::previewRectangles() {
    const QSize box(160, 120);
    const struct {
        QSize Picture;
        bool Fitted;
        QRect Drawn;
    } cases[] = {
        {{48, 32}, true, {0, 0, 48, 32}},
        {{48, 32}, false, {0, 0, 48, 32}},
        {{160, 120}, true, {0, 0, 160, 120}},
        {{400, 300}, true, {0, 0, 160, 120}},
        {{400, 300}, false, {0, 0, 400, 300}},
        {{400, 100}, true, {0, 0, 160, 40}},
        {{100, 600}, true, {0, 0, 20, 120}},
        {{200, 50}, false, {0, 0, 200, 50}},
        // A thin picture keeps at least one pixel.
        {{10000, 1}, true, {0, 0, 160, 1}},
        {{}, true, {}},
    };
    for (const auto& c : cases)
        QCOMPARE(PreviewRect(c.Picture, box, c.Fitted), c.Drawn);
    QCOMPARE(std::string(SizeButtonCaption(true)), std::string("<>"));
    QCOMPARE(std::string(SizeButtonCaption(false)), std::string("><"));
}

void TDialogFieldsTest::multiLineTextConversions() {
    QCOMPARE(std::string(LineBreakMark), std::string("#$D#$A"));
    // Stored text, as the memo shows it (one "\n" per line break), and the memo's text
    // stored again.
    const struct {
        std::string Stored;
        QString Memo;
    } cases[] = {
        {"first#$D#$Asecond", "first\nsecond"},
        {"one#$D#$Atwo#$D#$Athree", "one\ntwo\nthree"},
        {"", ""},
        {"#$D#$A", "\n"},
        {"trailing#$D#$A", "trailing\n"},
        {"#$D#$A#$D#$A", "\n\n"},
        // A lone LF or CR is no line break: shown as its symbol, stored unchanged.
        {"lone\nfeed", QStringLiteral("lone\u240Afeed")},
        {"lone\rreturn", QStringLiteral("lone\u240Dreturn")},
        {"a\r#$D#$Ab", QStringLiteral("a\u240D\nb")},
        {"#$D#A and #$D# are not marks", "#$D#A and #$D# are not marks"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         QStringLiteral("Gr\u00FC\u00DFe")},
    };
    for (const auto& c : cases) {
        QCOMPARE(MemoFromText(LineBreaksFromMarks(c.Stored)), c.Memo);
        // The memo gives back paragraph separators between its lines.
        QString raw = c.Memo;
        raw.replace(u'\n', QChar::ParagraphSeparator);
        QCOMPARE(MarksFromLineBreaks(TextFromMemo(raw)), c.Stored);
    }
    // A CR LF written into a stored text by hand is a line break like the mark.
    QCOMPARE(MemoFromText(LineBreaksFromMarks("a\r\nb")), QStringLiteral("a\nb"));
    QCOMPARE(MarksFromLineBreaks(TextFromMemo(QStringLiteral("a\u2029b"))),
             std::string("a#$D#$Ab"));
    // A line separator (Shift+Enter) is a line break too.
    QCOMPARE(MarksFromLineBreaks(TextFromMemo(QStringLiteral("a\u2028b"))),
             std::string("a#$D#$Ab"));
}

void TDialogFieldsTest::multiLineMemoRoundTrip() {
    TMultiLineText memo;
    memo.show();
    QCOMPARE(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(memo.tabChangesFocus());

    memo.SetStoredText("first#$D#$Asecond");
    QCOMPARE(memo.blockCount(), 2);
    QCOMPARE(memo.document()->findBlockByNumber(1).text(), QStringLiteral("second"));
    QCOMPARE(memo.StoredText(), std::string("first#$D#$Asecond"));

    // Typed: Enter makes a line break, stored as the mark.
    memo.clear();
    QTest::keyClicks(&memo, QStringLiteral("one"));
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, QStringLiteral("two"));
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, QStringLiteral("three"));
    QCOMPARE(memo.StoredText(), std::string("one#$D#$Atwo#$D#$Athree"));

    memo.SetStoredText("lone\nfeed");
    QCOMPARE(memo.blockCount(), 1);
    QCOMPARE(memo.StoredText(), std::string("lone\nfeed"));
}

void TDialogFieldsTest::typingLimitsLeaveProgramTextsWhole() {
    QLineEdit edit;
    LimitTyping(&edit, 8);
    edit.show();
    QTest::keyClicks(&edit, QStringLiteral("1234567890"));
    QCOMPARE(edit.text(), QStringLiteral("12345678"));

    // A longer text from the program is kept whole; typing cannot lengthen it but may
    // shorten it.
    const QString path = QStringLiteral("/a/long/path/of/more/than/eight/characters.zip");
    edit.setText(path);
    QCOMPARE(edit.text(), path);
    edit.end(false);
    QTest::keyClicks(&edit, QStringLiteral("x"));
    QCOMPARE(edit.text(), path);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), path.chopped(1));
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("abc"));
    QCOMPARE(edit.text(), QStringLiteral("abc"));
}

void TDialogFieldsTest::dropDownListsSelectByExactText() {
    QWidget parent;
    QComboBox* list = MakeDropDownList(&parent, "ComboBoxPosition", {"Left", "Center", "Right"});
    QCOMPARE(list->objectName(), QStringLiteral("ComboBoxPosition"));
    QVERIFY(!list->isEditable());
    QCOMPARE(list->currentIndex(), -1);
    const struct {
        std::string Stored;
        int Index;
        std::string Selected;
    } cases[] = {
        {"Center", 1, "Center"}, {"Right", 2, "Right"}, {"center", -1, ""},
        {"Center ", -1, ""},     {"", -1, ""},          {"Middle", -1, ""},
    };
    for (const auto& c : cases) {
        SelectItemText(list, c.Stored);
        QCOMPARE(list->currentIndex(), c.Index);
        QCOMPARE(SelectedItemText(list), c.Selected);
    }
}

void TDialogFieldsTest::pictureFieldShowsAStoredPicture() {
    TContentFixture f;
    f.Put("bands.gif", f.Images() + "Logo.gif");
    TPictureField field(TPictureMember::Logo, f.Prompter, f.Workspace.ApplicationFolder);
    QCOMPARE(field.CheckBox->objectName(), QStringLiteral("CheckBoxHasLogo"));
    QCOMPARE(field.CheckBox->text(), QStringLiteral("Has Logo"));
    QCOMPARE(field.Image->objectName(), QStringLiteral("ImageLogo"));
    QCOMPARE(field.ButtonPicture->text(), QStringLiteral("..."));
    QVERIFY(!field.ButtonPicture->isEnabled() && !field.ButtonSize->isEnabled());

    field.Show("Logo.gif", f.Images());
    QCOMPARE(State(field), "ticked=true buttons=true/true path=" + Q(f.Images()) +
                               "Logo.gif picture=48x32 note= size=<>");
    field.Show("", f.Images());
    QCOMPARE(State(field),
             QStringLiteral("ticked=false buttons=false/false path= picture=-1x-1 note= size=<>"));

    // The check box switches the buttons only; the path and the preview stay.
    field.Show("Logo.gif", f.Images());
    field.CheckBox->click();
    QCOMPARE(State(field), "ticked=false buttons=false/false path=" + Q(f.Images()) +
                               "Logo.gif picture=48x32 note= size=<>");
    field.CheckBox->click();
    QVERIFY(field.ButtonPicture->isEnabled() && field.ButtonSize->isEnabled());
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDialogFieldsTest::pictureFieldReadsPngWebpAndTurnedPhotos() {
    TContentFixture f;
    // A photo stored lying (40 x 20) that its EXIF orientation turns a quarter clockwise.
    WriteFileBytes(f.Images() + "Turned.jpg",
                   WithOrientation(EncodeJpeg(MarkedPicture(40, 20), 95, "Turned.jpg"), 6));
    WriteFileBytes(f.Images() + "Shore.png", EncodePng(MarkedPicture(40, 30), "Shore.png"));
    WriteFileBytes(f.Images() + "Reed.webp", EncodeWebp(MarkedPicture(50, 20), 80, false, "x"));
    TPictureField field(TPictureMember::Hotspot, f.Prompter, f.Workspace.ApplicationFolder);
    const struct {
        const char* Name;
        int Width, Height;
    } cases[] = {{"Turned.jpg", 20, 40}, {"Shore.png", 40, 30}, {"Reed.webp", 50, 20}};
    for (const auto& c : cases) {
        field.Show(c.Name, f.Images());
        QCOMPARE(field.Image->PictureSize(), QSize(c.Width, c.Height));
        QCOMPARE(Store(field, f.Images(), {}), (TStored{c.Name, c.Width, c.Height}));
    }
    // Upright: the red quarter of the turned photo is at its top right.
    field.Show("Turned.jpg", f.Images());
    const QPoint topRight = field.Image->contentsRect().topLeft() + QPoint(17, 2);
    const QColor red = PixelAt(field.Image, topRight);
    QVERIFY2(red.red() > 170 && red.blue() < 90, qPrintable(red.name()));
    QVERIFY(f.Prompter.Calls.isEmpty());
}

void TDialogFieldsTest::pictureFieldDisplayToggleSurvivesShowing() {
    TContentFixture f;
    WriteHalvesJpeg(f.Images() + "Wide.jpg", 400, 300);
    TPictureField field(TPictureMember::Hotspot, f.Prompter, f.Workspace.ApplicationFolder);
    field.Show("Wide.jpg", f.Images());
    QCOMPARE(field.Image->DrawnRect(), QRect(0, 0, 160, 120));
    field.ButtonSize->click();
    QCOMPARE(field.ButtonSize->text(), QStringLiteral("><"));
    QCOMPARE(field.Image->DrawnRect(), QRect(0, 0, 400, 300));
    // Shown again, with another picture or none: the display stays.
    field.Show("", f.Images());
    QCOMPARE(field.ButtonSize->text(), QStringLiteral("><"));
    field.Show("Wide.jpg", f.Images());
    QCOMPARE(field.Image->DrawnRect(), QRect(0, 0, 400, 300));
    field.ButtonSize->click();
    QCOMPARE(field.ButtonSize->text(), QStringLiteral("<>"));
    QCOMPARE(field.Image->DrawnRect(), QRect(0, 0, 160, 120));
    // The stored sizes never depend on it.
    QCOMPARE(Store(field, f.Images(), {}), (TStored{"Wide.jpg", 400, 300}));
    field.ButtonSize->click();
    QCOMPARE(Store(field, f.Images(), {}), (TStored{"Wide.jpg", 400, 300}));
}

void TDialogFieldsTest::pictureFieldDrawsFittedOrNatural() {
    TContentFixture f;
    WriteHalvesJpeg(f.Images() + "Wide.jpg", 400, 300);
    TPictureField field(TPictureMember::Page, f.Prompter, f.Workspace.ApplicationFolder);
    field.show();
    field.Show("Wide.jpg", f.Images());
    const QPoint origin = field.Image->contentsRect().topLeft();
    // Fitted, the whole picture shows: its right half is blue at the box's right edge.
    QColor right = PixelAt(field.Image, origin + QPoint(150, 60));
    QVERIFY2(right.blue() > 200 && right.red() < 60, qPrintable(right.name()));
    // At natural size the box shows the picture's top left corner: red.
    field.ButtonSize->click();
    right = PixelAt(field.Image, origin + QPoint(150, 60));
    QVERIFY2(right.red() > 200 && right.blue() < 60, qPrintable(right.name()));
    // A small picture is drawn at the top left corner at its size in both displays.
    f.Put("bands.jpg", f.Images() + "Small.jpg");
    field.Show("Small.jpg", f.Images());
    QCOMPARE(field.Image->DrawnRect(), QRect(0, 0, 48, 32));
    const QColor inside = PixelAt(field.Image, origin + QPoint(40, 10));
    QVERIFY2(inside.blue() > 200, qPrintable(inside.name()));
}

void TDialogFieldsTest::pictureFieldRefusesUnreadablePicks() {
    TContentFixture f;
    const std::string jpeg = ReadFileBytes(SamplePicture("bands.jpg"));
    const std::string gif = ReadFileBytes(SamplePicture("bands.gif"));
    WriteFileBytes(f.AppImages("Half.jpg"), jpeg.substr(0, jpeg.size() / 2));
    WriteFileBytes(f.AppImages("Cut.gif"), gif.substr(0, gif.size() - 20));
    // A code size of 15 bits in the image data, where GIF allows at most 12.
    std::string damaged = gif;
    damaged[43] = 0x0F;
    WriteFileBytes(f.AppImages("Damaged.gif"), damaged);
    WriteFileBytes(f.AppImages("Empty.jpeg"), "");
    WriteFileBytes(f.AppImages("Notes.txt"), "not a picture");
    f.Put("bands.gif", f.Images() + "Logo.gif");

    TPictureField field(TPictureMember::Logo, f.Prompter, f.Workspace.ApplicationFolder);
    field.Show("Logo.gif", f.Images());
    const QString before = State(field);
    const struct {
        std::string File;
        QString Message;
    } cases[] = {
        {"Half.jpg", "The JPEG picture is truncated"},
        {"Cut.gif", "The GIF picture is truncated"},
        {"Damaged.gif", "Cannot decode the GIF picture: damaged image data"},
        {"Empty.jpeg", "The picture file is empty"},
        {"Notes.txt", "Not a picture file name"},
        {"Missing.jpg", "Cannot open the picture file"},
    };
    for (const auto& c : cases) {
        const std::string path = f.AppImages(c.File);
        f.Prompter.Files.push_back(Q(path));
        field.ButtonPicture->click();
        const QStringList calls = f.Prompter.TakeCalls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[0], "OpenFile: Open Picture | " + QtPictureFilter);
        QVERIFY2(calls[1].startsWith("Information: " + c.Message), qPrintable(calls[1]));
        QVERIFY2(calls[1].contains(Q(path)), qPrintable(calls[1]));
        QCOMPARE(State(field), before);
        QCOMPARE(Store(field, f.Images(), {"Logo.gif", 1, 2}), (TStored{"Logo.gif", 48, 32}));
    }
    // The first dialog opened in the user's Pictures or home folder, every later one in the
    // folder the last picture was picked from.
    QCOMPARE(f.Prompter.Folders, QStringList{f.FirstFolder} + QStringList(5, Q(f.Temp / "Images")));
    // Cancelled: nothing changes either.
    field.ButtonPicture->click();
    QCOMPARE(f.Prompter.TakeCalls(),
             QStringList({"OpenFile: Open Picture | " + QtPictureFilter, "Unanswered"}));
    QCOMPARE(State(field), before);
    QCOMPARE(ListFolder(f.Images()).size(), std::size_t(1));
}

void TDialogFieldsTest::pictureFieldKeepsAStoredPictureItCannotLoad() {
    TContentFixture f;
    WriteFileBytes(f.Images() + "Broken.gif", "GIF89a broken");
    TPictureField field(TPictureMember::Hotspot, f.Prompter, f.Workspace.ApplicationFolder);
    for (const char* name : {"Broken.gif", "Missing.jpg"}) {
        field.Show(name, f.Images());
        QCOMPARE(State(field), "ticked=true buttons=true/true path=" + Q(f.Images() + name) +
                                   " picture=-1x-1 note=The picture cannot be shown size=<>");
        QVERIFY(field.KeepsStoredPicture());
        // OK keeps what the record holds, sizes included.
        QCOMPARE(Store(field, f.Images(), {name, 120, 80}), (TStored{name, 120, 80}));
    }
    QVERIFY(f.Prompter.Calls.isEmpty());
    // Unticked, it is cleared as any picture is.
    field.CheckBox->click();
    QCOMPARE(Store(field, f.Images(), {"Missing.jpg", 120, 80}), (TStored{"", 0, 0}));
    // A good picture picked instead replaces it.
    field.CheckBox->click();
    f.Prompter.Files.push_back(Q(f.Put("bands.gif", f.AppImages("Bands.gif"))));
    field.ButtonPicture->click();
    QVERIFY(!field.KeepsStoredPicture());
    QCOMPARE(field.Image->Note(), QString());
    QCOMPARE(Store(field, f.Images(), {"Missing.jpg", 120, 80}), (TStored{"Hotspot.gif", 48, 32}));
    QCOMPARE(ReadFileBytes(f.Images() + "Hotspot.gif"), ReadFileBytes(SamplePicture("bands.gif")));
}

void TDialogFieldsTest::pictureFieldTickedWithoutPicture() {
    TContentFixture f;
    for (TPictureMember member : {TPictureMember::Button, TPictureMember::Page}) {
        TPictureField field(member, f.Prompter, f.Workspace.ApplicationFolder);
        field.Show("", f.Images());
        field.CheckBox->click();
        QVERIFY(field.CheckBox->isChecked());
        QCOMPARE(Store(field, f.Images(), {"Old.gif", 5, 6}), (TStored{"", 0, 0}));
        // The frame's form, without sizes.
        std::string name = "Old.gif";
        field.Store(name, f.Images());
        QCOMPARE(name, std::string());
    }
    QVERIFY(ListFolder(f.Images()).empty());
}

void TDialogFieldsTest::pictureFieldFixedCopyReplacesOnlyItsOwnName() {
    TContentFixture f;
    WriteFileBytes(f.Images() + "Background.gif", "earlier copy");
    TPictureField field(TPictureMember::Background, f.Prompter, f.Workspace.ApplicationFolder);
    field.Show("", f.Images());
    field.CheckBox->click();
    f.Prompter.Files.push_back(Q(f.Put("transparent.gif", f.AppImages("Clear.gif"))));
    field.ButtonPicture->click();
    std::string name;
    field.Store(name, f.Images());
    QCOMPARE(name, std::string("Background.gif"));
    QCOMPARE(ReadFileBytes(f.Images() + "Background.gif"),
             ReadFileBytes(SamplePicture("transparent.gif")));
    QCOMPARE(field.PicturePath(), f.Images() + "Background.gif");
    // Stored again: it now lies in the Images folder and is not copied again.
    WriteFileBytes(f.Images() + "Background.gif", "changed meanwhile");
    field.Store(name, f.Images());
    QCOMPARE(ReadFileBytes(f.Images() + "Background.gif"), std::string("changed meanwhile"));
    // A JPEG leaves the GIF copy alone.
    f.Prompter.Files.push_back(Q(f.Put("bands.jpg", f.AppImages("Bands.jpg"))));
    field.ButtonPicture->click();
    field.Store(name, f.Images());
    QCOMPARE(name, std::string("Background.jpg"));
    QVERIFY(FileExists(f.Images() + "Background.gif"));
}

void TDialogFieldsTest::linkTargetsShownAndStored() {
    TContentFixture f;
    const std::string downloads = f.Downloads();
    WriteFileBytes(f.Temp / "Files/Report.PDF", "report");
    WriteFileBytes(downloads + "Own.zip", "own");
    const struct {
        std::string Kind, Url;
        std::string Target, UrlAfter;
    } cases[] = {
        {"Link", "http://example.com/a.zip", "http://example.com/a.zip",
         "http://example.com/a.zip"},
        {"E-mail", "info@example.com", "info@example.com", "info@example.com"},
        {"", f.Temp / "Files/Report.PDF", f.Temp / "Files/Report.PDF", f.Temp / "Files/Report.PDF"},
        {"Download", downloads + "Own.zip", "Own.zip", downloads + "Own.zip"},
        {"Download", f.Temp / "Files/Report.PDF", "File1.PDF", downloads + "File1.PDF"},
        {"Download", f.Temp / "Files/Report.PDF", "File2.PDF", downloads + "File2.PDF"},
        // A copy that fails is not reported: the target is the name that was to be copied.
        {"Download", f.Temp / "Files/Gone.zip", "Gone.zip", f.Temp / "Files/Gone.zip"},
        {"Download", "", "", ""},
        {"download", f.Temp / "Files/Report.PDF", f.Temp / "Files/Report.PDF",
         f.Temp / "Files/Report.PDF"},
    };
    for (const auto& c : cases) {
        std::string url = c.Url;
        QCOMPARE(StoreLinkTarget(c.Kind, url, downloads), c.Target);
        QCOMPARE(url, c.UrlAfter);
    }
    QCOMPARE(ReadFileBytes(downloads + "File2.PDF"), std::string("report"));
    QVERIFY(!FileExists(downloads + "File3.PDF") && !FileExists(downloads + "File1.zip"));

    QCOMPARE(ShownLinkTarget("Download", "File1.PDF", downloads), downloads + "File1.PDF");
    QCOMPARE(ShownLinkTarget("Link", "File1.PDF", downloads), std::string("File1.PDF"));
    QCOMPARE(ShownLinkTarget("", "x", downloads), std::string("x"));
}

void TDialogFieldsTest::linkFieldKindEnablesTheFileButton() {
    TContentFixture f;
    QWidget parent;
    TLinkField link(f.Prompter, &parent);
    QCOMPARE(link.ComboBoxKind->count(), 3);
    QCOMPARE(link.ComboBoxKind->itemText(2), QStringLiteral("Download"));
    QVERIFY(!link.ButtonFile->isEnabled());
    const struct {
        std::string Kind;
        bool FileButton;
        int Index;
    } kinds[] = {
        {"Download", true, 2}, {"Link", false, 0}, {"E-mail", false, 1}, {"Mail", false, -1}};
    for (const auto& k : kinds) {
        link.Show("Text", k.Kind, "target", f.Downloads());
        QCOMPARE(link.ComboBoxKind->currentIndex(), k.Index);
        QCOMPARE(link.ButtonFile->isEnabled(), k.FileButton);
        QCOMPARE(link.EditURL->text(),
                 Q(k.Kind == "Download" ? f.Downloads() + "target" : "target"));
    }
    // Changing the kind keeps the URL's text.
    link.ComboBoxKind->setCurrentIndex(2);
    QVERIFY(link.ButtonFile->isEnabled());
    QCOMPARE(link.EditURL->text(), QStringLiteral("target"));

    // "..." puts the picked file's full path into "URL:"; cancelling changes nothing.
    const QString picked = Q(f.Temp / "Files/File.zip");
    f.Prompter.Files.push_back(picked);
    link.ButtonFile->click();
    QCOMPARE(link.EditURL->text(), picked);
    link.ButtonFile->click();
    QCOMPARE(link.EditURL->text(), picked);
    QCOMPARE(f.Prompter.TakeCalls(), QStringList({"OpenFile: Open | All (*.*)",
                                                  "OpenFile: Open | All (*.*)", "Unanswered"}));
    // The first download dialog opens in the home folder, the next where the last file came
    // from; a folder that is gone is never offered.
    QCOMPARE(f.Prompter.Folders, (QStringList{QDir::homePath(), Q(f.Temp / "Files")}));
    RememberPickedFile(TFileKind::Download, QStringLiteral("/no/such/folder/File.zip"));
    QCOMPARE(FileDialogFolder(TFileKind::Download), QDir::homePath());
}

void TDialogFieldsTest::pageDateForms() {
    const struct {
        std::string Pattern;
        QString Qt;
    } formats[] = {
        {"%d.%m.%Y", "dd.MM.yyyy"}, {"%m/%d/%Y", "MM/dd/yyyy"},         {"%e-%m-%y", "d-MM-yyyy"},
        {"%Y-%m-%d", "yyyy-MM-dd"}, {"%d %m %Y r.", "dd MM yyyy 'r'."},
    };
    for (const auto& c : formats)
        QCOMPARE(QtDateFormat(c.Pattern), c.Qt);

    SetShortDatePattern("%d.%m.%Y");
    const TDate today = Today();
    const QDate todayDay(today.Year, today.Month, today.Day);
    const struct {
        std::string Stored;
        QDate Day;
    } dates[] = {
        {"31.12.2020", {2020, 12, 31}}, {"01.02.1999", {1999, 2, 1}}, {"29.02.2024", {2024, 2, 29}},
        {"30.02.2021", todayDay},       {"12/31/2020", todayDay},     {"", todayDay},
        {"yesterday", todayDay},        {"01.01.1000", todayDay},
    };
    for (const auto& c : dates)
        QCOMPARE(PageDate(c.Stored), c.Day);
    QCOMPARE(StoredPageDate(QDate(2021, 6, 5)), std::string("05.06.2021"));
    SetShortDatePattern("");
}

void TDialogFieldsTest::spaceSlider() {
    const struct {
        std::int32_t Stored;
        int Shown;
    } cases[] = {{16, 16}, {0, 0}, {50, 50}, {80, 50}, {-5, 0}, {2147483647, 50}};
    for (const auto& c : cases)
        QCOMPARE(SpaceOnSlider(c.Stored), c.Shown);
    QCOMPARE(SpaceCaption(50), QStringLiteral("Space: (50)"));
    QCOMPARE(SpaceCaption(0), QStringLiteral("Space: (0)"));
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    QApplication application(argc, argv);
    TDialogFieldsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogFieldsTest.moc"
