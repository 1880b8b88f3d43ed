#include "ui/DialogControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QValidator>

namespace {

// Refuses a change that the user makes (the edit is then modified) when it makes the text
// longer than the limit, unless it makes it no longer than it was (so a long text put in by
// the program can still be shortened). A text that the program sets is never refused: setting
// it clears the modified flag before it is validated.
class TTypingLimit : public QValidator {
  public:
    TTypingLimit(QLineEdit* edit, int limit)
        : QValidator(edit), FEdit(edit), FLimit(limit), FLength(edit->text().length()) {
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { FLength = text.length(); });
    }

    State validate(QString& input, int&) const override {
        if (!FEdit->isModified() || input.length() <= FLimit || input.length() <= FLength)
            return Acceptable;
        return Invalid;
    }

  private:
    const QLineEdit* FEdit;
    const int FLimit;
    // The length of the text as it was before the change being validated.
    qsizetype FLength;
};

std::string Replaced(std::string text, char from, char to) {
    for (char& c : text)
        if (c == from)
            c = to;
    return text;
}

} // namespace

void LimitTyping(QLineEdit* edit, int limit) {
    edit->setValidator(new TTypingLimit(edit, limit));
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QComboBox* MakeDropDownList(QWidget* parent, const char* name,
                            std::initializer_list<const char*> items) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    for (const char* item : items)
        list->addItem(QString::fromUtf8(item));
    list->setCurrentIndex(-1);
    return list;
}

void SelectItemText(QComboBox* list, const std::string& text) {
    const QString wanted = QText(text);
    int found = -1;
    for (int i = 0; i < list->count() && found < 0; ++i)
        if (list->itemText(i) == wanted)
            found = i;
    list->setCurrentIndex(found);
}

std::string SelectedItemText(const QComboBox* list) {
    return list->currentIndex() < 0 ? std::string() : StdText(list->currentText());
}

QString QtFileFilter(const std::string& filter) {
    QStringList parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = filter.find('|', start);
        parts << QText(filter.substr(start, bar == std::string::npos ? bar : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i];
        const QString patterns = i + 1 < parts.size() ? parts[i + 1] : QString();
        if (patterns.isEmpty()) {
            entries << description;
            continue;
        }
        const QString blanks = QText(Replaced(StdText(patterns), ';', ' '));
        const QString own = QStringLiteral("(") + patterns + QStringLiteral(")");
        if (description.endsWith(own))
            description.chop(own.size());
        else
            description += QStringLiteral(" ");
        entries << description + QStringLiteral("(") + blanks + QStringLiteral(")");
    }
    return entries.join(QStringLiteral(";;"));
}

std::string FolderOfPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameInPath(const std::string& path) {
    return path.substr(FolderOfPath(path).size());
}

std::string ExtensionInPath(const std::string& path) {
    const std::string name = NameInPath(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool LiesInFolder(const std::string& path, const std::string& folder) {
    return FolderOfPath(path) == folder;
}
