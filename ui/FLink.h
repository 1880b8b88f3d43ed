#pragma once

#include <QDialog>
#include <QString>

class IPrompter;
class TSitePages;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// What a link of a formatted text leads to.
enum class TLinkKind { Address, EMail, Page, Download };

// The link the dialog edits: its text, and its target of the chosen kind.
struct TLinkChoice {
    TLinkKind Kind = TLinkKind::Address;
    QString Text;
    QString Address; // a web or e-mail address
    int Item = -1;   // a page: the menu item of its column and its place there
    int Index = -1;
    QString File; // a download: the full path of the file
    bool Remove = false;
};

// The link dialog of the formatted text editor (caption "Link"): the link's text and where it
// leads: an address, an e-mail address, a page of this site (a column, then one of its
// pages) or a file to download. Made for one use by the editor, over its dialog. It takes
// only addresses the pages link to.
class TFormLink : public QDialog {
    Q_OBJECT

  public:
    // existing: the text already has a link here, which Remove Link takes away.
    TFormLink(IPrompter& prompter, const TSitePages& site, const TLinkChoice& choice, bool existing,
              QWidget* parent);

    TLinkChoice Choice() const;

    void KindChange();
    void ColumnChange();
    void ButtonFileClick();
    void ButtonRemoveClick();
    // Takes the choice, unless the address is one the pages would show as plain text: a bare
    // "www." address becomes "https://www."; anything else but an address that starts with
    // "https://", "http://", "mailto:" or "tel:", or an anchor "#...", is refused with the
    // reason shown in the dialog.
    void ButtonOKClick();

    QLineEdit* EditText;
    QComboBox* ComboBoxKind;
    QLineEdit* EditAddress;
    QComboBox* ComboBoxColumn;
    QListWidget* ListPages;
    QLineEdit* EditFile;
    QPushButton* ButtonFile;
    QLabel* LabelProblem;
    QPushButton* ButtonRemove;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

  private:
    IPrompter& Prompter;
    const TSitePages& Site;
    bool FRemove = false;
};

// The kinds as the dialog lists them.
extern const char* const LinkTargetKinds[4];
