#include "ui/FRestore.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

TFormRestore::TFormRestore(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormRestore"));
    setWindowTitle(QStringLiteral("Restore Earlier Version"));
    setModal(true);

    ListVersions = new QListWidget(this);
    ListVersions->setObjectName(QStringLiteral("ListVersions"));
    ListVersions->setSelectionMode(QAbstractItemView::SingleSelection);
    ListVersions->setAccessibleName(QStringLiteral("Earlier versions"));
    ListVersions->setAccessibleDescription(
        QStringLiteral("The kept versions of the project, newest first, with the change that "
                       "gave each"));
    LabelVersions = new QLabel(QStringLiteral("&Versions:"), this);
    LabelVersions->setBuddy(ListVersions);
    LabelStrays = new QLabel(this);
    LabelStrays->setObjectName(QStringLiteral("LabelStrays"));
    LabelStrays->setWordWrap(true);
    LabelStrays->setTextFormat(Qt::PlainText);
    LabelStrays->hide();
    ButtonRestore = new QPushButton(QStringLiteral("&Restore"), this);
    ButtonRestore->setObjectName(QStringLiteral("ButtonRestore"));
    ButtonRestore->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButtonRestore);
    buttons->addWidget(ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelVersions);
    layout->addWidget(ListVersions, 1);
    layout->addWidget(LabelStrays);
    layout->addLayout(buttons);
    resize(460, 360);

    connect(ButtonRestore, &QPushButton::clicked, this, [this] {
        if (ListVersions->currentRow() >= 0)
            accept();
    });
    connect(ListVersions, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFormRestore::VersionText(const TEarlierVersion& version) {
    const QDateTime when = QDateTime::fromSecsSinceEpoch(version.Time);
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral("  ") +
           QString::fromStdString(version.Change);
}

std::optional<TEarlierVersion> TFormRestore::Execute(const std::vector<TEarlierVersion>& versions,
                                                     const std::vector<std::string>& strays) {
    FVersions = versions;
    QStringList names;
    for (const std::string& stray : strays)
        names << QString::fromStdString(stray);
    LabelStrays->setText(QStringLiteral("Passed over, not versions (a link, a pipe or the "
                                        "wrong kind of entry): ") +
                         names.join(QStringLiteral(", ")));
    LabelStrays->setVisible(!strays.empty());
    ListVersions->clear();
    for (const TEarlierVersion& version : FVersions)
        ListVersions->addItem(VersionText(version));
    if (ListVersions->count() > 0)
        ListVersions->setCurrentRow(0);
    ListVersions->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    const int row = ListVersions->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= FVersions.size())
        return std::nullopt;
    return FVersions[static_cast<std::size_t>(row)];
}
