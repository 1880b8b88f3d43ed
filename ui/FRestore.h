#pragma once

#include "model/EarlierVersions.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

// File > Restore Earlier Version: lists the versions the project keeps, newest first, each
// with its date, time and the change that gave it, and gives the one chosen.
class TFormRestore : public QDialog {
    Q_OBJECT

  public:
    explicit TFormRestore(QWidget* parent = nullptr);

    // Shows the versions modally, and under them the entries of the folder that look like
    // versions but are not (strays: paths), which are passed over; the chosen one, or none
    // when cancelled.
    std::optional<TEarlierVersion> Execute(const std::vector<TEarlierVersion>& versions,
                                           const std::vector<std::string>& strays = {});

    // "2026-12-09 13:45:02  Add Page": the version's local date and time and its change.
    static QString VersionText(const TEarlierVersion& version);

    QLabel* LabelVersions;
    QListWidget* ListVersions;
    // "Passed over, not versions: ...", hidden when there are none.
    QLabel* LabelStrays;
    QPushButton* ButtonRestore;
    QPushButton* ButtonCancel;

  private:
    std::vector<TEarlierVersion> FVersions;
};
