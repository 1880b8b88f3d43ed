#include "ui/FColor.h"

#include "model/ColorScheme.h"
#include "model/ColorSchemes.h"
#include "model/Contrast.h"
#include "ui/ColorPicker.h"
#include "ui/ColorSwatch.h"
#include "ui/DialogControls.h"
#include "ui/Workspace.h"

#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <tuple>

namespace {

constexpr TColor clGray = RGBColor(128, 128, 128);

QString Hint(TColor color) {
    return QString::fromStdString(ColorHint(color));
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, QRect place) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setGeometry(place);
    return button;
}

QLabel* Caption(QWidget* parent, const char* name, const char* text, QPoint place) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(place);
    label->adjustSize();
    return label;
}

// A ready-made scheme in the list: the page's background around four blocks, the text
// area, the topic, the menu and the foot, each with a bar of its text colour.
QIcon SchemeIcon(const TDColor& c) {
    QPixmap pixmap(53, 16);
    pixmap.fill(ToQColor(c.BG));
    QPainter painter(&pixmap);
    const std::pair<TColor, TColor> blocks[] = {{c.TEXT_BG, c.TITLE},
                                                {c.TOPIC_BG, c.TOPIC_TEXT},
                                                {c.MENU_BG, c.MENU_TEXT},
                                                {c.FOOT_BG, c.FOOT_TEXT}};
    int left = 1;
    for (const auto& [background, text] : blocks) {
        painter.fillRect(QRect(left, 1, 12, 14), ToQColor(background));
        painter.fillRect(QRect(left + 3, 6, 6, 3), ToQColor(text));
        left += 13;
    }
    painter.setPen(QColor(96, 96, 96));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    painter.end();
    return QIcon(pixmap);
}

// The text whose contrast each item's line tells (an index of TextPairs): the page's
// background and the text area's tell the text's.
constexpr int PairOfItem[TFormColor::ItemCount] = {0, 0, 1, 0, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6};

} // namespace

const char* const TFormColor::ItemNames[ItemCount] = {
    "Background",
    "Text Background",
    "Title",
    "Text",
    "Welcome Bar Background",
    "Welcome Bar Text",
    "Topic Background",
    "Topic Text",
    "Menu Background",
    "Menu Text",
    "Hotspot Background",
    "Hotspot Text",
    "Foot Background",
    "Foot Text",
};

TFormColor::TFormColor(TWorkspace& workspace, TColorPicker& picker, QWidget* parent)
    : QDialog(parent), Workspace(workspace), Picker(picker) {
    setObjectName(QStringLiteral("FormColor"));
    setWindowTitle(QStringLiteral("Color"));
    setModal(true);
    setFixedSize(542, 384);
    // The dialog's places are made for a small font.
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    auto swatch = [](QWidget* parent, const char* name, QRect place, bool outline = true) {
        auto* shape = new TColorShape(parent, name, outline);
        shape->setGeometry(place);
        return shape;
    };

    Label1 = Caption(this, "Label1", "Base Color:", {16, 12});
    ShapeBase = swatch(this, "ShapeBase", {16, 28, 161, 41});
    ButtonBase = Button(this, "ButtonBase", "...", {180, 28, 25, 41});
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setGeometry(12, 72, 197, 25);
    TrackBar->setRange(0, 255);
    TrackBar->setPageStep(16);
    TrackBar->setSingleStep(1);
    TrackBar->setTickInterval(16);
    TrackBar->setTickPosition(QSlider::TicksBelow);

    static const int Left[4] = {16, 64, 112, 160};
    static const int Top[4] = {100, 136, 172, 208};
    for (int i = 0; i < 16; ++i) {
        const std::string name = "Shape" + std::to_string(i + 1);
        Shape[static_cast<std::size_t>(i)] =
            swatch(this, name.c_str(), {Left[i % 4], Top[i / 4], 45, 33});
    }
    ShapeWhite = swatch(this, "ShapeWhite", {Left[0], 244, 45, 33});
    ShapeSilver = swatch(this, "ShapeSilver", {Left[1], 244, 45, 33});
    ShapeGray = swatch(this, "ShapeGray", {Left[2], 244, 45, 33});
    ShapeBlack = swatch(this, "ShapeBlack", {Left[3], 244, 45, 33});
    ShapeWhite->SetColor(clWhite);
    ShapeSilver->SetColor(clSilver);
    ShapeGray->SetColor(clGray);
    ShapeBlack->SetColor(clBlack);
    ShapeEmpty = swatch(this, "ShapeEmpty", {16, 280, 45, 33});
    ShapeEmpty->SetFill(clSilver, true);
    ShapeEmpty->setToolTip(QStringLiteral("Transparent"));
    ShapeOther = swatch(this, "ShapeOther", {64, 280, 141, 33});
    ShapeOther->hide();
    ButtonColor = Button(this, "ButtonColor", "Other Color", {64, 280, 141, 33});

    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel3->setGeometry(220, 12, 281, 269);
    Label2 = Caption(this, "Label2", "Item:", {220, 292});
    ComboBoxItem = new QComboBox(this);
    ComboBoxItem->setObjectName(QStringLiteral("ComboBoxItem"));
    ComboBoxItem->setEditable(false);
    for (const char* item : ItemNames)
        ComboBoxItem->addItem(QString::fromLatin1(item));
    // Wide enough for its longest item ("Welcome Bar Background") in the dialog's font; the
    // swatch of the item's colour takes what is left beside it, the dialog grows if need be.
    ComboBoxItem->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    const int itemWidth = std::max(165, ComboBoxItem->sizeHint().width());
    ComboBoxItem->setGeometry(248, 288, itemWidth, ComboBoxItem->sizeHint().height());
    const int shapeLeft = 248 + itemWidth + 7;
    const int shapeWidth = std::max(40, 501 - shapeLeft);
    ShapeColor = swatch(this, "ShapeColor", {shapeLeft, 284, shapeWidth, 29});
    // Under the page: the contrast of the current item's text on its background.
    LabelContrast = Caption(this, "LabelContrast", "", {220, 320});
    LabelContrast->resize(std::max(281, shapeLeft + shapeWidth - 220), 18);
    // A column of whole schemes on the right: the ready-made ones, and the one made from
    // the base colour.
    const int schemesLeft = std::max(516, shapeLeft + shapeWidth + 15);
    LabelSchemes = Caption(this, "LabelSchemes", "&Schemes:", {schemesLeft, 12});
    ListSchemes = new QListWidget(this);
    ListSchemes->setObjectName(QStringLiteral("ListSchemes"));
    ListSchemes->setGeometry(schemesLeft, 28, 196, 253);
    ListSchemes->setIconSize(QSize(53, 16));
    ListSchemes->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const TNamedScheme& ready : ReadySchemes())
        new QListWidgetItem(SchemeIcon(ready.Scheme), QString::fromUtf8(ready.Name), ListSchemes);
    ListSchemes->installEventFilter(this);
    LabelSchemes->setBuddy(ListSchemes);
    ButtonMakeScheme = Button(this, "ButtonMakeScheme", "&Make a scheme from this colour",
                              {schemesLeft, 284, 196, 29});
    setFixedSize(schemesLeft + 196 + 16, height());
    // What a screen reader says of each swatch and of the slider.
    ShapeBase->setAccessibleName(QStringLiteral("Base Color"));
    TrackBar->setAccessibleName(QStringLiteral("Base Color Shade"));
    for (std::size_t i = 0; i < Shape.size(); ++i)
        Shape[i]->setAccessibleName(QStringLiteral("Scheme Color %1").arg(i + 1));
    ShapeWhite->setAccessibleName(QStringLiteral("White"));
    ShapeSilver->setAccessibleName(QStringLiteral("Silver"));
    ShapeGray->setAccessibleName(QStringLiteral("Gray"));
    ShapeBlack->setAccessibleName(QStringLiteral("Black"));
    ShapeEmpty->setAccessibleName(QStringLiteral("Transparent"));
    // The swatch of the colour last picked with Other Color, not the button itself.
    ShapeOther->setAccessibleName(QStringLiteral("Other Color Picked"));
    ButtonBase->setAccessibleName(QStringLiteral("Choose Base Color"));
    ButtonBase->setAccessibleDescription(
        QStringLiteral("Opens the color picker; the sixteen swatches follow the base color"));
    ButtonColor->setAccessibleDescription(
        QStringLiteral("Opens the color picker for the item's color"));
    ShapeColor->setAccessibleName(QStringLiteral("Item Color"));
    ComboBoxItem->setAccessibleName(QStringLiteral("Item"));
    ListSchemes->setAccessibleName(QStringLiteral("Ready-Made Schemes"));
    ListSchemes->setAccessibleDescription(
        QStringLiteral("Space or Enter gives every part of the page the scheme's colors"));
    ButtonMakeScheme->setAccessibleDescription(
        QStringLiteral("Gives every part of the page a color made from the base color, each "
                       "text readable on its background"));
    // Alt and the caption's letter reach the control it captions.
    Label1->setBuddy(ButtonBase);
    Label2->setBuddy(ComboBoxItem);
    // The swatches are reached by Tab, and in the grid by the arrows too; Space or Enter
    // applies one (the base colour's and the item's open the picker).
    for (int row = 0; row < GridRows; ++row)
        for (int column = 0; column < GridColumns; ++column)
            if (TColorShape* s = GridSwatch(row, column)) {
                s->SetChoosable();
                s->installEventFilter(this);
            }
    ShapeBase->SetChoosable();
    ShapeColor->SetChoosable();
    ButtonOK = Button(this, "ButtonOK", "OK", {width() - 174, 352, 75, 23});
    ButtonOK->setDefault(true);
    ButtonCancel = Button(this, "ButtonCancel", "Cancel", {width() - 91, 352, 75, 23});

    // The miniature page, in its drawing order: later parts lie on top of earlier ones.
    QFont small = font();
    small.setPixelSize(9);
    auto part = [&](const char* name, QRect place, const char* hint) {
        TColorShape* shape = swatch(Panel3, name, place, false);
        shape->setToolTip(QString::fromLatin1(hint));
        shape->setAccessibleName(QString::fromLatin1(hint));
        return shape;
    };
    auto sample = [&](const char* name, QPoint place, const char* text, const char* hint,
                      int pixelSize = 9) {
        auto* label = new TColorLabel(Panel3, name, QString::fromLatin1(text));
        QFont font = small;
        font.setPixelSize(pixelSize);
        label->setFont(font);
        label->move(place);
        label->adjustSize();
        label->setToolTip(QString::fromLatin1(hint));
        return label;
    };
    const char* const bars = "XXXXX | XXXXX | XXXXX | XXXXX";
    ShapeBg = part("ShapeBg", {0, -4, 278, 271}, "Background");
    ShapeText = part("ShapeText", {8, 84, 261, 141}, "Text Background");
    ShapeTopic = part("ShapeTopic", {8, 24, 261, 45}, "Topic Background");
    ShapeMenu = part("ShapeMenu", {8, 68, 261, 17}, "Menu Background");
    ShapeFoot = part("ShapeFoot", {8, 224, 261, 33}, "Foot Background");
    ShapeHotspot = part("ShapeHotspot", {192, 92, 77, 125}, "Hotspot Background");
    LabelTopic = sample("LabelTopic", {20, 32}, "XXXXXX", "Topic Text", 24);
    LabelMenu = sample("LabelMenu", {16, 70}, bars, "Menu Text");
    LabelTitle = sample("LabelTitle", {28, 88}, "XXXXX XX XXXXX", "Title", 16);
    LabelTitle->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    LabelTitle->resize(140, 20);
    LabelText = sample("LabelText", {16, 116},
                       "XXX XXXXXXX XX XXXXX XX, XX XXXXX XX XXXXXX. XX XXXXX X XXXXXXXX XX XX "
                       "XXXX.             XX XXXXXX X X XXXXXX XX. XX XXXX XXXXXX. XXXXXX XX "
                       "XXX XXX XXXXX XXXX XX XXXX.",
                       "Text");
    LabelText->setWordWrap(true);
    LabelText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelText->resize(168, 78);
    LabelHotspot =
        sample("LabelHotspot", {200, 100}, "XXXXXXXX XXXXXXX XXXXXX XXXXXXX", "Hotspot Text");
    LabelHotspot->setWordWrap(true);
    LabelHotspot->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelHotspot->resize(56, 52);
    LabelFoot = sample("LabelFoot", {64, 234}, "XXXX XXXXXX XXXX XXXXX", "Foot Text");
    LabelFoot->setAlignment(Qt::AlignCenter);
    ShapeWelcome = part("ShapeWelcome", {8, 8, 261, 17}, "Welcome Bar Background");
    LabelWelcome = sample("LabelWelcome", {96, 10}, bars, "Welcome Bar Text");

    Parts = {TItemPart{ShapeBg},
             TItemPart{ShapeText},
             TItemPart{nullptr, LabelTitle},
             TItemPart{nullptr, LabelText},
             TItemPart{ShapeWelcome},
             TItemPart{nullptr, LabelWelcome},
             TItemPart{ShapeTopic},
             TItemPart{nullptr, LabelTopic},
             TItemPart{ShapeMenu},
             TItemPart{nullptr, LabelMenu},
             TItemPart{ShapeHotspot},
             TItemPart{nullptr, LabelHotspot},
             TItemPart{ShapeFoot},
             TItemPart{nullptr, LabelFoot}};
    for (int item = 0; item < ItemCount; ++item) {
        const TItemPart& p = Parts[static_cast<std::size_t>(item)];
        if (p.Shape)
            connect(p.Shape, &TColorShape::MouseDown, this, [this, item] { SelectItem(item); });
        else
            connect(p.Label, &TColorLabel::MouseDown, this, [this, item] { SelectItem(item); });
    }
    for (TColorShape* s : Shape)
        connect(s, &TColorShape::Chosen, this, [this, s] { ApplySwatch(s); });
    for (TColorShape* s : {ShapeWhite, ShapeSilver, ShapeGray, ShapeBlack, ShapeEmpty})
        connect(s, &TColorShape::Chosen, this, [this, s] { ApplySwatch(s); });
    connect(ShapeBase, &TColorShape::Chosen, this, &TFormColor::ButtonBaseClick);
    connect(ShapeColor, &TColorShape::Chosen, this, &TFormColor::ButtonColorClick);
    connect(ListSchemes, &QListWidget::itemClicked, this, &TFormColor::ListSchemesChoose);
    connect(ButtonMakeScheme, &QPushButton::clicked, this, &TFormColor::ButtonMakeSchemeClick);

    connect(ButtonBase, &QPushButton::clicked, this, &TFormColor::ButtonBaseClick);
    connect(TrackBar, &QSlider::valueChanged, this, &TFormColor::TrackBarChange);
    connect(ButtonColor, &QPushButton::clicked, this, &TFormColor::ButtonColorClick);
    connect(ComboBoxItem, &QComboBox::currentIndexChanged, this, &TFormColor::ComboBoxItemChange);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormColor::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormColor::Execute() {
    if (!Workspace.IsOpen())
        return false;
    return exec() == QDialog::Accepted;
}

void TFormColor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Centred on the screen, not over the main window.
    if (const QScreen* shown = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(shown->availableGeometry().center());
        move(frame.topLeft());
        // No place of the user's: the next showing is centred again.
        setAttribute(Qt::WA_Moved, false);
    }
    FormShow();
}

void TFormColor::FormShow() {
    if (!Workspace.IsOpen())
        return;
    ButtonBase->setFocus();
    ListSchemes->setCurrentItem(nullptr);
    ShowScheme(Workspace.Project->COLOR);
    SelectItem(0);
}

void TFormColor::ShowScheme(const TDColor& color) {
    ShapeBase->SetColor(color.BASE);
    ShapeBg->SetFill(color.BG, false);
    // A transparent background shows as hatched silver.
    for (auto [shape, field, transparent] :
         {std::tuple{ShapeText, color.TEXT_BG, color.TEXT_TRANS},
          std::tuple{ShapeWelcome, color.WELCOME_BG, color.WELCOME_TRANS},
          std::tuple{ShapeTopic, color.TOPIC_BG, color.TOPIC_TRANS},
          std::tuple{ShapeMenu, color.MENU_BG, color.MENU_TRANS},
          std::tuple{ShapeHotspot, color.HOTSPOT_BG, color.HOTSPOT_TRANS},
          std::tuple{ShapeFoot, color.FOOT_BG, color.FOOT_TRANS}})
        shape->SetFill(transparent ? clSilver : field, transparent);
    LabelTitle->SetColor(color.TITLE);
    LabelText->SetColor(color.TEXT);
    LabelWelcome->SetColor(color.WELCOME_TEXT);
    LabelTopic->SetColor(color.TOPIC_TEXT);
    LabelMenu->SetColor(color.MENU_TEXT);
    LabelHotspot->SetColor(color.HOTSPOT_TEXT);
    LabelFoot->SetColor(color.FOOT_TEXT);
    DeriveSwatches();
}

void TFormColor::ApplyScheme(const TDColor& scheme) {
    ShowScheme(scheme);
    ComboBoxItemChange();
}

void TFormColor::ListSchemesChoose() {
    const int row = ListSchemes->currentRow();
    const std::vector<TNamedScheme>& ready = ReadySchemes();
    if (row >= 0 && static_cast<std::size_t>(row) < ready.size())
        ApplyScheme(ready[static_cast<std::size_t>(row)].Scheme);
}

void TFormColor::ButtonMakeSchemeClick() {
    ApplyScheme(SchemeFromBase(ShapeBase->Color()));
}

TColorShape* TFormColor::GridSwatch(int row, int column) const {
    if (column < 0 || column >= GridColumns || row < 0 || row >= GridRows)
        return nullptr;
    if (row < 4)
        return Shape[static_cast<std::size_t>(row * 4 + column)];
    if (row == 4)
        return std::array{ShapeWhite, ShapeSilver, ShapeGray,
                          ShapeBlack}[static_cast<std::size_t>(column)];
    return column == 0 ? ShapeEmpty : nullptr;
}

bool TFormColor::MoveInGrid(QObject* from, int key) {
    for (int row = 0; row < GridRows; ++row)
        for (int column = 0; column < GridColumns; ++column) {
            if (GridSwatch(row, column) != from)
                continue;
            const int down = key == Qt::Key_Down ? 1 : key == Qt::Key_Up ? -1 : 0;
            const int right = key == Qt::Key_Right ? 1 : key == Qt::Key_Left ? -1 : 0;
            if (TColorShape* next = GridSwatch(row + down, column + right))
                next->setFocus(Qt::OtherFocusReason);
            return true;
        }
    return false;
}

bool TFormColor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return QDialog::eventFilter(watched, event);
    // Space or Enter in the list applies its scheme (Enter is not OK here).
    if (watched == ListSchemes && (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return ||
                                   key->key() == Qt::Key_Enter)) {
        ListSchemesChoose();
        return true;
    }
    // The arrows go from swatch to swatch in the grid.
    if ((key->key() == Qt::Key_Left || key->key() == Qt::Key_Right || key->key() == Qt::Key_Up ||
         key->key() == Qt::Key_Down) &&
        MoveInGrid(watched, key->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TFormColor::UpdateContrast() {
    const int item = ComboBoxItem->currentIndex();
    if (item < 0 || item >= ItemCount)
        return;
    const TTextPair pair = TextPairs(ShownScheme())[static_cast<std::size_t>(PairOfItem[item])];
    const double ratio = ContrastRatio(pair.Text, pair.Background);
    LabelContrast->setText(QString::fromStdString(ContrastLine(pair.Name, ratio)));
    // Below AA the line turns dark red (its words say so as well).
    QPalette palette = LabelContrast->palette();
    palette.setColor(QPalette::WindowText, ratio >= TextContrastMinimum
                                               ? this->palette().color(QPalette::WindowText)
                                               : QColor(176, 0, 32));
    LabelContrast->setPalette(palette);
}

void TFormColor::DeriveSwatches() {
    const TColor base = ShapeBase->Color();
    {
        // Standing the bar at H is no change of the base colour.
        const QSignalBlocker quiet(TrackBar);
        TrackBar->setValue(SplitColor(base).H);
    }
    const std::array<TColor, 16> derived = ::DeriveSwatches(base);
    for (std::size_t i = 0; i < derived.size(); ++i)
        Shape[i]->SetFill(derived[i], false);
    ShapeBase->setToolTip(Hint(base));
    for (TColorShape* s : Shape)
        s->setToolTip(Hint(s->Color()));
    for (TColorShape* s : {ShapeWhite, ShapeSilver, ShapeGray, ShapeBlack})
        s->setToolTip(Hint(s->Color()));
}

void TFormColor::TrackBarChange(int position) {
    ShapeBase->SetColor(ShiftBaseColor(ShapeBase->Color(), position));
    DeriveSwatches();
}

void TFormColor::ButtonBaseClick() {
    Picker.Color = ShapeBase->Color();
    if (!Picker.Execute(this))
        return;
    ShapeBase->SetColor(Picker.Color);
    DeriveSwatches();
}

void TFormColor::ButtonColorClick() {
    // Not preset: the picker starts from the colour it held after its last use.
    if (!Picker.Execute(this))
        return;
    ShapeOther->SetFill(Picker.Color, false);
    ApplySwatch(ShapeOther);
}

void TFormColor::SelectItem(int item) {
    {
        const QSignalBlocker quiet(ComboBoxItem);
        ComboBoxItem->setCurrentIndex(item);
    }
    ComboBoxItemChange();
}

void TFormColor::ComboBoxItemChange() {
    const int item = ComboBoxItem->currentIndex();
    if (item < 0 || item >= ItemCount)
        return;
    const TItemPart& part = Parts[static_cast<std::size_t>(item)];
    if (part.Shape) {
        // The text background shows solid here even when it is transparent.
        const bool hatched = item != 1 && part.Shape->Hatched();
        ShapeColor->SetFill(part.Shape->Color(), hatched);
    } else {
        ShapeColor->SetFill(part.Label->Color(), false);
    }
    ShapeColor->setToolTip(Hint(ShapeColor->Color()));
    UpdateContrast();
}

void TFormColor::ApplySwatch(const TColorShape* swatch) {
    const TColor color = swatch->Color();
    const bool hatched = swatch->Hatched();
    ShapeColor->SetFill(color, hatched);
    const int item = ComboBoxItem->currentIndex();
    if (item < 0 || item >= ItemCount)
        return;
    const TItemPart& part = Parts[static_cast<std::size_t>(item)];
    if (part.Shape == ShapeBg) {
        // The page background cannot be transparent.
        ShapeBg->SetFill(color, false);
    } else if (part.Shape) {
        part.Shape->SetFill(color, hatched);
    } else {
        part.Label->SetColor(color);
        ShapeColor->SetHatched(false);
    }
    UpdateContrast();
}

TDColor TFormColor::ShownScheme() const {
    TDColor color = Workspace.IsOpen() ? Workspace.Project->COLOR : TDColor();
    color.BASE = ShapeBase->Color();
    color.BG = ShapeBg->Color();
    color.TEXT_BG = ShapeText->Color();
    color.TEXT_TRANS = ShapeText->Hatched();
    color.TITLE = LabelTitle->Color();
    color.TEXT = LabelText->Color();
    color.WELCOME_BG = ShapeWelcome->Color();
    color.WELCOME_TRANS = ShapeWelcome->Hatched();
    color.WELCOME_TEXT = LabelWelcome->Color();
    color.TOPIC_BG = ShapeTopic->Color();
    color.TOPIC_TRANS = ShapeTopic->Hatched();
    color.TOPIC_TEXT = LabelTopic->Color();
    color.MENU_BG = ShapeMenu->Color();
    color.MENU_TRANS = ShapeMenu->Hatched();
    color.MENU_TEXT = LabelMenu->Color();
    color.HOTSPOT_BG = ShapeHotspot->Color();
    color.HOTSPOT_TRANS = ShapeHotspot->Hatched();
    color.HOTSPOT_TEXT = LabelHotspot->Color();
    color.FOOT_BG = ShapeFoot->Color();
    color.FOOT_TRANS = ShapeFoot->Hatched();
    color.FOOT_TEXT = LabelFoot->Color();
    return color;
}

void TFormColor::ButtonOKClick() {
    TDProject& project = *Workspace.Project;
    const TDColor color = ShownScheme();
    ReplaceAndSave(project.COLOR, color, [&project] { project.Save(); });
    accept();
}
