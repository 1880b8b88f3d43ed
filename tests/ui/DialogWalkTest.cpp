// What every dialog must do alike, walked over all of them: an OK that fails and a Cancel
// leave the records as they were, a screen reader can tell every control apart, and Tab
// goes through the controls in the order in which they are seen.

#include "UiTestSupport.h"

#include "app/Startup.h"
#include "model/ColumnInUse.h"
#include "platform/FileFaults.h"
#include "ui/ColorSwatch.h"
#include "ui/FColor.h"
#include "ui/FColumn.h"
#include "ui/FFont.h"
#include "ui/FFoot.h"
#include "ui/FFrame.h"
#include "ui/FHotspot.h"
#include "ui/FLanguage.h"
#include "ui/FLink.h"
#include "ui/FMain.h"
#include "ui/FMenu.h"
#include "ui/FNew.h"
#include "ui/FOptions.h"
#include "ui/FPage.h"
#include "ui/FPictureText.h"
#include "ui/FPublish.h"
#include "ui/FSize.h"
#include "ui/FTopic.h"
#include "ui/FWelcome.h"
#include "ui/LinkField.h"
#include "ui/MarkdownEditor.h"
#include "ui/MarkdownTextEdit.h"
#include "ui/Mnemonics.h"
#include "ui/MultiLineText.h"
#include "ui/PictureField.h"
#include "ui/SitePages.h"
#include "ui/StyleControls.h"
#include "ui/Workspace.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSlider>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEngineView>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Every record of the open project and the pages of the column in use, to compare whole.
struct TRecords {
    TDFrame Frame;
    TDSize Size;
    TDColor Color;
    TDFont Font;
    TDLanguage Language;
    TDWelcome Welcome;
    TDTopic Topic;
    TDMenu Menu;
    TDHotspot Hotspot;
    TDFoot Foot;
    TDPublish Publish;
    TDOptions Options;
    std::vector<TDMenuItem> Items;
    std::vector<TDPage> Pages;
    bool operator==(const TRecords&) const = default;
};

TRecords RecordsOf(const TDProject& project) {
    TRecords records{project.FRAME,
                     project.SIZE,
                     project.COLOR,
                     project.FONT,
                     project.LANGUAGE,
                     project.WELCOME,
                     project.TOPIC,
                     project.MENU,
                     project.HOTSPOT,
                     project.FOOT,
                     project.PUBLISH,
                     project.OPTIONS,
                     {},
                     {}};
    for (int i = 0; i < project.MenuCount; ++i)
        records.Items.push_back(project.MenuItem(i));
    if (CurrentColumn)
        for (int i = 0; i < CurrentColumn->PageCount; ++i)
            records.Pages.push_back(CurrentColumn->Page(i));
    return records;
}

// The whole program over an application folder in a temporary folder, with the project
// Projects/Site open: the column "News" with the pages "First" and "Second" (in use, the
// first page current), and the link "Elsewhere" (current). An error that escapes a dialog's
// handler is shown by the top-level report, as in the program.
class TWalkFixture {
  public:
    TWalkFixture() {
        MakeFolder(Temp / "Projects");
        MakeFolder(Temp / "Pictures");
        MakeProject(Folder(), {{"News", {"First", "Second"}}, {"Elsewhere", {}, true}});
        Program = std::make_unique<TProgram>(Temp.Path() + "/", Prompter);
        Program->Workspace.Project =
            std::make_unique<TDProject>(Folder(), Program->Workspace.XMLDoc);
        Project().CurrentItem = 0;
        Column = std::make_unique<TColumnInUse>(Project().ColumnFile(0), Program->Workspace.XMLDoc);
        (*Column)->CurrentPage = 0;
        Application()->SetPrompter(&Prompter);
    }
    ~TWalkFixture() {
        Application()->SetPrompter(nullptr);
        Column.reset();
    }
    TWalkFixture(const TWalkFixture&) = delete;
    TWalkFixture& operator=(const TWalkFixture&) = delete;

    static TApplication* Application() {
        return static_cast<TApplication*>(QCoreApplication::instance());
    }
    std::string Folder() const { return Temp / "Projects/Site"; }
    TDProject& Project() { return *Program->Workspace.Project; }
    TFormMain& Main() { return *Program->FormMain; }
    // Every dialog of the main window.
    QList<QDialog*> Dialogs() { return Main().findChildren<QDialog*>(); }
    // A picture outside the project, where a user would pick it.
    QString Picture() {
        const std::string path = Temp / "Pictures/Picked.gif";
        WriteFileBytes(path, ReadFileBytes(SamplePicture("bands.gif")));
        return Q(path);
    }

    TTempFolder Temp;
    TScriptedPrompter Prompter;
    std::unique_ptr<TProgram> Program;
    std::unique_ptr<TColumnInUse> Column;
};

// A click as the user gives it: through the application, whose report shows what escapes.
void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// What a screen reader says of a control: its accessible name, else its caption.
QString SpokenName(const QWidget* control) {
    if (!control->accessibleName().isEmpty())
        return control->accessibleName();
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        return WithoutMnemonic(button->text());
    return QString();
}

// True when a caption says something by itself (a word or a number, not "..." or "<>").
bool Legible(const QString& text) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z0-9]"));
    return WithoutMnemonic(text).contains(word);
}

QString Describe(const QWidget* window, const QWidget* control) {
    return window->objectName() + QStringLiteral(": ") + control->objectName() +
           QStringLiteral(" (") + QString::fromLatin1(control->metaObject()->className()) +
           QStringLiteral(")");
}

// The controls of window (not those of its own windows, such as the drop-down lists of its
// combo boxes) that a screen reader must tell apart: buttons, sliders, lists and swatches.
// Scroll bars and list headers are parts of their lists.
QList<QWidget*> SpokenControls(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->window() != window)
            continue;
        if (qobject_cast<QScrollBar*>(widget) || qobject_cast<QHeaderView*>(widget))
            continue;
        if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QAbstractSlider*>(widget) ||
            qobject_cast<QAbstractItemView*>(widget) || qobject_cast<TColorShape*>(widget))
            controls << widget;
    }
    return controls;
}

// The faults of one window: a control without a name, a captionless button without a
// description, and two controls with one name.
QStringList AccessibleFaults(QWidget* window) {
    QStringList faults;
    QMap<QString, QString> names;
    for (QWidget* control : SpokenControls(window)) {
        // The tool bar's own button for the items that do not fit is Qt's.
        if (control->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        const QString what = Describe(window, control);
        const QString name = SpokenName(control);
        if (name.isEmpty() ||
            (qobject_cast<QAbstractButton*>(control) && control->accessibleName().isEmpty() &&
             !Legible(static_cast<QAbstractButton*>(control)->text())))
            faults << what + QStringLiteral(" has no accessible name");
        else if (names.contains(name))
            faults << what + QStringLiteral(" is called \"") + name + QStringLiteral("\" like ") +
                          names[name];
        else
            names[name] = what;
        const auto* button = qobject_cast<QAbstractButton*>(control);
        if ((qobject_cast<QToolButton*>(control) || (button && !Legible(button->text()))) &&
            control->accessibleDescription().isEmpty())
            faults << what + QStringLiteral(" has no accessible description");
    }
    return faults;
}

// Where a control lies in its window.
QRect PlaceIn(const QWidget* window, const QWidget* control) {
    return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

// The controls that Tab walks through in window, in the order of its focus chain from the
// window on: those that take the focus with Tab and can be seen (enabled or not: a control
// that is off now comes on with another choice, and must then be in its place). A control
// that hands its focus to another (a spin box to its edit) counts as that other.
QList<QWidget*> TabChain(QWidget* window) {
    QList<QWidget*> chain;
    QWidget* widget = window;
    for (int guard = 0; guard < 500; ++guard) {
        widget = widget->nextInFocusChain();
        if (widget == window)
            break;
        if (widget->window() == window && widget->isVisibleTo(window) &&
            (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy() &&
            !chain.contains(widget))
            chain << widget;
    }
    return chain;
}

// The parts of a window that Tab visits as one: each control of the chain counts as the
// widget directly inside container that holds it (a picture field's check box and buttons
// are one part), in the order in which Tab first reaches it.
struct TPart {
    QWidget* Widget;
    QRect Place;
    QList<QWidget*> Controls; // in the chain's order
};

QWidget* PartOf(QWidget* container, QWidget* control) {
    QWidget* part = control;
    while (part->parentWidget() && part->parentWidget() != container)
        part = part->parentWidget();
    return part;
}

// Splits parts where they stop overlapping along one axis (rows: by their vertical extent,
// columns: by their horizontal one); parts that overlap by a few pixels only are apart. Gives
// each part's group, the groups numbered in their order along the axis.
QMap<QWidget*, int> Split(const QList<TPart>& parts, bool rows, int* count) {
    constexpr int Tolerance = 4;
    auto start = [rows](const TPart& p) { return rows ? p.Place.top() : p.Place.left(); };
    auto end = [rows](const TPart& p) { return rows ? p.Place.bottom() : p.Place.right(); };
    QList<TPart> sorted = parts;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const TPart& a, const TPart& b) { return start(a) < start(b); });
    QMap<QWidget*, int> group;
    int reach = 0;
    *count = 0;
    for (const TPart& p : sorted) {
        if (*count == 0 || start(p) > reach - Tolerance) {
            ++*count;
            reach = end(p);
        }
        group[p.Widget] = *count - 1;
        reach = std::max(reach, end(p));
    }
    return group;
}

// True when parts, in Tab's order, are in an order in which they are seen. The parts are
// split into rows (or columns, for a window laid out in columns); Tab must go through them
// from the top (or the left), a row (column) after the other, and through each in the same
// way. Tab may also go through a run of rows as one, by its columns (the columns of a
// two-column grid, one after the other), and the same with a run of columns by its rows.
// Parts that cannot be split either way go from the top, then from the left.
bool SeenInOrder(const QList<TPart>& parts, bool byRows = true, bool byColumns = true) {
    if (parts.size() <= 1)
        return true;
    bool splits = false;
    for (const bool rows : {true, false}) {
        int count = 0;
        const QMap<QWidget*, int> group = Split(parts, rows, &count);
        if (count < 2)
            continue;
        splits = true;
        if (!(rows ? byRows : byColumns))
            continue;
        // The runs of whole groups that Tab goes through one after the other.
        bool ok = true;
        int next = 0;
        int last = -1;
        QList<TPart> run;
        for (const TPart& p : parts) {
            const int g = group[p.Widget];
            if (g < next) {
                ok = false;
                break;
            }
            last = std::max(last, g);
            run << p;
            const auto inRun = std::count_if(group.begin(), group.end(),
                                             [&](int h) { return h >= next && h <= last; });
            if (run.size() < inRun)
                continue;
            const bool single = last == next;
            ok = ok && (single ? SeenInOrder(run)
                               : SeenInOrder(run, rows ? false : byRows, rows ? byColumns : false));
            next = last + 1;
            run.clear();
        }
        if (ok)
            return true;
    }
    if (splits)
        return false;
    QList<TPart> sorted = parts;
    std::stable_sort(sorted.begin(), sorted.end(), [](const TPart& a, const TPart& b) {
        return std::pair(a.Place.top(), a.Place.left()) < std::pair(b.Place.top(), b.Place.left());
    });
    for (qsizetype i = 0; i < parts.size(); ++i)
        if (sorted[i].Widget != parts[i].Widget)
            return false;
    return true;
}

QString Names(const QList<QWidget*>& controls) {
    QStringList names;
    for (const QWidget* c : controls)
        names << (c->objectName().isEmpty() ? QString::fromLatin1(c->metaObject()->className())
                                            : c->objectName());
    return names.join(QStringLiteral(", "));
}

// The fault of the tab order of the controls (in Tab's order) inside container, empty when
// there is none.
QString OrderFault(QWidget* window, QWidget* container, const QList<QWidget*>& controls) {
    QList<TPart> parts;
    for (QWidget* control : controls) {
        QWidget* part = PartOf(container, control);
        if (!parts.isEmpty() && parts.last().Widget == part) {
            parts.last().Controls << control;
            continue;
        }
        for (const TPart& p : parts)
            if (p.Widget == part)
                return Names(controls) + QStringLiteral(": Tab leaves ") + Names({part}) +
                       QStringLiteral(" and comes back");
        parts << TPart{part, PlaceIn(window, part), {control}};
    }
    if (!SeenInOrder(parts)) {
        QList<QWidget*> order;
        for (const TPart& p : parts)
            order << p.Widget;
        return Names(order) + QStringLiteral(" is not an order in which they are seen");
    }
    for (const TPart& p : parts)
        if (p.Controls.size() > 1 || p.Controls[0] != p.Widget) {
            QString fault = OrderFault(window, p.Widget, p.Controls);
            if (!fault.isEmpty())
                return fault;
        }
    return QString();
}

// The fault of one window's tab order, empty when Tab goes through its controls in an order
// in which they are seen.
QString TabOrderFault(QWidget* window) {
    const QList<QWidget*> chain = TabChain(window);
    if (chain.isEmpty())
        return window->objectName() + QStringLiteral(": Tab reaches no control");
    const QString fault = OrderFault(window, window, chain);
    return fault.isEmpty() ? fault : window->objectName() + QStringLiteral(": ") + fault;
}

} // namespace

class TDialogWalkTest : public QObject {
    Q_OBJECT

  private slots:
    void seenOrderGoesByRowsAndByColumns();
    void failedOkLeavesTheRecordsAsTheyWere();
    void failedCreateLeavesNoProjectOpen();
    void cancelLeavesTheRecordsAsTheyWere();
    void everyControlHasANameOfItsOwn();
    void tabFollowsTheSeenOrderInEveryDialog();
    void tabOrderFaultsAreFound();
    void formattedTextEditorsAndTheirDialogs();
};

void TDialogWalkTest::seenOrderGoesByRowsAndByColumns() {
    // A window with two columns of two rows, the right one a little lower, and a tall list
    // beside the second row:
    //   a  c
    //   b  d  list
    // then a picture field below them all.
    QWidget window;
    window.setObjectName(QStringLiteral("Window"));
    auto place = [&](const char* name, QRect r) {
        auto* edit = new QLineEdit(&window);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(r);
        return edit;
    };
    QLineEdit* a = place("a", {10, 10, 100, 20});
    QLineEdit* c = place("c", {200, 12, 100, 20});
    QLineEdit* b = place("b", {10, 40, 100, 20});
    QLineEdit* d = place("d", {200, 42, 100, 20});
    auto* list = new QListWidget(&window);
    list->setObjectName(QStringLiteral("list"));
    list->setGeometry(320, 38, 80, 100);
    TScriptedPrompter prompter;
    auto* field = new TPictureField(TPictureMember::Logo, prompter, "/", &window);
    field->setObjectName(QStringLiteral("field"));
    field->setGeometry(10, 150, 300, 150);
    window.show();
    // Tab goes in the order of making: by rows.
    QCOMPARE(Names(TabChain(&window)),
             QStringLiteral("a, c, b, d, list, CheckBoxHasLogo, ButtonPicture, ButtonSize"));
    QCOMPARE(TabOrderFault(&window), QString());
    // By columns.
    QWidget::setTabOrder(a, b);
    QWidget::setTabOrder(b, c);
    QCOMPARE(Names(TabChain(&window)),
             QStringLiteral("a, b, c, d, list, CheckBoxHasLogo, ButtonPicture, ButtonSize"));
    QCOMPARE(TabOrderFault(&window), QString());
    // Neither: the list before the row it stands in.
    QWidget::setTabOrder(a, list);
    QWidget::setTabOrder(list, b);
    QCOMPARE(TabOrderFault(&window),
             QStringLiteral("Window: a, list, b, c, d, field is not an order in which they "
                            "are seen"));
    QWidget::setTabOrder(a, b);
    QWidget::setTabOrder(d, list);
    QCOMPARE(TabOrderFault(&window), QString());
    // Into the picture field, out of it and back.
    QWidget::setTabOrder(field->CheckBox, d);
    QWidget::setTabOrder(d, field->ButtonPicture);
    QCOMPARE(TabOrderFault(&window),
             QStringLiteral("Window: a, b, c, list, CheckBoxHasLogo, d, ButtonPicture, "
                            "ButtonSize: Tab leaves field and comes back"));
    QWidget::setTabOrder(c, d);
    QWidget::setTabOrder(d, list);
    QWidget::setTabOrder(list, field->CheckBox);
    QWidget::setTabOrder(field->CheckBox, field->ButtonPicture);
    QCOMPARE(TabOrderFault(&window), QString());
    // Inside the field: the size button before the picture button, which lies above it.
    QWidget::setTabOrder(field->CheckBox, field->ButtonSize);
    QWidget::setTabOrder(field->ButtonSize, field->ButtonPicture);
    QCOMPARE(TabOrderFault(&window),
             QStringLiteral("Window: CheckBoxHasLogo, ButtonSize, ButtonPicture is not an order "
                            "in which they are seen"));
    // Hidden controls are not walked; disabled ones are.
    QWidget::setTabOrder(field->CheckBox, field->ButtonPicture);
    QWidget::setTabOrder(field->ButtonPicture, field->ButtonSize);
    d->setEnabled(false);
    b->hide();
    QCOMPARE(Names(TabChain(&window)),
             QStringLiteral("a, c, d, list, CheckBoxHasLogo, ButtonPicture, ButtonSize"));
    QCOMPARE(TabOrderFault(&window), QString());
}

void TDialogWalkTest::failedOkLeavesTheRecordsAsTheyWere() {
    TWalkFixture f;
    TProgram& p = *f.Program;
    // Each dialog that edits a record, with a change to it; the dialogs with a picture field
    // are also tried with a picture picked from outside the project, whose copy fails.
    const struct {
        QDialog* Dialog;
        QAbstractButton* OK;
        QAbstractButton* Cancel;
        std::function<void()> Change;
        TPictureField* Picture;
        // The Language dialog writes into the record while the user types (Cancel puts it
        // back): its record holds what the dialog shows until the dialog closes.
        bool EditsWhileOpen;
    } cases[] = {
        {p.FormFrame, p.FormFrame->ButtonOK, p.FormFrame->ButtonCancel,
         [&] { p.FormFrame->CheckBoxNoMargin->click(); }, p.FormFrame->PictureBackground, false},
        {p.FormSize, p.FormSize->ButtonOK, p.FormSize->ButtonCancel,
         [&] { p.FormSize->TopicHeight.SetValue(p.FormSize->TopicHeight.Value() + 7); }, nullptr,
         false},
        {p.FormColor, p.FormColor->ButtonOK, p.FormColor->ButtonCancel,
         [&] {
             p.FormColor->SelectItem(0);
             p.FormColor->ApplySwatch(p.FormColor->ShapeBlack);
         },
         nullptr, false},
        {p.FormFont, p.FormFont->ButtonOK, p.FormFont->ButtonCancel,
         [&] { p.FormFont->CheckBoxUnderlineLink->click(); }, nullptr, false},
        {p.FormLanguage, p.FormLanguage->ButtonOK, p.FormLanguage->ButtonCancel,
         [&] { QTest::keyClicks(p.FormLanguage->EditTranslation, QStringLiteral("!")); }, nullptr,
         true},
        {p.FormOptions, p.FormOptions->ButtonOK, p.FormOptions->ButtonCancel,
         [&] { p.FormOptions->CheckBoxSitemap->click(); }, nullptr, false},
        {p.FormWelcome, p.FormWelcome->ButtonOK, p.FormWelcome->ButtonCancel,
         [&] { p.FormWelcome->CheckBoxHasContact->click(); }, nullptr, false},
        {p.FormTopic, p.FormTopic->ButtonOK, p.FormTopic->ButtonCancel,
         [&] { p.FormTopic->EditTitle->setText(QStringLiteral("Typed Title")); },
         p.FormTopic->PictureLogo, false},
        {p.FormMenu, p.FormMenu->ButtonOK, p.FormMenu->ButtonCancel,
         [&] { p.FormMenu->CheckBoxHasSeparator->click(); }, p.FormMenu->PictureButton, false},
        {p.FormHotspot, p.FormHotspot->ButtonOK, p.FormHotspot->ButtonCancel,
         [&] { p.FormHotspot->EditTitle->setText(QStringLiteral("Typed Title")); },
         p.FormHotspot->PicturePicture, false},
        {p.FormFoot, p.FormFoot->ButtonOK, p.FormFoot->ButtonCancel,
         [&] { p.FormFoot->EditTel->setText(QStringLiteral("555 0100")); }, nullptr, false},
        {p.FormColumn, p.FormColumn->ButtonOK, p.FormColumn->ButtonCancel,
         [&] { p.FormColumn->EditTitle->setText(QStringLiteral("Typed Title")); }, nullptr, false},
        {p.FormPage, p.FormPage->ButtonOK, p.FormPage->ButtonCancel,
         [&] { p.FormPage->EditTitle->setText(QStringLiteral("Typed Title")); },
         p.FormPage->PicturePicture, false},
    };
    for (const auto& c : cases) {
        for (const bool picture : {false, true}) {
            if (picture && !c.Picture)
                continue;
            const QString what = c.Dialog->objectName() + (picture ? " (picture)" : "");
            const TRecords before = RecordsOf(f.Project());
            const auto files = Snapshot(f.Folder());
            auto change = [&] {
                c.Change();
                if (!picture)
                    return;
                if (!c.Picture->CheckBox->isChecked())
                    c.Picture->CheckBox->click();
                f.Prompter.Files.push_back(f.Picture());
                c.Picture->ButtonPicture->click();
            };
            c.Dialog->show();
            change();
            {
                // The first file written is the picture's copy, or else the document.
                TFileFaults faults;
                faults.FailCreate = 1;
                TScopedFileFaults scoped(faults);
                Click(c.OK);
            }
            const QStringList calls = f.Prompter.TakeCalls();
            QVERIFY2(calls.size() == 2 - int(!picture) &&
                         calls.last().startsWith(QStringLiteral("Error: ")),
                     qPrintable(what + ": " + calls.join(" | ")));
            // The dialog stays open; nothing of it is in the records or on disk.
            QVERIFY2(c.Dialog->isVisible(), qPrintable(what));
            if (!c.EditsWhileOpen)
                QVERIFY2(RecordsOf(f.Project()) == before, qPrintable(what));
            QVERIFY2(Snapshot(f.Folder()) == files, qPrintable(what));
            Click(c.Cancel);
            QVERIFY2(!c.Dialog->isVisible(), qPrintable(what));
            QVERIFY2(RecordsOf(f.Project()) == before, qPrintable(what));
            QVERIFY2(Snapshot(f.Folder()) == files, qPrintable(what));

            // The same change, and OK that succeeds: the change was one.
            c.Dialog->show();
            change();
            Click(c.OK);
            QVERIFY2(!c.Dialog->isVisible(), qPrintable(what));
            QVERIFY2(!(RecordsOf(f.Project()) == before), qPrintable(what));
            QVERIFY2(Snapshot(f.Folder()) != files, qPrintable(what));
            QVERIFY2(f.Prompter.Calls.size() == int(picture),
                     qPrintable(what + ": " + f.Prompter.Calls.join(" | ")));
            f.Prompter.TakeCalls();
        }
    }
}

void TDialogWalkTest::failedCreateLeavesNoProjectOpen() {
    TWalkFixture f;
    f.Program->Workspace.Project.reset();
    f.Column.reset();
    TFormNew& form = *f.Program->FormNew;
    form.show();
    form.EditName->setText(QStringLiteral("Fresh"));
    {
        // Default.Pro is made, then rewritten with the site options of a new project: the
        // second write fails.
        TFileFaults faults;
        faults.FailCreate = 2;
        TScopedFileFaults scoped(faults);
        Click(form.ButtonCreate);
        QVERIFY(scoped.Faults().Creates >= 2);
    }
    const QStringList calls = f.Prompter.TakeCalls();
    QVERIFY2(calls.size() == 1 && calls[0].startsWith(QStringLiteral("Error: ")) &&
                 calls[0].contains(QStringLiteral("Default.Pro")),
             qPrintable(calls.join(" | ")));
    QVERIFY(form.isVisible());
    QVERIFY(!f.Program->Workspace.IsOpen());
    // The half-made folder is gone: the same name is not "taken" by the failed try, and the
    // project folder that was there before stays untouched.
    QVERIFY(!FolderExists(f.Temp / "Projects/Fresh"));
    QVERIFY(FolderExists(f.Folder()));
    Click(form.ButtonCancel);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(!f.Program->Workspace.IsOpen());
    form.show();
    form.EditName->setText(QStringLiteral("Fresh"));
    Click(form.ButtonCreate);
    QVERIFY2(f.Prompter.Calls.isEmpty(), qPrintable(f.Prompter.Calls.join(" | ")));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(f.Program->Workspace.IsOpen());
    QCOMPARE(f.Program->Workspace.Project->Folder, f.Temp / "Projects/Fresh");
}

void TDialogWalkTest::cancelLeavesTheRecordsAsTheyWere() {
    TWalkFixture f;
    TProgram& p = *f.Program;
    const TRecords before = RecordsOf(f.Project());
    const auto files = Snapshot(f.Folder());
    // Every control of every dialog that edits the project changed at once, then Cancel by
    // the button, Esc or the close box.
    const struct {
        QDialog* Dialog;
        std::function<void()> Change;
    } cases[] = {
        {p.FormFrame,
         [&] {
             p.FormFrame->RadioButton[3]->click();
             p.FormFrame->ComboBoxHomepage->setCurrentIndex(1);
             for (QCheckBox* box : {p.FormFrame->CheckBoxWelcome, p.FormFrame->CheckBoxNoMargin,
                                    p.FormFrame->CheckBoxHotspot, p.FormFrame->CheckBoxOnLeft})
                 box->click();
         }},
        {p.FormSize,
         [&] {
             p.FormSize->RadioButtonAuto->click();
             for (TTrackBarField* field :
                  {&p.FormSize->WelcomeHeight, &p.FormSize->TopicHeight, &p.FormSize->MenuHeight,
                   &p.FormSize->TextHeight, &p.FormSize->FootHeight, &p.FormSize->MenuWidth,
                   &p.FormSize->HotspotWidth})
                 field->SetValue(field->Value() + 3);
         }},
        {p.FormColor,
         [&] {
             for (int item = 0; item < p.FormColor->ComboBoxItem->count(); ++item) {
                 p.FormColor->SelectItem(item);
                 p.FormColor->ApplySwatch(item % 2 ? p.FormColor->ShapeEmpty
                                                   : p.FormColor->ShapeGray);
             }
         }},
        {p.FormFont,
         [&] {
             p.FormFont->ComboBoxEncoding->setCurrentIndex(2);
             p.FormFont->ComboBoxFont->setCurrentIndex(2);
             p.FormFont->Title.SetValue(p.FormFont->Title.Value() + 1);
             p.FormFont->CheckBoxBoldLink->click();
         }},
        {p.FormLanguage,
         [&] {
             for (int line : {0, 5, 17}) {
                 p.FormLanguage->ListBoxLanguage->setCurrentRow(line);
                 QTest::keyClicks(p.FormLanguage->EditTranslation, QStringLiteral("X"));
             }
         }},
        {p.FormOptions,
         [&] {
             p.FormOptions->CheckBoxMobile->click();
             p.FormOptions->CheckBoxFeeds->click();
             p.FormOptions->ComboBoxPictureSize->setCurrentIndex(2);
         }},
        {p.FormWelcome,
         [&] {
             p.FormWelcome->CheckBoxHasHomePage->click();
             p.FormWelcome->ComboBoxPosition->setCurrentIndex(2);
         }},
        {p.FormTopic,
         [&] {
             p.FormTopic->EditCaption->setText(QStringLiteral("x"));
             p.FormTopic->EditDomain->setText(QStringLiteral("x"));
             p.FormTopic->PictureLogo->CheckBox->click();
             f.Prompter.Files.push_back(f.Picture());
             p.FormTopic->PictureLogo->ButtonPicture->click();
             p.FormTopic->ComboBoxPosition->setCurrentIndex(3);
         }},
        {p.FormMenu,
         [&] {
             p.FormMenu->TrackBarSpace->setValue(p.FormMenu->TrackBarSpace->value() + 2);
             p.FormMenu->ComboBoxPosition->setCurrentIndex(1);
         }},
        {p.FormHotspot,
         [&] {
             p.FormHotspot->EditTitle->setText(QStringLiteral("x"));
             p.FormHotspot->Link->EditLink->setText(QStringLiteral("x"));
             p.FormHotspot->Link->EditURL->setText(QStringLiteral("https://example.org/"));
         }},
        {p.FormFoot,
         [&] {
             p.FormFoot->EditCopyright->setText(QStringLiteral("x"));
             p.FormFoot->EditEmail->setText(QStringLiteral("x@example.org"));
         }},
        {p.FormColumn,
         [&] {
             p.FormColumn->EditTitle->setText(QStringLiteral("x"));
             p.FormColumn->CheckBoxShowAuthor->click();
             p.FormColumn->ComboBoxStyle->setCurrentIndex(3);
         }},
        {p.FormPage,
         [&] {
             p.FormPage->EditTitle->setText(QStringLiteral("x"));
             p.FormPage->EditAuthor->setText(QStringLiteral("x"));
             p.FormPage->DateTimePicker->setDate(QDate(2001, 2, 3));
             p.FormPage->PicturePicture->CheckBox->click();
             f.Prompter.Files.push_back(f.Picture());
             p.FormPage->PicturePicture->ButtonPicture->click();
         }},
    };
    int way = 0;
    for (const auto& c : cases) {
        c.Dialog->show();
        c.Change();
        switch (way++ % 3) {
        case 0:
            Click(c.Dialog->findChild<QPushButton*>(QStringLiteral("ButtonCancel")));
            break;
        case 1:
            QTest::keyClick(c.Dialog, Qt::Key_Escape);
            break;
        default:
            c.Dialog->close();
        }
        const QString what = c.Dialog->objectName();
        QVERIFY2(!c.Dialog->isVisible(), qPrintable(what));
        QCOMPARE(c.Dialog->result(), int(QDialog::Rejected));
        QVERIFY2(RecordsOf(f.Project()) == before, qPrintable(what));
    }
    QVERIFY(Snapshot(f.Folder()) == files);
    // The pictures picked in the topic and page dialogs, nothing else.
    const QStringList calls = f.Prompter.TakeCalls();
    QVERIFY2(calls.size() == 2 &&
                 calls.filter(QStringLiteral("OpenFile: Open Picture")).size() == 2,
             qPrintable(calls.join(" | ")));
}

void TDialogWalkTest::everyControlHasANameOfItsOwn() {
    TWalkFixture f;
    QStringList faults = AccessibleFaults(&f.Main());
    const QList<QDialog*> dialogs = f.Dialogs();
    QVERIFY(dialogs.size() >= 19);
    for (QDialog* dialog : dialogs) {
        // The publish dialog shows its files only once it is shown.
        dialog->show();
        faults << AccessibleFaults(dialog);
        dialog->hide();
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

    // The "..." buttons say what they choose, for what.
    TProgram& p = *f.Program;
    const std::pair<QAbstractButton*, const char*> named[] = {
        {p.FormTopic->PictureLogo->ButtonPicture, "Choose Picture for the Logo"},
        {p.FormTopic->PictureLogo->ButtonSize, "Logo Preview Size"},
        {p.FormFrame->PictureBackground->ButtonPicture, "Choose Picture for the Background"},
        {p.FormMenu->PictureButton->ButtonPicture, "Choose Picture for the Menu Button"},
        {p.FormHotspot->PicturePicture->ButtonPicture, "Choose Picture for the Hotspot"},
        {p.FormPage->PicturePicture->ButtonPicture, "Choose Picture for the Page"},
        {p.FormPage->Link->ButtonFile, "Choose File to Download"},
        {p.FormColor->ButtonBase, "Choose Base Color"},
    };
    for (const auto& [button, name] : named)
        QCOMPARE(button->accessibleName(), QString::fromLatin1(name));
    QCOMPARE(p.FormPublish->ListViewFile->accessibleName(), QStringLiteral("Files to publish"));
    // The main window's two views.
    QCOMPARE(f.Main().TreeView->accessibleName(), QStringLiteral("Project tree"));
    QCOMPARE(f.Main().WebBrowser->accessibleName(), QStringLiteral("Site preview"));
    QVERIFY(!f.Main().WebBrowser->accessibleDescription().isEmpty());
    // A swatch also tells its colour.
    QCOMPARE(p.FormColor->ShapeWhite->accessibleDescription(), QStringLiteral("#ffffff"));

    // The walk finds what it looks for.
    QDialog probe;
    probe.setObjectName(QStringLiteral("Probe"));
    auto* dots = new QPushButton(QStringLiteral("..."), &probe);
    dots->setObjectName(QStringLiteral("Dots"));
    auto* slider = new QSlider(&probe);
    slider->setObjectName(QStringLiteral("Slider"));
    auto* list = new QListWidget(&probe);
    list->setObjectName(QStringLiteral("List"));
    auto* tool = new QToolButton(&probe);
    tool->setObjectName(QStringLiteral("Tool"));
    auto* other = new QPushButton(QStringLiteral("&Other"), &probe);
    other->setObjectName(QStringLiteral("Other"));
    QCOMPARE(AccessibleFaults(&probe),
             QStringList({"Probe: Dots (QPushButton) has no accessible name",
                          "Probe: Dots (QPushButton) has no accessible description",
                          "Probe: Slider (QSlider) has no accessible name",
                          "Probe: List (QListWidget) has no accessible name",
                          "Probe: Tool (QToolButton) has no accessible name",
                          "Probe: Tool (QToolButton) has no accessible description"}));
    dots->setAccessibleName(QStringLiteral("Other"));
    dots->setAccessibleDescription(QStringLiteral("Something else"));
    slider->setAccessibleName(QStringLiteral("Slider"));
    list->setAccessibleName(QStringLiteral("List"));
    tool->setAccessibleName(QStringLiteral("Tool"));
    tool->setAccessibleDescription(QStringLiteral("A tool"));
    QCOMPARE(AccessibleFaults(&probe),
             QStringList{"Probe: Other (QPushButton) is called \"Other\" like Probe: Dots "
                         "(QPushButton)"});
}

void TDialogWalkTest::tabFollowsTheSeenOrderInEveryDialog() {
    TWalkFixture f;
    QStringList faults;
    for (QDialog* dialog : f.Dialogs()) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QString fault = TabOrderFault(dialog);
        if (!fault.isEmpty())
            faults << fault;
        dialog->hide();
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

    // The controls that come and go keep their places: the proxy of the publish dialog and
    // the download button of the page's link.
    TProgram& p = *f.Program;
    p.FormPublish->show();
    p.FormPublish->CheckBoxProxy->setChecked(true);
    p.FormPublish->CheckBoxProxyClick();
    QCOMPARE(TabOrderFault(p.FormPublish), QString());
    p.FormPublish->hide();
    p.FormPage->show();
    p.FormPage->Link->ComboBoxKind->setCurrentText(QString::fromLatin1(KindDownload));
    p.FormPage->PicturePicture->CheckBox->click();
    QVERIFY(p.FormPage->Link->ButtonFile->isEnabled());
    QVERIFY(TabChain(p.FormPage).contains(p.FormPage->Link->ButtonFile));
    QCOMPARE(TabOrderFault(p.FormPage), QString());
    p.FormPage->reject();
}

void TDialogWalkTest::tabOrderFaultsAreFound() {
    // A dialog whose second row comes before its first.
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("Dialog"));
    auto* first = new QLineEdit(&dialog);
    first->setObjectName(QStringLiteral("First"));
    auto* second = new QLineEdit(&dialog);
    second->setObjectName(QStringLiteral("Second"));
    first->setGeometry(10, 40, 100, 20);
    second->setGeometry(10, 10, 100, 20);
    dialog.show();
    QCOMPARE(TabOrderFault(&dialog),
             QStringLiteral("Dialog: First, Second is not an order in which they are seen"));
    // Beside each other: left before right, and right before left.
    second->setGeometry(200, 42, 100, 20);
    QCOMPARE(TabOrderFault(&dialog), QString());
    first->setGeometry(200, 40, 100, 20);
    second->setGeometry(10, 42, 100, 20);
    QCOMPARE(TabOrderFault(&dialog),
             QStringLiteral("Dialog: First, Second is not an order in which they are seen"));
    // One above the other where they overlap by less than a few pixels: rows still.
    first->setGeometry(10, 10, 100, 22);
    second->setGeometry(10, 29, 100, 22);
    QCOMPARE(TabOrderFault(&dialog), QString());
    // A window that Tab cannot enter.
    first->setFocusPolicy(Qt::ClickFocus);
    second->hide();
    QCOMPARE(TabOrderFault(&dialog), QStringLiteral("Dialog: Tab reaches no control"));
}

void TDialogWalkTest::formattedTextEditorsAndTheirDialogs() {
    TWalkFixture f;
    TProgram& p = *f.Program;
    (*f.Column)->Page(0).FORMAT = "Markdown";
    f.Project().HOTSPOT.FORMAT = "Markdown";
    QStringList faults;
    for (QDialog* dialog : QList<QDialog*>{p.FormPage, p.FormHotspot}) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        faults << AccessibleFaults(dialog);
        const QString fault = TabOrderFault(dialog);
        if (!fault.isEmpty())
            faults << fault;
        dialog->hide();
    }
    QVERIFY(TabChain(p.FormPage).contains(static_cast<QWidget*>(p.FormPage->EditorText->ToolLine)));
    QVERIFY(!TabChain(p.FormPage).contains(static_cast<QWidget*>(p.FormPage->MemoText)));

    // The link and picture text dialogs of the editor.
    TSitePages site;
    site.Columns.push_back({0, "News", {{0, 0, "First", ""}}});
    TFormLink link(f.Prompter, site, TLinkChoice{}, true, p.FormPage);
    TFormPictureText text(QString(), p.FormPage);
    for (QDialog* dialog : QList<QDialog*>{&link, &text}) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        faults << AccessibleFaults(dialog);
        const QString fault = TabOrderFault(dialog);
        if (!fault.isEmpty())
            faults << fault;
        QSet<QChar> letters;
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
            if (const QChar letter = MnemonicOf(button->text()); !letter.isNull())
                letters.insert(letter);
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            // A message that shows only when something is wrong names no field.
            if (label->isHidden())
                continue;
            const QChar letter = MnemonicOf(label->text());
            if (letter.isNull() || !label->buddy() || letters.contains(letter))
                faults << dialog->objectName() + QStringLiteral(": mnemonic of ") + label->text();
            letters.insert(letter);
        }
        dialog->hide();
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

int main(int argc, char** argv) {
    PrepareTestEnvironment();
    PrepareStartup();
    TApplication application(argc, argv);
    TDialogWalkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogWalkTest.moc"
