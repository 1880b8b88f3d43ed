#include "ui/FBuildProgress.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

namespace {

QString ProgressText(int done, int total) {
    if (total <= 0)
        return QStringLiteral("Building...");
    return QStringLiteral("Building page %1 of %2").arg(std::min(done + 1, total)).arg(total);
}

} // namespace

bool TFormBuildProgress::Wait(QWidget* parent, const std::function<bool()>& finished,
                              const TProgress& progress, const std::function<void()>& cancel) {
    if (finished())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QElapsedTimer elapsed;
    elapsed.start();
    // First only painting and the like: the window takes no input while the build runs.
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished() || elapsed.elapsed() >= DelayMilliseconds)
            loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();
    QObject::disconnect(&poll, nullptr, &loop, nullptr);
    if (finished())
        return true;

    QProgressDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("FormBuildProgress"));
    dialog.setWindowTitle(QStringLiteral("Build"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    bool cancelled = false;
    auto update = [&] {
        const auto [done, total] = progress();
        dialog.setMaximum(std::max(total, 1));
        dialog.setValue(std::min(done, std::max(total, 1)));
        dialog.setLabelText(cancelled ? QStringLiteral("Cancelling...")
                                      : ProgressText(done, total));
    };
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] {
        if (cancelled)
            return;
        cancelled = true;
        cancel();
        update();
    });
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (finished())
            loop.quit();
        else
            update();
    });
    update();
    dialog.show();
    poll.start(50);
    loop.exec();
    poll.stop();
    dialog.hide();
    return !cancelled;
}
