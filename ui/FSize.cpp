#include "ui/FSize.h"

#include "ui/ColorSwatch.h"
#include "ui/DialogControls.h"
#include "ui/Workspace.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

namespace {

// The page's regions, drawn once: a page with its welcome bar, topic, menu on top, menu on
// the left, hotspot column and foot.
QWidget* PageDrawing(QWidget* parent) {
    auto* page = new TColorShape(parent, "ImagePage", true);
    page->setFixedSize(150, 200);
    page->SetColor(RGBColor(255, 255, 255));
    page->setToolTip(QStringLiteral("Page"));
    page->setAccessibleName(QStringLiteral("Page"));
    struct Region {
        const char* name;
        QRect place;
        TColor color;
        const char* hint;
    };
    const Region regions[] = {
        {"ShapeTopic", {10, 24, 130, 36}, RGBColor(160, 190, 230), "Topic"},
        {"ShapeMenuTop", {10, 60, 130, 12}, RGBColor(230, 200, 150), "Menu (On Top)"},
        {"ShapeWelcome", {10, 10, 130, 14}, RGBColor(200, 200, 200), "Welcome Bar"},
        {"ShapeMenuLeft", {10, 72, 30, 88}, RGBColor(230, 220, 180), "Menu (On Left)"},
        {"ShapeFoot", {10, 160, 130, 30}, RGBColor(180, 210, 180), "Foot"},
        {"ShapeHotspot", {110, 72, 30, 88}, RGBColor(240, 190, 190), "Hotspot Column"},
    };
    for (const Region& r : regions) {
        auto* shape = new TColorShape(page, r.name, true);
        shape->setGeometry(r.place);
        shape->SetColor(r.color);
        shape->setToolTip(QString::fromLatin1(r.hint));
        shape->setAccessibleName(QString::fromLatin1(r.hint));
    }
    return page;
}

QRadioButton* Radio(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QRadioButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

TFormSize::TFormSize(TWorkspace& workspace, QWidget* parent)
    : QDialog(parent), WelcomeHeight(this, "TrackBarWelcomeHeight", "LabelWelcomeHeight",
                                     "Welcome Bar Height: (", 10, 80, 5),
      TopicHeight(this, "TrackBarTopicHeight", "LabelTopicHeight", "Topic Height: (", 20, 160, 5),
      MenuHeight(this, "TrackBarMenuHeight", "LabelMenuHeight", "Menu (On Top) Height: (", 10, 80,
                 5),
      TextHeight(this, "TrackBarTextHeight", "LabelTextHeight", "Text Height: (", 200, 500, 10),
      FootHeight(this, "TrackBarFootHeight", "LabelFootHeight", "Foot Height: (", 20, 160, 5),
      MenuWidth(this, "TrackBarMenuWidth", "LabelMenuWidth", "Menu (On Left) Width: (", 60, 300,
                10),
      HotspotWidth(this, "TrackBarHotspotWidth", "LabelHotspotWidth", "Hotspot Width: (", 60, 300,
                   10),
      Workspace(workspace) {
    setObjectName(QStringLiteral("FormSize"));
    setWindowTitle(QStringLiteral("Size"));
    setModal(true);

    RadioButton640 = Radio(this, "RadioButton640", "For 640 * 480 Screen ( 610 )");
    RadioButton800 = Radio(this, "RadioButton800", "For 800 * 600 Screen ( 750 )");
    RadioButtonAuto = Radio(this, "RadioButtonAuto", "Auto ( 100% )");
    ImagePage = PageDrawing(this);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* screens = new QVBoxLayout;
    for (QRadioButton* button : {RadioButton640, RadioButton800, RadioButtonAuto})
        screens->addWidget(button);
    screens->addStretch(1);
    top->addLayout(screens, 1);
    top->addWidget(ImagePage);
    layout->addLayout(top);
    auto* sliders = new QGridLayout;
    const TTrackBarField* fields[] = {&WelcomeHeight, &TopicHeight, &MenuHeight,  &TextHeight,
                                      &FootHeight,    &MenuWidth,   &HotspotWidth};
    for (int i = 0; i < 7; ++i) {
        // Two columns: the heights, then the widths beside them.
        const int row = (i % 4) * 2, column = i / 4;
        sliders->addWidget(fields[i]->Label, row, column);
        sliders->addWidget(fields[i]->TrackBar, row + 1, column);
    }
    sliders->setColumnMinimumWidth(0, 220);
    sliders->setColumnMinimumWidth(1, 220);
    layout->addLayout(sliders);
    layout->addStretch(1);
    TOKCancel buttons(this, layout);
    ButtonOK = buttons.ButtonOK;
    // The sliders were made first: Tab goes from the screens down the columns of sliders.
    QWidget* order[] = {RadioButton640,         RadioButton800,       RadioButtonAuto,
                        WelcomeHeight.TrackBar, TopicHeight.TrackBar, MenuHeight.TrackBar,
                        TextHeight.TrackBar,    FootHeight.TrackBar,  MenuWidth.TrackBar,
                        HotspotWidth.TrackBar,  buttons.ButtonOK,     buttons.ButtonCancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ButtonCancel = buttons.ButtonCancel;
    connect(ButtonOK, &QPushButton::clicked, this, &TFormSize::ButtonOKClick);
}

bool TFormSize::Execute() {
    if (!Workspace.IsOpen())
        return false;
    return exec() == QDialog::Accepted;
}

void TFormSize::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormSize::FormShow() {
    if (!Workspace.IsOpen())
        return;
    const TDSize& size = Workspace.Project->SIZE;
    RadioButtonAuto->setChecked(true);
    if (size.SCREEN == "610")
        RadioButton640->setChecked(true);
    if (size.SCREEN == "750")
        RadioButton800->setChecked(true);
    WelcomeHeight.SetValue(size.WELCOME_HEIGHT);
    TopicHeight.SetValue(size.TOPIC_HEIGHT);
    MenuHeight.SetValue(size.MENU_HEIGHT);
    TextHeight.SetValue(size.TEXT_HEIGHT);
    FootHeight.SetValue(size.FOOT_HEIGHT);
    MenuWidth.SetValue(size.MENU_WIDTH);
    HotspotWidth.SetValue(size.HOTSPOT_WIDTH);
    for (TTrackBarField* field : {&WelcomeHeight, &TopicHeight, &MenuHeight, &TextHeight,
                                  &FootHeight, &MenuWidth, &HotspotWidth})
        field->UpdateLabel();
}

void TFormSize::ButtonOKClick() {
    TDProject& project = *Workspace.Project;
    TDSize size = project.SIZE;
    size.SCREEN = RadioButton640->isChecked()   ? "610"
                  : RadioButton800->isChecked() ? "750"
                                                : "100%";
    size.WELCOME_HEIGHT = WelcomeHeight.Value();
    size.TOPIC_HEIGHT = TopicHeight.Value();
    size.MENU_HEIGHT = MenuHeight.Value();
    size.TEXT_HEIGHT = TextHeight.Value();
    size.FOOT_HEIGHT = FootHeight.Value();
    size.MENU_WIDTH = MenuWidth.Value();
    size.HOTSPOT_WIDTH = HotspotWidth.Value();
    ReplaceAndSave(project.SIZE, std::move(size), [&project] { project.Save(); });
    accept();
}
