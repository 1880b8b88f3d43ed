#include "ui/FFrame.h"

#include "model/CFrame.h"
#include "ui/DialogControls.h"
#include "ui/PictureField.h"
#include "ui/StyleControls.h"
#include "ui/Workspace.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace {

// The regions of a layout drawing, in parts of its width and height.
struct TRegion {
    double Left, Top, Right, Bottom;
    QColor Color;
};

const QColor TopicColor(70, 110, 180);
const QColor MenuColor(230, 170, 70);
const QColor TextColor(255, 255, 255);
const QColor FootColor(110, 170, 110);

std::vector<TRegion> LayoutRegions(int index) {
    // The left column is as wide as the menu on the left; the foot is the bottom strip.
    constexpr double Column = 0.3, Head = 0.22, Foot = 0.84;
    switch (index) {
    case 0: // topic on top, menu on top
        return {{0, 0, 1, Head, TopicColor},
                {0, Head, 1, Head + 0.1, MenuColor},
                {0, Head + 0.1, 1, Foot, TextColor},
                {0, Foot, 1, 1, FootColor}};
    case 1: // topic and menu on top, side by side
        return {{0, 0, Column, Head, TopicColor},
                {Column, 0, 1, Head, MenuColor},
                {0, Head, 1, Foot, TextColor},
                {0, Foot, 1, 1, FootColor}};
    case 2: // menu on left, foot on bottom
        return {{0, 0, 1, Head, TopicColor},
                {0, Head, Column, Foot, MenuColor},
                {Column, Head, 1, Foot, TextColor},
                {0, Foot, 1, 1, FootColor}};
    case 3: // menu on left, foot on right
        return {{0, 0, 1, Head, TopicColor},
                {0, Head, Column, 1, MenuColor},
                {Column, Head, 1, Foot, TextColor},
                {Column, Foot, 1, 1, FootColor}};
    case 4: // topic on left, foot on bottom
        return {{0, 0, Column, Head, TopicColor},
                {0, Head, Column, Foot, MenuColor},
                {Column, 0, 1, Foot, TextColor},
                {0, Foot, 1, 1, FootColor}};
    default: // topic on left, foot on right
        return {{0, 0, Column, Head, TopicColor},
                {0, Head, Column, 1, MenuColor},
                {Column, 0, 1, Foot, TextColor},
                {Column, Foot, 1, 1, FootColor}};
    }
}

} // namespace

QImage FrameLayoutDrawing(int index) {
    constexpr int Width = 56, Height = 68;
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QColor(64, 64, 64));
    for (const TRegion& r : LayoutRegions(index)) {
        const QRect place(QPoint(qRound(r.Left * (Width - 1)), qRound(r.Top * (Height - 1))),
                          QPoint(qRound(r.Right * (Width - 1)), qRound(r.Bottom * (Height - 1))));
        painter.setBrush(r.Color);
        painter.drawRect(place.adjusted(0, 0, -1, -1));
    }
    // A few lines of text in the text area.
    painter.setPen(QColor(160, 160, 160));
    for (const TRegion& r : LayoutRegions(index)) {
        if (r.Color != TextColor)
            continue;
        const int left = int(r.Left * Width) + 4, right = int(r.Right * Width) - 4;
        for (int y = int(r.Top * Height) + 5; y < int(r.Bottom * Height) - 3; y += 4)
            painter.drawLine(left, y, right, y);
    }
    return image;
}

TFormFrame::TFormFrame(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), Workspace(workspace) {
    setObjectName(QStringLiteral("FormFrame"));
    setWindowTitle(QStringLiteral("Frame"));
    setModal(true);

    auto* group = new QButtonGroup(this);
    auto* layouts = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        auto* button = new QRadioButton(this);
        button->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        // The value it stands for, as its accessible name (it has no caption).
        button->setAccessibleName(QString::fromLatin1(FrameLayouts[i]));
        button->setAccessibleDescription(QStringLiteral("A frame layout, drawn beside it"));
        group->addButton(button, i);
        auto* drawing = new QLabel(this);
        drawing->setObjectName(QStringLiteral("ImageFrame%1").arg(i + 1));
        drawing->setPixmap(QPixmap::fromImage(FrameLayoutDrawing(i)));
        drawing->setToolTip(QString::fromLatin1(FrameLayouts[i]));
        drawing->installEventFilter(this);
        RadioButton[static_cast<std::size_t>(i)] = button;
        ImageFrame[static_cast<std::size_t>(i)] = drawing;
        auto* cell = new QHBoxLayout;
        cell->addWidget(button);
        cell->addWidget(drawing);
        cell->addStretch(1);
        layouts->addLayout(cell, i / 3, i % 3);
    }
    CheckBoxWelcome = MakeCheckBox(this, "CheckBoxWelcome", "Has Welcome Bar");
    CheckBoxNoMargin = MakeCheckBox(this, "CheckBoxNoMargin", "No Margin");
    CheckBoxHotspot = MakeCheckBox(this, "CheckBoxHotspot", "Has Hotspot Column");
    CheckBoxOnLeft = MakeCheckBox(this, "CheckBoxOnLeft", "Page On Left");
    PictureBackground =
        new TPictureField(TPictureMember::Background, prompter, workspace.ApplicationFolder, this);
    ComboBoxHomepage = MakeDropDownList(this, "ComboBoxHomepage", {"Default", "Index"});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(layouts);
    auto* middle = new QHBoxLayout;
    auto* boxes = new QVBoxLayout;
    for (QCheckBox* box : {CheckBoxWelcome, CheckBoxNoMargin, CheckBoxHotspot, CheckBoxOnLeft})
        boxes->addWidget(box);
    auto* home = new QHBoxLayout;
    auto* homeLabel = new QLabel(QStringLiteral("Homepage:"), this);
    homeLabel->setBuddy(ComboBoxHomepage);
    home->addWidget(homeLabel);
    home->addWidget(ComboBoxHomepage, 1);
    boxes->addLayout(home);
    boxes->addStretch(1);
    middle->addLayout(boxes, 1);
    middle->addWidget(PictureBackground);
    layout->addLayout(middle);
    TOKCancel buttons(this, layout);
    ButtonOK = buttons.ButtonOK;
    ButtonCancel = buttons.ButtonCancel;
    // Tab goes down the column of check boxes to the homepage below them, then to the
    // background beside them.
    setTabOrder(CheckBoxOnLeft, ComboBoxHomepage);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormFrame::ButtonOKClick);
}

bool TFormFrame::Execute() {
    if (!Workspace.IsOpen())
        return false;
    return exec() == QDialog::Accepted;
}

void TFormFrame::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

bool TFormFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress)
        for (std::size_t i = 0; i < ImageFrame.size(); ++i)
            if (watched == ImageFrame[i]) {
                RadioButton[i]->setChecked(true);
                RadioButton[i]->setFocus();
                return true;
            }
    return QDialog::eventFilter(watched, event);
}

void TFormFrame::FormShow() {
    if (!Workspace.IsOpen())
        return;
    TDProject& project = *Workspace.Project;
    const TDFrame& frame = project.FRAME;
    RadioButton[0]->setFocus();
    RadioButton[0]->setChecked(true);
    for (std::size_t i = 1; i < RadioButton.size(); ++i)
        if (frame.FRAME == FrameLayouts[i])
            RadioButton[i]->setChecked(true);
    SelectItemText(ComboBoxHomepage, frame.HOMEPAGE);
    CheckBoxNoMargin->setChecked(frame.NO_MARGIN);
    CheckBoxOnLeft->setChecked(frame.ON_LEFT);
    CheckBoxWelcome->setChecked(frame.HAS_WELCOME);
    CheckBoxHotspot->setChecked(frame.HAS_HOTSPOT);
    PictureBackground->Show(frame.BACKGROUND, project.ImagesPath());
}

void TFormFrame::ButtonOKClick() {
    TDProject& project = *Workspace.Project;
    TDFrame frame = project.FRAME;
    for (std::size_t i = 0; i < RadioButton.size(); ++i)
        if (RadioButton[i]->isChecked())
            frame.FRAME = FrameLayouts[i];
    frame.HOMEPAGE = SelectedItemText(ComboBoxHomepage);
    frame.NO_MARGIN = CheckBoxNoMargin->isChecked();
    frame.ON_LEFT = CheckBoxOnLeft->isChecked();
    frame.HAS_WELCOME = CheckBoxWelcome->isChecked();
    frame.HAS_HOTSPOT = CheckBoxHotspot->isChecked();
    PictureBackground->Store(frame.BACKGROUND, project.ImagesPath());
    ReplaceAndSave(project.FRAME, std::move(frame), [&project] { project.Save(); });
    accept();
}
