#pragma once

// Small pieces the content and style dialogs share: typing limits of one-line edits,
// drop-down lists that select by text, file dialog filters, and the path tests of the
// picture and link fields.

#include <QString>

#include <initializer_list>
#include <string>
#include <utility>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

// How a dialog's OK writes its record: the controls go into a copy of the record (edited),
// which then takes the record's place, and save writes the document that holds it. When
// save throws, the record is put back as it was and the error goes on to the caller. So an
// OK that fails anywhere (a picture that cannot be copied, a document that cannot be
// written) leaves nothing of the dialog in memory, where a later OK of another dialog would
// write it.
template <typename TRecord, typename TSave>
void ReplaceAndSave(TRecord& record, TRecord edited, TSave save) {
    TRecord before = std::move(record);
    record = std::move(edited);
    try {
        save();
    } catch (...) {
        record = std::move(before);
        throw;
    }
}

// Text conversions between the records (UTF-8) and the controls.
inline QString QText(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string StdText(const QString& text) {
    return text.toStdString();
}

// Lets the user type at most limit characters into edit. Unlike QLineEdit::setMaxLength
// this limits only typing and pasting: a longer text that the program puts into the edit (a
// stored value, the full path of a picked file) is kept whole, and the user may still shorten
// it.
void LimitTyping(QLineEdit* edit, int limit);

// A check box with its caption (Latin-1), named name.
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* caption);

// A drop-down list that offers only its items, named name.
QComboBox* MakeDropDownList(QWidget* parent, const char* name,
                            std::initializer_list<const char*> items);
// Selects the item whose text equals text exactly; none when no item is equal.
void SelectItemText(QComboBox* list, const std::string& text);
// The selected item's text; empty when none is selected.
std::string SelectedItemText(const QComboBox* list);

// File dialog filters are written as pairs of a description and its patterns, all separated
// by vertical bars: "All (*.*)|*.*". Qt wants one entry per pair with the patterns between
// parentheses, separated by blanks, and entries separated by ";;". A description that ends
// with its own patterns in parentheses keeps its text with the separators made blanks; any
// other description gets the patterns appended.
QString QtFileFilter(const std::string& filter);

// The folder part of a path: everything up to and including its last "/" (empty for a bare
// name), and the file-name part: everything after it.
std::string FolderOfPath(const std::string& path);
std::string NameInPath(const std::string& path);
// The extension of the file-name part, with its dot and its letters as they are; empty when
// the name has none.
std::string ExtensionInPath(const std::string& path);
// True when the folder part of path is folder, compared as exact text (letter case counts,
// no path is made canonical). folder ends with "/".
bool LiesInFolder(const std::string& path, const std::string& folder);
