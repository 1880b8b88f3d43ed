#include "ui/Dialogs.h"

#include <utility>

namespace {

std::size_t Slot(TDialogKind kind) {
    return static_cast<std::size_t>(kind);
}

} // namespace

void TDialogs::Register(TDialogKind kind, TShowDialog show) {
    FShow[Slot(kind)] = std::move(show);
}

bool TDialogs::Has(TDialogKind kind) const {
    return static_cast<bool>(FShow[Slot(kind)]);
}

bool TDialogs::Show(TDialogKind kind) const {
    // A copy: the dialog may register another function while it is shown.
    TShowDialog show = FShow[Slot(kind)];
    return show ? show() : false;
}
