#include "ui/LinkField.h"

#include "generator/Generator.h"
#include "platform/FileSystem.h"
#include "ui/DialogControls.h"
#include "ui/FileFolders.h"
#include "ui/Prompter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

const char* const LinkKinds[3] = {"Link", "E-mail", "Download"};
const char* const KindDownload = "Download";
const char* const AnyFileFilter = "All (*.*)|*.*";
const char* const FileDialogCaption = "Open";

std::string ShownLinkTarget(const std::string& kind, const std::string& target,
                            const std::string& downloadsPath) {
    return kind == KindDownload ? downloadsPath + target : target;
}

std::string StoreLinkTarget(const std::string& kind, std::string& url,
                            const std::string& downloadsPath) {
    if (kind != KindDownload)
        return url;
    if (!LiesInFolder(url, downloadsPath)) {
        const std::string copy = UniqueFileName(downloadsPath, ExtensionInPath(url));
        if (CopyFileReplacing(url, copy))
            url = copy;
    }
    return NameInPath(url);
}

TLinkField::TLinkField(IPrompter& prompter, QWidget* parent) : QObject(parent), Prompter(prompter) {
    LabelLink = new QLabel(QStringLiteral("Link:"), parent);
    EditLink = new QLineEdit(parent);
    EditLink->setObjectName(QStringLiteral("EditLink"));
    LimitTyping(EditLink, EditLimit);
    LabelKind = new QLabel(QStringLiteral("Kind:"), parent);
    ComboBoxKind =
        MakeDropDownList(parent, "ComboBoxKind", {LinkKinds[0], LinkKinds[1], LinkKinds[2]});
    LabelURL = new QLabel(QStringLiteral("URL:"), parent);
    EditURL = new QLineEdit(parent);
    EditURL->setObjectName(QStringLiteral("EditURL"));
    LimitTyping(EditURL, EditLimit);
    ButtonFile = new QPushButton(QStringLiteral("..."), parent);
    ButtonFile->setObjectName(QStringLiteral("ButtonFile"));
    ButtonFile->setAutoDefault(false);
    ButtonFile->setFixedWidth(40);
    ButtonFile->setEnabled(false);
    ButtonFile->setAccessibleName(QStringLiteral("Choose File to Download"));
    ButtonFile->setAccessibleDescription(
        QStringLiteral("Opens a file; OK copies it into the project's Downloads folder"));
    LabelLink->setBuddy(EditLink);
    LabelKind->setBuddy(ComboBoxKind);
    LabelURL->setBuddy(EditURL);

    connect(ComboBoxKind, &QComboBox::currentIndexChanged, this, &TLinkField::KindChange);
    connect(ButtonFile, &QPushButton::clicked, this, &TLinkField::ButtonFileClick);
}

void TLinkField::AddTo(QGridLayout* grid, int row) {
    grid->addWidget(LabelLink, row, 0);
    grid->addWidget(EditLink, row, 1);
    grid->addWidget(LabelKind, row + 1, 0);
    grid->addWidget(ComboBoxKind, row + 1, 1, Qt::AlignLeft);
    grid->addWidget(LabelURL, row + 2, 0);
    grid->addWidget(EditURL, row + 2, 1);
    grid->addWidget(ButtonFile, row + 2, 2);
}

void TLinkField::Show(const std::string& link, const std::string& kind, const std::string& target,
                      const std::string& downloadsPath) {
    EditLink->setText(QText(link));
    SelectItemText(ComboBoxKind, kind);
    EditURL->setText(QText(ShownLinkTarget(kind, target, downloadsPath)));
    KindChange();
}

void TLinkField::Store(std::string& link, std::string& kind, std::string& target,
                       const std::string& downloadsPath) {
    link = StdText(EditLink->text());
    kind = SelectedItemText(ComboBoxKind);
    std::string url = StdText(EditURL->text());
    target = StoreLinkTarget(kind, url, downloadsPath);
    EditURL->setText(QText(url));
}

void TLinkField::KindChange() {
    ButtonFile->setEnabled(SelectedItemText(ComboBoxKind) == KindDownload);
}

void TLinkField::ButtonFileClick() {
    const QString picked =
        Prompter.OpenFile(QString::fromLatin1(FileDialogCaption),
                          FileDialogFolder(TFileKind::Download), QtFileFilter(AnyFileFilter));
    if (picked.isEmpty())
        return;
    RememberPickedFile(TFileKind::Download, picked);
    EditURL->setText(picked);
}
