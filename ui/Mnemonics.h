#pragma once

// Keyboard access to the controls of a dialog: every label that captions a control (its
// buddy) and every button, check box and radio button with a caption gets a mnemonic, the
// underlined letter that Alt and the letter reach, none twice in one dialog.

#include <QString>

class QWidget;

// Gives mnemonics to the controls of dialog that have none yet, in the order of the focus
// chain (the visual order), so the first controls get the first letters of their words; OK
// (ButtonOK) is "&OK" in every dialog, its letter taken first.
// Letters already taken by a caption's own mnemonic stay taken; a control whose caption has
// no free letter left goes without. Labels without a buddy (texts that only show
// something) get none. Start-up runs it on every dialog once they are all made.
void AssignMnemonics(QWidget* dialog);

// The letter of a caption's mnemonic, upper case; a null character when it has none
// ("&&" is a literal ampersand).
QChar MnemonicOf(const QString& caption);

// The caption as it shows: without the mnemonic's ampersand.
QString WithoutMnemonic(const QString& caption);

// text with the mnemonic where caption has it, when the two agree up to that place: the
// labels that show a value ("Topic Height: (40)") keep their mnemonic when the value changes.
QString KeepMnemonic(const QString& caption, const QString& text);
