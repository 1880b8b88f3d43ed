#include "ui/PictureField.h"

#include "generator/Generator.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/PictureDecoder.h"
#include "platform/PictureScaler.h"
#include "ui/DialogControls.h"
#include "ui/FileFolders.h"
#include "ui/Prompter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <fstream>
#include <utility>

const char* const PictureFileFilter =
    "All (*.jpg;*.jpeg;*.gif;*.png;*.webp)|*.jpg;*.jpeg;*.gif;*.png;*.webp|"
    "JPEG Image File (*.jpg)|*.jpg|JPEG Image File (*.jpeg)|*.jpeg|GIF Image File (*.gif)|*.gif|"
    "PNG Image File (*.png)|*.png|WebP Image File (*.webp)|*.webp";
const char* const PictureDialogCaption = "Open Picture";
const char* const NoteCannotLoad = "The picture cannot be shown";

namespace {

const TPictureMemberInfo Members[] = {
    {"Has Background", "CheckBoxHasBackground", "ImageBackground", "Background", "Background"},
    {"Has Logo", "CheckBoxHasLogo", "ImageLogo", "Logo", "Logo"},
    {"Has Button", "CheckBoxHasButton", "ImageButton", "Button", "Menu Button"},
    {"Has Picture", "CheckBoxHasPicture", "ImagePicture", "Hotspot", "Hotspot"},
    {"Has Picture", "CheckBoxHasPicture", "ImagePicture", nullptr, "Page"},
};

} // namespace

const TPictureMemberInfo& PictureMemberInfo(TPictureMember member) {
    return Members[static_cast<int>(member)];
}

std::string PictureCopyPath(TPictureMember member, const std::string& imagesPath,
                            const std::string& extension) {
    const char* copyName = PictureMemberInfo(member).CopyName;
    if (!copyName)
        return UniqueFileName(imagesPath, extension);
    return imagesPath + copyName + extension;
}

const char* SizeButtonCaption(bool fitted) {
    return fitted ? "<>" : "><";
}

QRect PreviewRect(QSize picture, QSize box, bool fitted) {
    if (picture.isEmpty())
        return QRect();
    if (fitted && (picture.width() > box.width() || picture.height() > box.height())) {
        QSize shrunk = picture.scaled(box, Qt::KeepAspectRatio);
        shrunk = shrunk.expandedTo(QSize(1, 1));
        return QRect(QPoint(0, 0), shrunk);
    }
    return QRect(QPoint(0, 0), picture);
}

// ---- The preview

TPicturePreview::TPicturePreview(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFixedSize(BoxWidth + 2 * frameWidth(), BoxHeight + 2 * frameWidth());
}

QSize TPicturePreview::Box() const {
    return QSize(BoxWidth, BoxHeight);
}

void TPicturePreview::SetPicture(const QImage& picture) {
    FSize = picture.size();
    const QRect fitted = PreviewRect(FSize, Box(), true);
    const QRect shown = QRect(QPoint(0, 0), Box()).intersected(QRect(QPoint(0, 0), FSize));
    FNatural = picture.copy(shown);
    FShrunk = fitted.size() == FSize
                  ? FNatural
                  : picture.scaled(fitted.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    FNote.clear();
    update();
}

void TPicturePreview::Clear(const QString& note) {
    FSize = QSize();
    FShrunk = QImage();
    FNatural = QImage();
    FNote = note;
    update();
}

void TPicturePreview::SetFitted(bool fitted) {
    FFitted = fitted;
    update();
}

QRect TPicturePreview::DrawnRect() const {
    return HasPicture() ? PreviewRect(FSize, Box(), FFitted) : QRect();
}

void TPicturePreview::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect box = contentsRect();
    painter.setClipRect(box);
    if (HasPicture())
        painter.drawImage(box.topLeft(), FFitted ? FShrunk : FNatural);
    else if (!FNote.isEmpty())
        painter.drawText(box.adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, FNote);
}

// ---- The field

TPictureField::TPictureField(TPictureMember member, IPrompter& prompter,
                             std::string applicationFolder, QWidget* parent)
    : QWidget(parent), FMember(member), Prompter(prompter),
      FApplicationFolder(std::move(applicationFolder)) {
    const TPictureMemberInfo& info = PictureMemberInfo(member);
    CheckBox = new QCheckBox(QString::fromLatin1(info.Caption), this);
    CheckBox->setObjectName(QString::fromLatin1(info.CheckBoxName));
    Image = new TPicturePreview(this);
    Image->setObjectName(QString::fromLatin1(info.ImageName));
    ButtonPicture = new QPushButton(QStringLiteral("..."), this);
    ButtonPicture->setObjectName(QStringLiteral("ButtonPicture"));
    ButtonSize = new QPushButton(QString::fromLatin1(SizeButtonCaption(true)), this);
    ButtonSize->setObjectName(QStringLiteral("ButtonSize"));
    // The captions "..." and "<>" tell a screen reader nothing: the names say what for.
    const QString owner = QString::fromLatin1(info.Owner);
    ButtonPicture->setAccessibleName(QStringLiteral("Choose Picture for the ") + owner);
    ButtonPicture->setAccessibleDescription(
        QStringLiteral("Opens a GIF, JPEG, PNG or WebP file; OK copies it into the project's "
                       "Images folder"));
    ButtonSize->setAccessibleName(owner + QStringLiteral(" Preview Size"));
    ButtonSize->setAccessibleDescription(
        QStringLiteral("Shows the picture fitted into the preview or at its natural size"));
    Image->setAccessibleName(owner + QStringLiteral(" Preview"));
    for (QPushButton* button : {ButtonPicture, ButtonSize}) {
        button->setAutoDefault(false);
        button->setFixedWidth(40);
        button->setEnabled(false);
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ButtonPicture);
    buttons->addWidget(ButtonSize);
    buttons->addStretch(1);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(CheckBox, 0, 0, 1, 2);
    grid->addWidget(Image, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->setColumnStretch(2, 1);
    setTabOrder(CheckBox, ButtonPicture);
    setTabOrder(ButtonPicture, ButtonSize);

    connect(CheckBox, &QCheckBox::clicked, this, &TPictureField::CheckBoxClick);
    connect(ButtonPicture, &QPushButton::clicked, this, &TPictureField::ButtonPictureClick);
    connect(ButtonSize, &QPushButton::clicked, this, &TPictureField::ButtonSizeClick);
}

void TPictureField::EnableButtons() {
    ButtonPicture->setEnabled(CheckBox->isChecked());
    ButtonSize->setEnabled(CheckBox->isChecked());
}

void TPictureField::Load(const std::string& path, TPictureLinks links) {
    std::string bytes = ReadPictureBytes(path, links);
    TPicture picture = DecodePicture(bytes, path);
    // A phone's photo stored lying with an EXIF orientation is shown upright, and its size is
    // the upright one, as a browser shows it.
    if (picture.Format == TPictureFormat::Jpeg)
        picture = Oriented(picture, JpegOrientation(bytes));
    const QImage wrapped(picture.Pixels.data(), picture.Width, picture.Height,
                         static_cast<qsizetype>(picture.Width) * 4, QImage::Format_RGBA8888);
    Image->SetPicture(wrapped);
    FPath = path;
    FBytes = std::move(bytes);
    FWidth = picture.Width;
    FHeight = picture.Height;
    FLoaded = true;
    FKeepStored = false;
}

void TPictureField::Show(const std::string& name, const std::string& imagesPath) {
    FLoaded = false;
    FBytes.clear();
    FWidth = 0;
    FHeight = 0;
    FKeepStored = false;
    CheckBox->setChecked(!name.empty());
    EnableButtons();
    if (name.empty()) {
        FPath.clear();
        Image->Clear();
        return;
    }
    FPath = imagesPath + name;
    try {
        Load(FPath, TPictureLinks::Refuse); // the name comes from the project
    } catch (const std::exception&) {
        // The stored picture stays what the record names until another one is picked.
        FKeepStored = true;
        Image->Clear(QString::fromLatin1(NoteCannotLoad));
    }
}

void TPictureField::Store(std::string& name, std::int32_t& width, std::int32_t& height,
                          const std::string& imagesPath) {
    if (!CheckBox->isChecked() || (!FLoaded && !FKeepStored)) {
        name.clear();
        width = 0;
        height = 0;
        return;
    }
    if (FKeepStored)
        return;
    if (!LiesInFolder(FPath, imagesPath)) {
        const std::string copy = PictureCopyPath(FMember, imagesPath, ExtensionInPath(FPath));
        WriteFileAtomically(copy, FBytes);
        FPath = copy;
    }
    name = NameInPath(FPath);
    width = FWidth;
    height = FHeight;
}

void TPictureField::Store(std::string& name, const std::string& imagesPath) {
    std::int32_t width = 0;
    std::int32_t height = 0;
    Store(name, width, height, imagesPath);
}

void TPictureField::CheckBoxClick() {
    EnableButtons();
}

void TPictureField::ButtonPictureClick() {
    const QString picked =
        Prompter.OpenFile(QString::fromLatin1(PictureDialogCaption),
                          FileDialogFolder(TFileKind::Picture), QtFileFilter(PictureFileFilter));
    if (picked.isEmpty())
        return;
    RememberPickedFile(TFileKind::Picture, picked);
    const std::string path = StdText(picked);
    QString refusal;
    try {
        Load(path, TPictureLinks::Follow); // chosen by the user
    } catch (const TError& error) {
        refusal = QString::fromUtf8(error.what());
    } catch (const std::exception&) {
        refusal = QText("Cannot load the picture (" + path + ")");
    }
    // Outside the handler: the message box runs an event loop of its own.
    if (!refusal.isEmpty())
        Prompter.Information(refusal);
}

void TPictureField::ButtonSizeClick() {
    Image->SetFitted(!Image->Fitted());
    ButtonSize->setText(QString::fromLatin1(SizeButtonCaption(Image->Fitted())));
}
