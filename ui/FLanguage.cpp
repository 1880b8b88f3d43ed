#include "ui/FLanguage.h"

#include "ui/DialogControls.h"
#include "ui/StyleControls.h"
#include "ui/Workspace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

QString Line(const TDLanguage& language, int i) {
    const auto slot = static_cast<std::size_t>(i);
    return QText(language.Keys[slot] + " (" + language.Values[slot] + ")");
}

} // namespace

TFormLanguage::TFormLanguage(TWorkspace& workspace, QWidget* parent)
    : QDialog(parent), Workspace(workspace) {
    setObjectName(QStringLiteral("FormLanguage"));
    setWindowTitle(QStringLiteral("Language"));
    setModal(true);

    ListBoxLanguage = new QListWidget(this);
    ListBoxLanguage->setObjectName(QStringLiteral("ListBoxLanguage"));
    ListBoxLanguage->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBoxLanguage->setAccessibleName(QStringLiteral("Fixed words"));
    ListBoxLanguage->setAccessibleDescription(
        QStringLiteral("The fixed words of the pages, each with its translation"));
    EditTranslation = new QLineEdit(this);
    EditTranslation->setObjectName(QStringLiteral("EditTranslation"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListBoxLanguage, 1);
    auto* edit = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Translation:"), this);
    label->setBuddy(EditTranslation);
    edit->addWidget(label);
    edit->addWidget(EditTranslation, 1);
    layout->addLayout(edit);
    TOKCancel buttons(this, layout);
    ButtonOK = buttons.ButtonOK;
    ButtonCancel = buttons.ButtonCancel;
    resize(420, 400);

    // A click or a keyboard move changes the selection; a click on the selected line shows
    // its translation again.
    connect(ListBoxLanguage, &QListWidget::itemClicked, this, &TFormLanguage::ListBoxLanguageClick);
    connect(ListBoxLanguage, &QListWidget::itemSelectionChanged, this,
            &TFormLanguage::ListBoxLanguageClick);
    connect(EditTranslation, &QLineEdit::textChanged, this, &TFormLanguage::EditTranslationChange);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormLanguage::ButtonOKClick);
}

bool TFormLanguage::Execute() {
    if (!Workspace.IsOpen())
        return false;
    return exec() == QDialog::Accepted;
}

void TFormLanguage::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormLanguage::FormShow() {
    if (!Workspace.IsOpen())
        return;
    const TDLanguage& language = Workspace.Project->LANGUAGE;
    FShown = language;
    ListBoxLanguage->setFocus();
    {
        // Filling the list is no selection of the user's.
        const QSignalBlocker quiet(ListBoxLanguage);
        ListBoxLanguage->clear();
    }
    EditTranslation->clear();
    {
        const QSignalBlocker quiet(ListBoxLanguage);
        for (int i = 0; i < language.Count; ++i)
            ListBoxLanguage->addItem(Line(language, i));
        if (ListBoxLanguage->count() > 0)
            ListBoxLanguage->setCurrentRow(0);
    }
    ListBoxLanguageClick();
}

int TFormLanguage::SelectedLine() const {
    // The selected line, not the current one: Ctrl+click takes the selection away and leaves
    // the current row where it was.
    const QModelIndexList selected = ListBoxLanguage->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TFormLanguage::ListBoxLanguageClick() {
    const int i = SelectedLine();
    if (i < 0)
        return;
    EditTranslation->setFocus();
    EditTranslation->setText(
        QText(Workspace.Project->LANGUAGE.Values[static_cast<std::size_t>(i)]));
}

void TFormLanguage::EditTranslationChange() {
    const int i = SelectedLine();
    if (i < 0 || !Workspace.IsOpen())
        return;
    TDLanguage& language = Workspace.Project->LANGUAGE;
    language.Values[static_cast<std::size_t>(i)] = StdText(EditTranslation->text());
    ListBoxLanguage->item(i)->setText(Line(language, i));
}

void TFormLanguage::reject() {
    if (Workspace.IsOpen())
        Workspace.Project->LANGUAGE = FShown;
    QDialog::reject();
}

void TFormLanguage::ButtonOKClick() {
    Workspace.Project->Save();
    accept();
}
