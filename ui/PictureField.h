#pragma once

// The picture field: a check box, a preview, a "..." button that picks a picture file and a
// "<>" button that switches the preview between fitted and natural size. It edits a picture
// name field of a record (a bare name of a file in the project's Images folder) and, for
// most members, its width and height fields.
//
// How a dialog uses it:
//   - create it once with the dialog, for its member, and put it in the layout:
//       PictureBackground = new TPictureField(TPictureMember::Background, Prompter,
//                                             Workspace.ApplicationFolder, this);
//     Its controls are named as the dialog's controls are (CheckBoxHasBackground,
//     ImageBackground, ButtonPicture, ButtonSize; see PictureMemberInfo).
//   - when the dialog is shown, in its place of the show order:
//       PictureBackground->Show(project.FRAME.BACKGROUND, project.ImagesPath());
//   - on OK, in its place of the OK order (before the record is saved):
//       PictureBackground->Store(project.FRAME.BACKGROUND, project.ImagesPath());
//     or, for a member with sizes, Store(name, width, height, imagesPath).
// Show reloads everything from the record except the preview's display (fitted or natural),
// which stays as the previous showing left it.
//
// What happens where nothing says otherwise:
//   - a stored picture that cannot be loaded: the preview is empty with a short note
//     (NoteCannotLoad), and Store keeps the stored name and sizes unchanged (unless the box
//     is unticked or another picture is picked);
//   - a picked file that cannot be read as a picture is refused with a message naming it,
//     and nothing changes;
//   - a ticked box with no picture ever loaded stores an empty name and sizes 0.
// The copy in the Images folder holds the bytes of the file as they were when the picture
// was loaded, so what is stored is what the preview showed.

#include "platform/PictureDecoder.h"

#include <QFrame>
#include <QImage>
#include <QSize>
#include <QWidget>

#include <cstdint>
#include <string>

class IPrompter;
class QCheckBox;
class QPushButton;

// The records a picture field edits.
enum class TPictureMember { Background, Logo, Button, Hotspot, Page };

struct TPictureMemberInfo {
    const char* Caption;      // of the check box
    const char* CheckBoxName; // control names
    const char* ImageName;
    // The copy in the Images folder is CopyName + extension; for a page (nullptr) it is the
    // first free "File" + n + extension.
    const char* CopyName;
    // What the picture is for, in the accessible names of the buttons ("Choose Picture for
    // the Logo", "Logo Preview Size").
    const char* Owner;
};
const TPictureMemberInfo& PictureMemberInfo(TPictureMember member);

// The full path of the copy of a picture with the given extension in imagesPath (which ends
// with "/"): a fixed name for most members, UniqueFileName for pages.
std::string PictureCopyPath(TPictureMember member, const std::string& imagesPath,
                            const std::string& extension);

// The filter of every picture file dialog, as pairs of description and patterns.
extern const char* const PictureFileFilter;
// The caption of the picture file dialog.
extern const char* const PictureDialogCaption;
// The note in an empty preview whose stored picture cannot be loaded.
extern const char* const NoteCannotLoad;

// The caption of the "<>" button for a display: "<>" when fitted, "><" at natural size.
const char* SizeButtonCaption(bool fitted);

// Where a picture of the given size is drawn in a box: fitted, a picture larger than the box
// is shrunk to fit it with its proportions kept; otherwise (and at natural size) it keeps its
// size. Either way it starts at the box's top left corner and the box cuts off the rest.
QRect PreviewRect(QSize picture, QSize box, bool fitted);

// The preview box: the picture fitted or at natural size, or a short note when there is
// none.
class TPicturePreview : public QFrame {
    Q_OBJECT

  public:
    static constexpr int BoxWidth = 160;
    static constexpr int BoxHeight = 120;

    explicit TPicturePreview(QWidget* parent = nullptr);

    // Shows picture (the full picture; only what the box can show is kept).
    void SetPicture(const QImage& picture);
    // Empties the preview, with a note or none.
    void Clear(const QString& note = QString());
    void SetFitted(bool fitted);

    bool HasPicture() const { return !FNatural.isNull(); }
    bool Fitted() const { return FFitted; }
    const QString& Note() const { return FNote; }
    // The picture's natural size (empty when there is none).
    QSize PictureSize() const { return FSize; }
    // Where the picture is drawn now, in the box's coordinates.
    QRect DrawnRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QSize Box() const;

    QSize FSize;
    // The picture shrunk to fit the box (or as it is when it fits), and its top left part
    // that the box shows at natural size.
    QImage FShrunk;
    QImage FNatural;
    QString FNote;
    bool FFitted = true;
};

class TPictureField : public QWidget {
    Q_OBJECT

  public:
    // applicationFolder ends with "/" (the program's folder). The picture file dialog opens
    // where the last picture was picked from, else in the user's Pictures or home folder
    // (ui/FileFolders.h).
    TPictureField(TPictureMember member, IPrompter& prompter, std::string applicationFolder,
                  QWidget* parent = nullptr);

    // Loads the controls from a stored name (a file in imagesPath, which ends with "/").
    void Show(const std::string& name, const std::string& imagesPath);
    // Writes the name and the natural sizes back, copying a picture from elsewhere into
    // imagesPath. Throws TError naming the file when the copy cannot be written.
    void Store(std::string& name, std::int32_t& width, std::int32_t& height,
               const std::string& imagesPath);
    // The same for a member without size fields.
    void Store(std::string& name, const std::string& imagesPath);

    void CheckBoxClick();
    void ButtonPictureClick();
    void ButtonSizeClick();

    // The full path of the picture the preview shows (or failed to show), empty for none.
    const std::string& PicturePath() const { return FPath; }
    // True while the stored picture that Show could not load is still what the field holds.
    bool KeepsStoredPicture() const { return FKeepStored; }

    QCheckBox* CheckBox;
    TPicturePreview* Image;
    QPushButton* ButtonPicture;
    QPushButton* ButtonSize;

  private:
    // Reads and decodes a picture file; on success it becomes the field's picture.
    void Load(const std::string& path, TPictureLinks links);
    void EnableButtons();

    const TPictureMember FMember;
    IPrompter& Prompter;
    const std::string FApplicationFolder;

    std::string FPath;
    // The loaded picture: the file's bytes as read, and its natural size.
    bool FLoaded = false;
    std::string FBytes;
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    bool FKeepStored = false;
};
