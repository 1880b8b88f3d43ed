#pragma once

#include <functional>
#include <utility>

class QWidget;

// Waiting for a build that runs on another thread: the window goes on painting; when the
// build takes longer than half a second a modal dialog shows "Building page N of M" with a
// progress bar and Cancel, so that meanwhile no command reaches the project.
class TFormBuildProgress {
  public:
    // The page files written so far and in all (0 in all while unknown).
    using TProgress = std::function<std::pair<int, int>()>;

    // Waits until finished() answers true. Cancel calls cancel() and waits on for the build
    // to stop. False when the user cancelled.
    static bool Wait(QWidget* parent, const std::function<bool()>& finished,
                     const TProgress& progress, const std::function<void()>& cancel);

    // Half a second: a build that ends sooner shows no dialog.
    static constexpr int DelayMilliseconds = 500;
};
