#include "ui/Mnemonics.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMap>
#include <QSet>
#include <QWidget>

namespace {

int MnemonicIndex(const QString& caption) {
    for (int i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

// The caption with a mnemonic on its first free letter, word starts first; the caption
// itself when no letter is free.
QString WithMnemonic(const QString& caption, QSet<QChar>& taken) {
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < caption.size(); ++i) {
            const QChar c = caption[i];
            if (!c.isLetterOrNumber() || c.unicode() > 127)
                continue;
            const bool wordStart = i == 0 || !caption[i - 1].isLetterOrNumber();
            if (pass == 0 && !wordStart)
                continue;
            if (taken.contains(c.toUpper()))
                continue;
            taken.insert(c.toUpper());
            QString marked = caption;
            marked.insert(i, QLatin1Char('&'));
            return marked;
        }
    }
    return caption;
}

} // namespace

QChar MnemonicOf(const QString& caption) {
    const int index = MnemonicIndex(caption);
    return index < 0 ? QChar() : caption[index + 1].toUpper();
}

QString WithoutMnemonic(const QString& caption) {
    QString text = caption;
    const int index = MnemonicIndex(text);
    if (index >= 0)
        text.remove(index, 1);
    return text.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

QString KeepMnemonic(const QString& caption, const QString& text) {
    const int index = MnemonicIndex(caption);
    if (index < 0 || MnemonicIndex(text) >= 0 || text.size() <= index ||
        caption.left(index) != text.left(index) || caption[index + 1] != text[index])
        return text;
    QString marked = text;
    marked.insert(index, QLatin1Char('&'));
    return marked;
}

void AssignMnemonics(QWidget* dialog) {
    QSet<QChar> taken;
    QMap<QWidget*, QList<QLabel*>> labelsOf;
    // What the dialog hides now (the settings another publishing target uses) takes no
    // letter: the letters go to what can be reached, and a later call gives the rest theirs.
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (const QChar letter = MnemonicOf(label->text()); !letter.isNull())
            taken.insert(letter);
        else if (label->buddy() && label->buddy()->focusPolicy() != Qt::NoFocus &&
                 label->isVisibleTo(dialog))
            labelsOf[label->buddy()] << label;
    }
    QList<QAbstractButton*> buttons;
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (const QChar letter = MnemonicOf(button->text()); !letter.isNull())
            taken.insert(letter);
        else if (!button->text().isEmpty() && button->isVisibleTo(dialog))
            buttons << button;
    }
    // OK is Alt+O in every dialog, and Cancel keeps a letter of its own: theirs are taken
    // before any field's.
    for (const char* name : {"ButtonOK", "ButtonCancel"})
        for (QAbstractButton* button : buttons)
            if (button->objectName() == QLatin1String(name)) {
                button->setText(WithMnemonic(button->text(), taken));
                buttons.removeOne(button);
                break;
            }
    // The focus chain is the order of the controls on the dialog, so that the fields get the
    // first letters of their words.
    QList<QWidget*> order;
    QWidget* widget = dialog;
    do {
        widget = widget->nextInFocusChain();
        if (widget != dialog && dialog->isAncestorOf(widget) && !order.contains(widget))
            order << widget;
    } while (widget && widget != dialog);
    for (QWidget* control : order) {
        for (QLabel* label : labelsOf.value(control))
            label->setText(WithMnemonic(label->text(), taken));
        auto* button = qobject_cast<QAbstractButton*>(control);
        if (button && buttons.contains(button))
            button->setText(WithMnemonic(button->text(), taken));
    }
}
