#pragma once

// The link field: a link text, its kind ("Link", "E-mail" or "Download") and its target.
// For a link the target is a URL and for an e-mail an address, both stored as typed; for a
// download the stored target is the bare name of a file in the project's Downloads folder,
// while "URL:" shows its full path. A download picked from elsewhere is copied into the
// Downloads folder as "File" + n + extension when the dialog's OK stores the field.
//
// A dialog creates it once, puts its labels and controls into its own grid with AddTo, calls
// Show in its show order and Store in its OK order.

#include <QObject>

#include <string>

class IPrompter;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

extern const char* const LinkKinds[3];
extern const char* const KindDownload;
// The filter of the link field's file dialog, as pairs of description and patterns.
extern const char* const AnyFileFilter;
extern const char* const FileDialogCaption;

// What "URL:" shows for a stored kind and target: the full path in downloadsPath for a
// download, the target itself otherwise.
std::string ShownLinkTarget(const std::string& kind, const std::string& target,
                            const std::string& downloadsPath);

// The target to store for the kind and the text of "URL:". For a download whose file lies
// outside downloadsPath (exact text) the file is copied to the first free "File" + n +
// extension there and url becomes the copy's full path; a copy that fails leaves url as it
// is, without a word. The target of a download is then the file-name part of url.
std::string StoreLinkTarget(const std::string& kind, std::string& url,
                            const std::string& downloadsPath);

class TLinkField : public QObject {
    Q_OBJECT

  public:
    // The controls are children of parent.
    TLinkField(IPrompter& prompter, QWidget* parent);

    // Puts "Link:", "Kind:" and "URL:" with their controls into rows row to row + 2 of grid,
    // labels in column 0 and controls in column 1 (the "..." button in column 2).
    void AddTo(QGridLayout* grid, int row);

    void Show(const std::string& link, const std::string& kind, const std::string& target,
              const std::string& downloadsPath);
    void Store(std::string& link, std::string& kind, std::string& target,
               const std::string& downloadsPath);

    void KindChange();
    void ButtonFileClick();

    QLabel* LabelLink;
    QLineEdit* EditLink;
    QLabel* LabelKind;
    QComboBox* ComboBoxKind;
    QLabel* LabelURL;
    QLineEdit* EditURL;
    QPushButton* ButtonFile;

    static constexpr int EditLimit = 128;

  private:
    IPrompter& Prompter;
};
