#include "ui/StyleControls.h"

#include "ui/Mnemonics.h"

#include <QBoxLayout>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

TTrackBarField::TTrackBarField(QWidget* parent, const char* trackBarName, const char* labelName,
                               const char* prefix, int minimum, int maximum, int pageStep)
    : Label(new QLabel(parent)), TrackBar(new QSlider(Qt::Horizontal, parent)),
      Prefix(QString::fromLatin1(prefix)) {
    Label->setObjectName(QString::fromLatin1(labelName));
    TrackBar->setObjectName(QString::fromLatin1(trackBarName));
    TrackBar->setRange(minimum, maximum);
    TrackBar->setSingleStep(1);
    TrackBar->setPageStep(pageStep);
    TrackBar->setTickInterval(pageStep);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    Label->setBuddy(TrackBar);
    // "Topic Height: (" names the slider "Topic Height" for a screen reader.
    QString name = Prefix;
    name.remove(QStringLiteral(": ("));
    TrackBar->setAccessibleName(name.trimmed());
    QLabel* label = Label;
    const QString text = Prefix;
    QObject::connect(TrackBar, &QSlider::valueChanged, Label, [label, text](int value) {
        label->setText(
            KeepMnemonic(label->text(), text + QString::number(value) + QStringLiteral(")")));
    });
    UpdateLabel();
}

void TTrackBarField::SetValue(int value) {
    // QSlider brings the value into its range itself.
    TrackBar->setValue(value);
}

int TTrackBarField::Value() const {
    return TrackBar->value();
}

void TTrackBarField::UpdateLabel() {
    Label->setText(KeepMnemonic(Label->text(),
                                Prefix + QString::number(TrackBar->value()) + QStringLiteral(")")));
}

TOKCancel::TOKCancel(QDialog* dialog, QBoxLayout* layout)
    : ButtonOK(new QPushButton(QStringLiteral("OK"), dialog)),
      ButtonCancel(new QPushButton(QStringLiteral("Cancel"), dialog)) {
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ButtonOK);
    row->addWidget(ButtonCancel);
    layout->addLayout(row);
    QObject::connect(ButtonCancel, &QPushButton::clicked, dialog, &QDialog::reject);
}
