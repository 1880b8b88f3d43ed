#include "ui/FLink.h"

#include "generator/MarkdownRenderer.h"
#include "ui/DialogControls.h"
#include "ui/FileFolders.h"
#include "ui/LinkField.h"
#include "ui/Mnemonics.h"
#include "ui/Prompter.h"
#include "ui/SitePages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

const char* const LinkTargetKinds[4] = {"Address", "E-mail", "Page", "Download"};

TFormLink::TFormLink(IPrompter& prompter, const TSitePages& site, const TLinkChoice& choice,
                     bool existing, QWidget* parent)
    : QDialog(parent), Prompter(prompter), Site(site) {
    setObjectName(QStringLiteral("FormLink"));
    setWindowTitle(QStringLiteral("Link"));
    setModal(true);
    EditText = new QLineEdit(choice.Text, this);
    EditText->setObjectName(QStringLiteral("EditText"));
    EditText->setMinimumWidth(320);
    ComboBoxKind = MakeDropDownList(
        this, "ComboBoxKind",
        {LinkTargetKinds[0], LinkTargetKinds[1], LinkTargetKinds[2], LinkTargetKinds[3]});
    EditAddress = new QLineEdit(this);
    EditAddress->setObjectName(QStringLiteral("EditAddress"));
    ComboBoxColumn = new QComboBox(this);
    ComboBoxColumn->setObjectName(QStringLiteral("ComboBoxColumn"));
    for (const TSiteColumn& column : Site.Columns)
        ComboBoxColumn->addItem(QText(column.Title), column.Item);
    ListPages = new QListWidget(this);
    ListPages->setObjectName(QStringLiteral("ListPages"));
    ListPages->setAccessibleName(QStringLiteral("Pages of the column"));
    ListPages->setFixedHeight(140);
    EditFile = new QLineEdit(this);
    EditFile->setObjectName(QStringLiteral("EditFile"));
    ButtonFile = new QPushButton(QStringLiteral("..."), this);
    ButtonFile->setObjectName(QStringLiteral("ButtonFile"));
    ButtonFile->setAutoDefault(false);
    ButtonFile->setFixedWidth(40);
    ButtonFile->setAccessibleName(QStringLiteral("Choose File to Download"));
    ButtonFile->setAccessibleDescription(
        QStringLiteral("Opens a file; OK copies it into the project's Downloads folder"));
    LabelProblem = new QLabel(this);
    LabelProblem->setObjectName(QStringLiteral("LabelProblem"));
    LabelProblem->setTextFormat(Qt::PlainText);
    LabelProblem->setWordWrap(true);
    LabelProblem->hide();
    ButtonRemove = new QPushButton(QStringLiteral("Remove Link"), this);
    ButtonRemove->setObjectName(QStringLiteral("ButtonRemove"));
    ButtonRemove->setAutoDefault(false);
    ButtonRemove->setEnabled(existing);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);

    auto* grid = new QGridLayout;
    auto row = [this, grid](int at, const char* caption, QWidget* control) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setBuddy(control);
        grid->addWidget(label, at, 0, Qt::AlignTop);
        if (qobject_cast<QComboBox*>(control))
            grid->addWidget(control, at, 1, Qt::AlignLeft);
        else
            grid->addWidget(control, at, 1);
    };
    row(0, "Text:", EditText);
    row(1, "Link to:", ComboBoxKind);
    row(2, "Address:", EditAddress);
    row(3, "Column:", ComboBoxColumn);
    row(4, "Page:", ListPages);
    row(5, "File:", EditFile);
    grid->addWidget(ButtonFile, 5, 2);
    grid->addWidget(LabelProblem, 6, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonRemove);
    buttons->addStretch(1);
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ComboBoxKind, &QComboBox::currentIndexChanged, this, &TFormLink::KindChange);
    connect(ComboBoxColumn, &QComboBox::currentIndexChanged, this, &TFormLink::ColumnChange);
    connect(ButtonFile, &QPushButton::clicked, this, &TFormLink::ButtonFileClick);
    connect(ButtonRemove, &QPushButton::clicked, this, &TFormLink::ButtonRemoveClick);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormLink::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    // The choice to show.
    ComboBoxKind->setCurrentIndex(static_cast<int>(choice.Kind));
    if (choice.Kind == TLinkKind::Address || choice.Kind == TLinkKind::EMail)
        EditAddress->setText(choice.Address);
    if (choice.Kind == TLinkKind::Download)
        EditFile->setText(choice.File);
    const int column = ComboBoxColumn->findData(choice.Item);
    if (column >= 0)
        ComboBoxColumn->setCurrentIndex(column);
    ColumnChange();
    if (choice.Kind == TLinkKind::Page && choice.Index >= 0 && choice.Index < ListPages->count())
        ListPages->setCurrentRow(choice.Index);
    KindChange();
    AssignMnemonics(this);
    EditText->setFocus();
}

void TFormLink::KindChange() {
    const auto kind = static_cast<TLinkKind>(ComboBoxKind->currentIndex());
    const bool address = kind == TLinkKind::Address || kind == TLinkKind::EMail;
    EditAddress->setEnabled(address);
    EditAddress->setPlaceholderText(kind == TLinkKind::EMail ? QStringLiteral("name@example.org")
                                                             : QStringLiteral("https://"));
    ComboBoxColumn->setEnabled(kind == TLinkKind::Page);
    ListPages->setEnabled(kind == TLinkKind::Page);
    EditFile->setEnabled(kind == TLinkKind::Download);
    ButtonFile->setEnabled(kind == TLinkKind::Download);
}

void TFormLink::ColumnChange() {
    ListPages->clear();
    const TSiteColumn* column = Site.FindColumn(ComboBoxColumn->currentData().toInt());
    if (!column)
        return;
    for (const TSitePage& page : column->Pages)
        ListPages->addItem(QText(page.Title));
    if (ListPages->count() > 0)
        ListPages->setCurrentRow(0);
}

void TFormLink::ButtonFileClick() {
    const QString picked =
        Prompter.OpenFile(QString::fromLatin1(FileDialogCaption),
                          FileDialogFolder(TFileKind::Download), QtFileFilter(AnyFileFilter));
    if (picked.isEmpty())
        return;
    RememberPickedFile(TFileKind::Download, picked);
    EditFile->setText(picked);
}

void TFormLink::ButtonOKClick() {
    if (static_cast<TLinkKind>(ComboBoxKind->currentIndex()) == TLinkKind::Address) {
        QString address = EditAddress->text().trimmed();
        if (address.startsWith(QStringLiteral("www."), Qt::CaseInsensitive)) {
            address.prepend(QStringLiteral("https://"));
            EditAddress->setText(address);
        }
        if (!address.isEmpty() && !TMarkdownRenderer::IsOutsideAddress(StdText(address))) {
            LabelProblem->setText(QStringLiteral(
                "The pages cannot link to this address. Type one that starts with https://, "
                "http://, mailto: or tel:, or link to a page or a download of this site."));
            LabelProblem->show();
            EditAddress->setFocus();
            EditAddress->selectAll();
            return;
        }
    }
    accept();
}

void TFormLink::ButtonRemoveClick() {
    FRemove = true;
    accept();
}

TLinkChoice TFormLink::Choice() const {
    TLinkChoice choice;
    choice.Kind = static_cast<TLinkKind>(std::max(0, ComboBoxKind->currentIndex()));
    choice.Text = EditText->text();
    choice.Address = EditAddress->text().trimmed();
    choice.Item = ComboBoxColumn->currentData().toInt();
    choice.Index = ListPages->currentRow();
    choice.File = EditFile->text().trimmed();
    choice.Remove = FRemove;
    return choice;
}
