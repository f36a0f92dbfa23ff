#include "app/ProgressRun.h"

#include "app/Product.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <atomic>
#include <exception>
#include <thread>

namespace fenban {

namespace {

// The progress bar counts in thousandths.
constexpr int ProgressSteps = 1000;

} // namespace

bool RunInBackground(QWidget* parent, const std::function<void(const OptimiseControl&)>& work,
    const std::function<void(double)>& reported)
{
    QProgressDialog progress(QStringLiteral("正在均衡分班…"), QStringLiteral("取消"), 0, ProgressSteps, parent);
    progress.setObjectName(QStringLiteral("dlgBalanceProgress"));
    progress.setWindowTitle(ProductName());
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    // Shown at once: it blocks the window from the start of the run.
    progress.show();
    std::atomic<bool> cancel {false};
    QEventLoop loop;
    // 取消, Esc and closing the dialog all stop the run; the window waits for
    // its end without taking input (the search stops within milliseconds).
    const auto stop = [&cancel, &loop] {
        cancel = true;
        loop.quit();
    };
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, stop);
    QObject::connect(&progress, &QDialog::rejected, &loop, stop);

    OptimiseControl control;
    control.cancel = &cancel;
    // Called on the worker: the dialog hears of it through its own event queue.
    control.progress = [&progress, &cancel, &reported](double fraction) {
        QMetaObject::invokeMethod(
            &progress,
            [&progress, &cancel, &reported, fraction] {
                if (cancel)
                    return; // stopped: no more reports
                progress.setValue(static_cast<int>(fraction * ProgressSteps));
                if (reported)
                    reported(fraction);
            },
            Qt::QueuedConnection);
    };
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work(control);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    progress.hide();
    if (failure)
        std::rethrow_exception(failure);
    return !cancel;
}

} // namespace fenban
