#include "ui/FPublish.h"

#include "publish/PublishRun.h"
#include "publish/PublishTarget.h"
#include "ui/DialogControls.h"
#include "ui/Mnemonics.h"
#include "ui/Prompter.h"
#include "ui/Workspace.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdlib>
#include <exception>
#include <functional>
#include <thread>

namespace {

constexpr int ColumnName = 0;
constexpr int ColumnSize = 1;
constexpr int ColumnStatus = 2;

QLineEdit* Edit(QWidget* parent, const char* name, int limit) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    LimitTyping(edit, limit);
    return edit;
}

// The target of the list's item index; null for none.
const TPublishTarget* TargetAt(int index) {
    const auto& targets = PublishTargets();
    return index >= 0 && index < static_cast<int>(targets.size())
               ? targets[static_cast<std::size_t>(index)]
               : nullptr;
}

// Shows or hides field and the label that captions it.
void Show(QWidget* field, bool shown) {
    field->setVisible(shown);
    field->setEnabled(shown);
    for (QLabel* label : field->parentWidget()->findChildren<QLabel*>())
        if (label->buddy() == field)
            label->setVisible(shown);
}

// A port edit: typing takes the numbers 1 to 65535 only (no sign, no leading zero).
QLineEdit* PortEdit(QWidget* parent, const char* name) {
    QLineEdit* edit = Edit(parent, name, 5);
    static const QRegularExpression port(QStringLiteral(
        "[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5]"));
    edit->setValidator(new QRegularExpressionValidator(port, edit));
    return edit;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

// What the run shows and asks, done on the window's thread. Called from the run's thread,
// each call waits until the window has done it, so the run goes on in the same order as if
// it ran on the window's thread itself.
class TFormPublish::TView : public TPublishView {
  public:
    explicit TView(TFormPublish& form) : Form(form) {}

    void StatusChanged(const std::string& text) override {
        OnWindow([&] {
            Form.LabelPublish->setText(QText(text));
            Form.LabelPublish->repaint();
        });
    }
    void ProgressChanged(int value) override {
        OnWindow([&] {
            Form.ProgressBar->setValue(value);
            Form.ProgressBar->repaint();
        });
    }
    void RowChanged(int row) override {
        OnWindow([&] {
            QTreeWidgetItem* item = Form.ListViewFile->topLevelItem(row);
            if (item) {
                const TPublishRow& r = Form.FRun->Rows[static_cast<std::size_t>(row)];
                item->setText(ColumnStatus, QText(r.Status.empty() ? r.Kind : r.Status));
                item->setCheckState(ColumnName, r.Ticked ? Qt::Checked : Qt::Unchecked);
            }
            Form.ListViewFile->viewport()->repaint();
        });
    }
    void RowsChanged() override {
        OnWindow([&] {
            Form.FillList();
            Form.ListViewFile->viewport()->repaint();
        });
    }
    void ButtonsChanged() override {
        OnWindow([&] {
            Form.ButtonPublish->setEnabled(Form.FRun->CanPublish);
            Form.ButtonOK->setEnabled(Form.FRun->CanClose);
            // While a run is under way Cancel stays on: it ends the run.
            Form.ButtonCancel->setEnabled(Form.FRun->CanCancel || Form.FRunning);
        });
    }
    void FocusControl(TPublishField control) override {
        OnWindow([&] {
            QWidget* target = nullptr;
            switch (control) {
            case TPublishField::Server:
                target = Form.EditFTP;
                break;
            case TPublishField::Port:
                target = Form.EditFTPPort;
                break;
            case TPublishField::User:
                target = Form.EditUser;
                break;
            case TPublishField::ProxyPort:
                target = Form.EditProxyPort;
                break;
            case TPublishField::Done:
                target = Form.ButtonOK;
                break;
            case TPublishField::Password:
                target = Form.EditPassword;
                break;
            case TPublishField::Folder:
                target = Form.EditFolder;
                break;
            case TPublishField::Protocol:
                target = Form.ComboBoxProtocol;
                break;
            case TPublishField::Repository:
                target = Form.EditRepository;
                break;
            }
            if (target)
                target->setFocus();
        });
    }
    void Message(const std::string& text) override {
        OnWindow([&] { Form.Prompter.Information(QText(text)); });
    }
    bool Confirm(const std::string& question) override {
        bool answer = false;
        OnWindow(
            [&] { answer = Form.Prompter.Confirm(QText(question), TConfirmButtons::OKCancel); });
        return answer;
    }
    bool Trust(const std::string& question, const std::string&) override {
        bool answer = false;
        OnWindow(
            [&] { answer = Form.Prompter.Confirm(QText(question), TConfirmButtons::TrustCancel); });
        return answer;
    }

  private:
    void OnWindow(const std::function<void()>& action) { Form.Mailbox.Call(action); }

    TFormPublish& Form;
};

TFormPublish::TFormPublish(TWorkspace& workspace, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), Workspace(workspace), Prompter(prompter),
      FView(std::make_unique<TView>(*this)) {
    setObjectName(QStringLiteral("FormPublish"));
    setWindowTitle(QStringLiteral("Publish"));
    setModal(true);

    ComboBoxProtocol = MakeDropDownList(this, "ComboBoxProtocol", {});
    for (const TPublishTarget* target : PublishTargets())
        ComboBoxProtocol->addItem(QString::fromUtf8(target->Caption));
    CheckBoxPassive = new QCheckBox(QStringLiteral("Passive mode"), this);
    CheckBoxPassive->setObjectName(QStringLiteral("CheckBoxPassive"));
    CheckBoxSync = new QCheckBox(QStringLiteral("Only send what changed"), this);
    CheckBoxSync->setObjectName(QStringLiteral("CheckBoxSync"));
    CheckBoxSync->setAccessibleName(QStringLiteral("Only send what changed"));
    CheckBoxSync->setAccessibleDescription(
        QStringLiteral("Compares the site with what was published before: only new and changed "
                       "files are uploaded, and files the site no longer has are deleted"));
    SpinBoxJobs = new QSpinBox(this);
    SpinBoxJobs->setObjectName(QStringLiteral("SpinBoxJobs"));
    SpinBoxJobs->setRange(TDPublish::MinJobs, TDPublish::MaxJobs);
    SpinBoxJobs->setAccessibleName(QStringLiteral("Connections"));
    SpinBoxJobs->setAccessibleDescription(
        QStringLiteral("How many connections upload files at the same time, 1 to 8"));
    EditFTP = Edit(this, "EditFTP", 128);
    EditFTPPort = PortEdit(this, "EditFTPPort");
    EditUser = Edit(this, "EditUser", 36);
    EditPassword = Edit(this, "EditPassword", 36);
    EditPassword->setEchoMode(QLineEdit::Password);
    EditPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    CheckBoxProxy = new QCheckBox(QStringLiteral("Use Proxy Server"), this);
    CheckBoxProxy->setObjectName(QStringLiteral("CheckBoxProxy"));
    EditProxy = Edit(this, "EditProxy", 128);
    EditProxyPort = PortEdit(this, "EditProxyPort");
    EditRepository = Edit(this, "EditRepository", 512);
    EditRepository->setAccessibleDescription(
        QStringLiteral("The repository's address: https://, ssh://, user@host:path or a folder"));
    ComboBoxBranch = new QComboBox(this);
    ComboBoxBranch->setObjectName(QStringLiteral("ComboBoxBranch"));
    ComboBoxBranch->setEditable(true);
    EditAuthorName = Edit(this, "EditAuthorName", 128);
    EditAuthorEmail = Edit(this, "EditAuthorEmail", 128);
    // Made after the repository's fields, below which it stands: the tab order follows.
    EditFolder = Edit(this, "EditFolder", 128);
    ListViewFile = new QTreeWidget(this);
    ListViewFile->setObjectName(QStringLiteral("ListViewFile"));
    ListViewFile->setColumnCount(3);
    ListViewFile->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Status")});
    ListViewFile->setRootIsDecorated(false);
    ListViewFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListViewFile->setSelectionMode(QAbstractItemView::SingleSelection);
    ListViewFile->header()->setStretchLastSection(true);
    ListViewFile->setColumnWidth(ColumnName, 220);
    ListViewFile->setColumnWidth(ColumnSize, 80);
    ListViewFile->setAccessibleName(QStringLiteral("Files to publish"));
    ListViewFile->setAccessibleDescription(
        QStringLiteral("The files of the HTML folder with their sizes; a ticked file is uploaded"));
    LabelPublish = new QLabel(this);
    LabelPublish->setObjectName(QStringLiteral("LabelPublish"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, 100);
    ButtonTest = Button(this, "ButtonTest", "Test Connection");
    ButtonPublish = Button(this, "ButtonPublish", "Publish");
    ButtonRetry = Button(this, "ButtonRetry", "Retry Failed");
    ButtonRetry->setVisible(false);
    ButtonOK = Button(this, "ButtonOK", "OK");
    ButtonOK->setDefault(true);
    ButtonCancel = Button(this, "ButtonCancel", "Cancel");

    auto* grid = new QGridLayout;
    auto row = [&](int r, int column, const char* caption, QWidget* field) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setBuddy(field);
        grid->addWidget(label, r, column);
        grid->addWidget(field, r, column + 1);
    };
    row(0, 0, "Protocol:", ComboBoxProtocol);
    grid->addWidget(CheckBoxPassive, 0, 3);
    grid->addWidget(CheckBoxSync, 1, 1);
    row(1, 2, "Connections:", SpinBoxJobs);
    row(2, 0, "FTP Server:", EditFTP);
    row(2, 2, "FTP Port:", EditFTPPort);
    row(3, 0, "User Name:", EditUser);
    row(3, 2, "Password:", EditPassword);
    grid->addWidget(CheckBoxProxy, 4, 1);
    row(5, 0, "Proxy Server:", EditProxy);
    row(5, 2, "Proxy Port:", EditProxyPort);
    row(6, 0, "Repository:", EditRepository);
    row(6, 2, "Branch:", ComboBoxBranch);
    row(7, 0, "Author Name:", EditAuthorName);
    row(7, 2, "Author Email:", EditAuthorEmail);
    row(8, 0, "Sub Folder:", EditFolder);
    LabelFolder = qobject_cast<QLabel*>(grid->itemAtPosition(8, 0)->widget());
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonPublish);
    buttons->addWidget(ButtonRetry);
    buttons->addWidget(ButtonTest);
    buttons->addStretch(1);
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(ListViewFile, 1);
    layout->addWidget(LabelPublish);
    layout->addWidget(ProgressBar);
    layout->addLayout(buttons);
    resize(560, 470);
    // The buttons in the order they stand in.
    setTabOrder(ListViewFile, ButtonPublish);

    connect(CheckBoxProxy, &QCheckBox::clicked, this, &TFormPublish::CheckBoxProxyClick);
    connect(CheckBoxSync, &QCheckBox::clicked, this, &TFormPublish::CheckBoxSyncClick);
    connect(ComboBoxProtocol, &QComboBox::currentIndexChanged, this,
            &TFormPublish::ComboBoxProtocolChange);
    connect(ButtonTest, &QPushButton::clicked, this, &TFormPublish::ButtonTestClick);
    connect(ButtonPublish, &QPushButton::clicked, this, &TFormPublish::ButtonPublishClick);
    connect(ButtonRetry, &QPushButton::clicked, this, &TFormPublish::ButtonRetryClick);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormPublish::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormPublish::reject);
    // The first target's settings until a project's are shown.
    ShowTarget();
}

TFormPublish::~TFormPublish() = default;

const char* const TFormPublish::NoKeyringSentence =
    "Passwords are kept in the project file because no keyring is running.";
bool TFormPublish::NoKeyringTold = false;

bool TFormPublish::Execute() {
    if (!Workspace.IsOpen())
        return false;
    return exec() == QDialog::Accepted;
}

void TFormPublish::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormPublish::FormShow() {
    if (!Workspace.IsOpen())
        return;
    EditFTP->setFocus();
    FRun = std::make_unique<TPublishRun>(*Workspace.Project, *FView);
    // The password lives in the desktop's keyring when there is one (and it is wanted).
    const char* off = std::getenv(TKeyring::OffVariable);
    if (!off || std::string(off) != "1")
        FRun->Keyring = &FKeyring;
    FRun->Show();
    RunToControls();
    if (!FRun->KeyringNote.empty())
        LabelPublish->setText(QString::fromLatin1(NoKeyringSentence));
    ButtonRetry->setVisible(false);
    FillList();
    CheckBoxProxyClick();
}

void TFormPublish::FillList() {
    ListViewFile->clear();
    for (const TPublishRow& r : FRun->Rows) {
        auto* item = new QTreeWidgetItem(ListViewFile);
        item->setText(ColumnName, QText(r.Name));
        item->setText(ColumnSize, QText(r.Size));
        item->setTextAlignment(ColumnSize, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(ColumnStatus, QText(r.Status.empty() ? r.Kind : r.Status));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(ColumnName, r.Ticked ? Qt::Checked : Qt::Unchecked);
    }
}

void TFormPublish::RunToControls() {
    const TTypedSettings& edits = FRun->Typed;
    // An unknown protocol text shows no item; the run names it when it is used.
    int protocol = -1;
    for (int i = 0; TargetAt(i); ++i)
        if (edits.Protocol == TargetAt(i)->Name)
            protocol = i;
    FProtocol = protocol;
    {
        const QSignalBlocker quiet(ComboBoxProtocol);
        ComboBoxProtocol->setCurrentIndex(protocol);
    }
    CheckBoxPassive->setChecked(edits.Passive);
    CheckBoxSync->setChecked(edits.Sync);
    SpinBoxJobs->setValue(edits.Jobs);
    SpinBoxJobs->setEnabled(edits.Sync);
    EditFTP->setText(QText(edits.Server));
    // 0 (a new project's) is the target's default port, and shown as it.
    const TPublishTarget* shown = TargetAt(protocol);
    EditFTPPort->setText(QText(edits.Port == "0" && shown && shown->DefaultPort > 0
                                   ? std::to_string(shown->DefaultPort)
                                   : edits.Port));
    EditUser->setText(QText(edits.User));
    EditPassword->setText(QText(edits.Password));
    CheckBoxProxy->setChecked(edits.UseProxy);
    EditProxy->setText(QText(edits.ProxyServer));
    EditProxyPort->setText(QText(edits.ProxyPort));
    EditFolder->setText(QText(edits.Folder));
    EditRepository->setText(QText(edits.Repository));
    ComboBoxBranch->setCurrentText(QText(edits.Branch));
    EditAuthorName->setText(QText(edits.AuthorName));
    EditAuthorEmail->setText(QText(edits.AuthorEmail));
    ShowTarget();
}

void TFormPublish::ShowTarget() {
    // An unknown protocol shows every setting.
    const TPublishTarget* target = TargetAt(ComboBoxProtocol->currentIndex());
    const auto uses = [target](TTargetSetting setting) {
        return !target || target->UsesSetting(setting);
    };
    Show(EditFTP, uses(TTargetSetting::Host));
    Show(EditFTPPort, uses(TTargetSetting::Port));
    Show(EditUser, uses(TTargetSetting::User));
    Show(EditPassword, uses(TTargetSetting::Password));
    Show(CheckBoxPassive, uses(TTargetSetting::Passive));
    // Only a target that names them uses a repository and its branch.
    const bool repository = target && target->UsesSetting(TTargetSetting::Repository);
    Show(EditRepository, repository);
    Show(ComboBoxBranch, repository);
    if (repository) {
        // The branches the target offers, the one typed kept.
        const QString typed = ComboBoxBranch->currentText();
        QStringList branches;
        for (const std::string& branch : target->Words.Branches)
            branches << QText(branch);
        ComboBoxBranch->clear();
        ComboBoxBranch->addItems(branches);
        if (!typed.isEmpty())
            ComboBoxBranch->setCurrentText(typed);
        ComboBoxBranch->setAccessibleDescription(
            QStringLiteral("The branch that receives the site; the hosts read ") +
            branches.join(QStringLiteral(", ")));
    }
    Show(EditAuthorName, repository);
    Show(EditAuthorEmail, repository);
    CheckBoxProxy->setVisible(uses(TTargetSetting::Proxy));
    Show(EditProxy, uses(TTargetSetting::Proxy));
    Show(EditProxyPort, uses(TTargetSetting::Proxy));
    EditProxy->setEnabled(uses(TTargetSetting::Proxy) && CheckBoxProxy->isChecked());
    EditProxyPort->setEnabled(EditProxy->isEnabled());
    const bool byFile = !target || target->MakeTransport;
    const bool jobs = byFile && uses(TTargetSetting::Jobs);
    CheckBoxSync->setVisible(byFile);
    Show(SpinBoxJobs, jobs);
    SpinBoxJobs->setEnabled(jobs && CheckBoxSync->isChecked());
    if (LabelFolder)
        LabelFolder->setText(QString::fromUtf8(target ? target->FolderCaption : "Sub Folder:"));
    // What the target shows now gets its letters (the rest keeps what it had).
    AssignMnemonics(this);
}

void TFormPublish::ControlsToRun() {
    TTypedSettings& edits = FRun->Typed;
    if (const TPublishTarget* target = TargetAt(ComboBoxProtocol->currentIndex()))
        edits.Protocol = target->Name;
    edits.Passive = CheckBoxPassive->isChecked();
    edits.Sync = CheckBoxSync->isChecked();
    edits.Jobs = SpinBoxJobs->value();
    edits.Server = StdText(EditFTP->text());
    edits.Port = StdText(EditFTPPort->text());
    edits.User = StdText(EditUser->text());
    edits.Password = StdText(EditPassword->text());
    edits.UseProxy = CheckBoxProxy->isChecked();
    edits.ProxyServer = StdText(EditProxy->text());
    edits.ProxyPort = StdText(EditProxyPort->text());
    edits.Folder = StdText(EditFolder->text());
    edits.Repository = StdText(EditRepository->text());
    edits.Branch = StdText(ComboBoxBranch->currentText());
    edits.AuthorName = StdText(EditAuthorName->text());
    edits.AuthorEmail = StdText(EditAuthorEmail->text());
    for (std::size_t i = 0; i < FRun->Rows.size(); ++i) {
        const QTreeWidgetItem* item = ListViewFile->topLevelItem(static_cast<int>(i));
        FRun->Rows[i].Ticked = item && item->checkState(ColumnName) == Qt::Checked;
    }
}

void TFormPublish::CheckBoxProxyClick() {
    const bool on = CheckBoxProxy->isChecked();
    EditProxy->setEnabled(on);
    EditProxyPort->setEnabled(on);
    if (on)
        EditProxy->setFocus();
}

void TFormPublish::CheckBoxSyncClick() {
    SpinBoxJobs->setEnabled(CheckBoxSync->isChecked());
    if (!FRun || FRunning)
        return;
    // A comparison shown belongs to the synchronising publish: without it the list shows the
    // plain rows, and with it again the next Publish compares anew (nothing goes over the
    // network here).
    if (FRun->Compared() || ButtonRetry->isVisible()) {
        ControlsToRun();
        FRun->ForgetComparison();
        ButtonRetry->setVisible(false);
    }
}

void TFormPublish::ComboBoxProtocolChange() {
    const TPublishTarget* target = TargetAt(ComboBoxProtocol->currentIndex());
    // The port follows the target when it was empty or some target's default.
    const QString port = EditFTPPort->text();
    bool usual = port.isEmpty() || port == QStringLiteral("0");
    for (const TPublishTarget* other : PublishTargets())
        if (other->DefaultPort > 0 && port == QString::number(other->DefaultPort))
            usual = true;
    if (target && target->DefaultPort > 0 && usual)
        EditFTPPort->setText(QString::number(target->DefaultPort));
    FProtocol = ComboBoxProtocol->currentIndex();
    ShowTarget();
}

void TFormPublish::ButtonOKClick() {
    if (!FRun || FRunning)
        return;
    ControlsToRun();
    if (!FRun->Store())
        return;
    // Without a keyring the password stays in the project: said once while the program
    // runs, after the dialog has closed.
    const bool tell = !FRun->KeyringNote.empty() && !NoKeyringTold;
    accept();
    if (tell) {
        NoKeyringTold = true;
        Prompter.Information(QString::fromLatin1(NoKeyringSentence));
    }
}

void TFormPublish::ButtonPublishClick() {
    if (!FRun || FRunning)
        return;
    ControlsToRun();
    RunBlocking([this] { FRun->Publish(); });
    ButtonRetry->setVisible(FRun->Failures > 0);
}

void TFormPublish::ButtonRetryClick() {
    if (!FRun || FRunning)
        return;
    ControlsToRun();
    if (!FRun->RetryFailed())
        return;
    RunBlocking([this] { FRun->Publish(); });
    ButtonRetry->setVisible(FRun->Failures > 0);
}

void TFormPublish::ButtonTestClick() {
    if (!FRun || FRunning)
        return;
    ControlsToRun();
    RunBlocking([this] { FRun->TestConnection(); });
}

void TFormPublish::RunBlocking(const std::function<void()>& work) {
    // The exchange blocks, so it runs on a thread of its own; this thread goes on painting
    // the window and does what the run asks of it (TView) until the run has ended.
    FRunning = true;
    qApp->installEventFilter(this);
    std::exception_ptr failure;
    QEventLoop loop;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        Mailbox.Post([&loop] { loop.quit(); });
    });
    loop.exec();
    worker.join();
    qApp->removeEventFilter(this);
    FRunning = false;
    if (failure)
        std::rethrow_exception(failure);
}

bool TFormPublish::eventFilter(QObject* watched, QEvent* event) {
    // While a run is under way the dialog takes no input, as a busy window would not, but
    // for Cancel (a click, or Esc) which ends the run; it still paints itself, and message
    // boxes of the run answer as usual.
    if (FRunning && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this) {
        if (watched == ButtonCancel && ButtonCancel->isEnabled())
            return QDialog::eventFilter(watched, event);
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            CancelRun();
            return true;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormPublish::reject() {
    if (FRunning) {
        CancelRun();
        return;
    }
    QDialog::reject();
}

void TFormPublish::CancelRun() {
    if (!FRunning || !FRun)
        return;
    FRun->Cancel();
    LabelPublish->setText(QStringLiteral("Cancelling..."));
}

void TFormPublish::closeEvent(QCloseEvent* event) {
    if (FRunning) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
