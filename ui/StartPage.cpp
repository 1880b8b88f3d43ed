#include "ui/StartPage.h"

#include "model/CColor.h"
#include "platform/XmlDocument.h"
#include "ui/ColorSwatch.h"
#include "ui/Pictures.h"
#include "ui/Workspace.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int Width = TRecentProjects::ThumbnailWidth;
constexpr int Height = TRecentProjects::ThumbnailHeight;
// A template's picture file larger than this is not read.
constexpr qint64 LargestPicture = 4 * 1024 * 1024;
// New blank project and the templates stand in rows of this many, so that the page fits
// beside the tree without scrolling sideways.
constexpr int TemplatesPerRow = 3;

// An entry of the page: a button with a picture whose Enter presses it, as Space does.
class TEntryButton : public QToolButton {
  public:
    using QToolButton::QToolButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            event->accept();
            return;
        }
        QToolButton::keyPressEvent(event);
    }
};

QToolButton* Entry(QWidget* parent, const QString& text, const QPixmap& picture,
                   const QString& name, const QString& description) {
    auto* button = new TEntryButton(parent);
    button->setText(text);
    button->setIcon(QIcon(picture));
    button->setIconSize(picture.isNull() ? QSize(32, 32) : picture.size());
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAccessibleName(name);
    button->setAccessibleDescription(description);
    button->setToolTip(description);
    return button;
}

QLabel* Heading(QWidget* parent, const QString& text, int grow) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() + grow);
    label->setFont(font);
    return label;
}

// A sketch of a page in a template's colours: the topic bar, the menu, the text area with a
// title and lines, the foot.
QPixmap Sketch(const TDColor& c) {
    QPixmap picture(Width, Height);
    picture.fill(ToQColor(c.BG));
    QPainter p(&picture);
    p.setPen(Qt::NoPen);
    auto box = [&p](int x, int y, int w, int h, TColor color) {
        p.fillRect(QRect(x, y, w, h), ToQColor(color));
    };
    box(0, 0, Width, 22, c.TOPIC_BG);
    box(8, 8, 64, 6, c.TOPIC_TEXT);
    box(0, 22, Width, 12, c.MENU_BG);
    for (int i = 0; i < 4; ++i)
        box(8 + i * 30, 26, 22, 4, c.MENU_TEXT);
    box(8, 40, Width - 16, Height - 56, c.TEXT_BG);
    box(14, 46, 72, 6, c.TITLE);
    for (int i = 0; i < 4; ++i)
        box(14, 58 + i * 7, Width - 40 - (i % 2) * 20, 3, c.TEXT);
    box(0, Height - 12, Width, 12, c.FOOT_BG);
    box(8, Height - 8, 48, 3, c.FOOT_TEXT);
    return picture;
}

} // namespace

TStartPage::TStartPage(TWorkspace& workspace, QWidget* parent)
    : QScrollArea(parent), Workspace(workspace) {
    setObjectName(QStringLiteral("StartPage"));
    setAccessibleName(QStringLiteral("Start page"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    Refresh();
}

QPixmap TStartPage::Placeholder() {
    QPixmap picture(Width, Height);
    picture.fill(QColor(0xee, 0xee, 0xee));
    QPainter p(&picture);
    p.setPen(QColor(0xbb, 0xbb, 0xbb));
    p.drawRect(0, 0, Width - 1, Height - 1);
    p.fillRect(QRect(12, 12, 70, 8), QColor(0xcc, 0xcc, 0xcc));
    for (int i = 0; i < 5; ++i)
        p.fillRect(QRect(12, 32 + i * 12, Width - 24 - (i % 2) * 30, 5), QColor(0xdd, 0xdd, 0xdd));
    return picture;
}

QPixmap TStartPage::TemplatePicture(const std::string& templateFile) {
    const QFileInfo file(QString::fromStdString(templateFile));
    const QFileInfo own(file.path() + QStringLiteral("/") + file.completeBaseName() +
                        QStringLiteral(".png"));
    if (own.isFile() && own.size() <= LargestPicture) {
        QImageReader reader(own.filePath(), "png");
        const QImage picture = reader.read();
        if (!picture.isNull())
            return QPixmap::fromImage(
                picture.scaled(Width, Height, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    try {
        TXmlDocument document;
        document.Load(templateFile);
        return Sketch(TDColor(ChildByName(document.Root(), "COLOR")));
    } catch (const std::exception&) {
        // A template that cannot be read shows the placeholder; New Project says why.
        return Placeholder();
    }
}

void TStartPage::Refresh() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("StartPageContent"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 16, 24, 16);
    QList<QWidget*> order;

    column->addWidget(Heading(page, QStringLiteral("Welcome to Corvane"), 6));
    column->addWidget(Heading(page, QStringLiteral("Recent Projects"), 2));
    RecentEntries.clear();
    const QLocale locale;
    for (const TRecentProjects::TEntry& entry : Recent.Entries()) {
        QString state;
        QString description;
        if (!entry.Exists) {
            state = QStringLiteral("The folder is missing");
            description = QStringLiteral("The folder ") + entry.Folder +
                          QStringLiteral(" is missing; Enter takes it off the list");
        } else {
            state = entry.LastChange.isValid()
                        ? QStringLiteral("Last change: ") +
                              locale.toString(entry.LastChange, QLocale::ShortFormat)
                        : QStringLiteral("No documents yet");
            description = QStringLiteral("Opens the project in ") + entry.Folder +
                          QStringLiteral("; ") + state;
        }
        const QPixmap thumbnail = TRecentProjects::Thumbnail(entry.Folder);
        QToolButton* button = Entry(
            page, entry.Name + QStringLiteral("\n") + entry.Folder + QStringLiteral("\n") + state,
            thumbnail.isNull() ? Placeholder() : thumbnail, entry.Name, description);
        button->setObjectName(QStringLiteral("RecentProject%1").arg(RecentEntries.size() + 1));
        if (!entry.Exists) {
            QPalette greyed = button->palette();
            greyed.setColor(QPalette::ButtonText,
                            greyed.color(QPalette::Disabled, QPalette::ButtonText));
            button->setPalette(greyed);
        }
        connect(button, &QToolButton::clicked, this,
                [this, folder = entry.Folder] { emit OpenRecent(folder); });
        column->addWidget(button, 0, Qt::AlignLeft);
        RecentEntries << button;
        order << button;
    }
    LabelNoRecent = nullptr;
    if (RecentEntries.isEmpty()) {
        LabelNoRecent = new QLabel(QStringLiteral("No project was opened yet."), page);
        column->addWidget(LabelNoRecent);
    }
    CheckBoxReopenLast = new QCheckBox(QStringLiteral("&Reopen the last project on start"), page);
    CheckBoxReopenLast->setObjectName(QStringLiteral("CheckBoxReopenLast"));
    CheckBoxReopenLast->setChecked(Recent.ReopenLast());
    connect(CheckBoxReopenLast, &QCheckBox::toggled, this,
            [this](bool on) { Recent.SetReopenLast(on); });
    column->addWidget(CheckBoxReopenLast);
    order << CheckBoxReopenLast;

    column->addSpacing(12);
    column->addWidget(Heading(page, QStringLiteral("New project"), 2));
    auto* templates = new QGridLayout;
    ButtonNewProject = Entry(page, QStringLiteral("&New blank project"), Placeholder(),
                             QStringLiteral("New blank project"),
                             QStringLiteral("Starts a new project without a template"));
    ButtonNewProject->setObjectName(QStringLiteral("ButtonNewProject"));
    ButtonNewProject->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    connect(ButtonNewProject, &QToolButton::clicked, this, [this] { emit NewProject({}); });
    templates->addWidget(ButtonNewProject, 0, 0);
    order << ButtonNewProject;
    TemplateEntries.clear();
    for (const TTemplateChoice& choice : Workspace.Templates()) {
        const QString name = QString::fromStdString(choice.Name);
        QToolButton* button = Entry(
            page, name, TemplatePicture(choice.File), QStringLiteral("New project from ") + name,
            QStringLiteral("Starts a new project with the look of the template ") + name);
        button->setObjectName(QStringLiteral("Template%1").arg(TemplateEntries.size() + 1));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        connect(button, &QToolButton::clicked, this,
                [this, file = QString::fromStdString(choice.File)] { emit NewProject(file); });
        TemplateEntries << button;
        templates->addWidget(button, int(TemplateEntries.size()) / TemplatesPerRow,
                             int(TemplateEntries.size()) % TemplatesPerRow);
        order << button;
    }
    templates->setColumnStretch(TemplatesPerRow, 1);
    column->addLayout(templates);

    column->addSpacing(12);
    auto* more = new QHBoxLayout;
    ButtonOpenProject = Entry(page, QStringLiteral("&Open a project"), ToolIcon(1).pixmap(32),
                              QStringLiteral("Open a project"),
                              QStringLiteral("Chooses a project among the project folders"));
    ButtonOpenProject->setObjectName(QStringLiteral("ButtonOpenProject"));
    connect(ButtonOpenProject, &QToolButton::clicked, this, [this] { emit OpenProject(); });
    ButtonUserManual =
        Entry(page, QStringLiteral("User &manual"), QPixmap(), QStringLiteral("User manual"),
              QStringLiteral("Opens the user manual"));
    ButtonUserManual->setObjectName(QStringLiteral("ButtonUserManual"));
    ButtonUserManual->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(ButtonUserManual, &QToolButton::clicked, this, [this] { emit UserManual(); });
    more->addWidget(ButtonOpenProject);
    more->addWidget(ButtonUserManual);
    more->addStretch(1);
    column->addLayout(more);
    column->addStretch(1);

    // The old page goes, once the entry pressed on it (which may have asked for this) is
    // done; the focus it had comes back to the first entry.
    const bool hadFocus = widget() && widget()->isAncestorOf(QApplication::focusWidget());
    if (QWidget* old = takeWidget())
        old->deleteLater();
    setWidget(page);
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    if (hadFocus)
        FocusFirst();
}

void TStartPage::FocusFirst() {
    QWidget* first =
        RecentEntries.isEmpty() ? static_cast<QWidget*>(ButtonNewProject) : RecentEntries.first();
    first->setFocus(Qt::OtherFocusReason);
    ensureWidgetVisible(first);
}
