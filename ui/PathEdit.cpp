#include "ui/PathEdit.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

TPathEdit::TPathEdit(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        setToolTip(text);
        update();
    });
}

QRect TPathEdit::TextArea() const {
    QStyleOptionFrame option;
    initStyleOption(&option);
    QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const QMargins margins = textMargins();
    // The line edit's own inner margin of two pixels on each side.
    return area.marginsRemoved(margins).adjusted(2, 0, -2, 0);
}

QString TPathEdit::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextArea().width());
}

void TPathEdit::paintEvent(QPaintEvent* event) {
    if (hasFocus() || fontMetrics().horizontalAdvance(text()) <= TextArea().width()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame option;
    initStyleOption(&option);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(font());
    painter.drawText(TextArea(), Qt::AlignLeft | Qt::AlignVCenter, ShownText());
}
