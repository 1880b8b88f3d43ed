#pragma once

#include <array>
#include <cstddef>
#include <functional>

// The modal dialogs of the main window, in the order in which start-up creates them.
enum class TDialogKind {
    New,
    Open,
    Frame,
    Size,
    Color,
    Font,
    Language,
    Options,
    WelcomeBar,
    Topic,
    Menu,
    Hotspot,
    Foot,
    Column,
    Page,
    Publish,
    Build,
    About,
};
constexpr std::size_t DialogKindCount = static_cast<std::size_t>(TDialogKind::About) + 1;

// How the main window reaches its dialogs: each dialog registers the function that shows it
// modally and tells whether the user confirmed it (OK). The commands only ask for a kind, so
// a dialog plugs in by registering itself at start-up; a kind nobody registered opens
// nothing and counts as cancelled.
class TDialogs {
  public:
    using TShowDialog = std::function<bool()>;

    void Register(TDialogKind kind, TShowDialog show);
    bool Has(TDialogKind kind) const;
    // Shows the dialog; true when it was confirmed, false when cancelled or not registered.
    bool Show(TDialogKind kind) const;

  private:
    std::array<TShowDialog, DialogKindCount> FShow;
};
