#include "app/DownloadProgress.h"

#include <algorithm>
#include <climits>

#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

namespace kestrava {

bool DownloadProgress::Running() const
{
    return button_ && button_->isChecked();
}

void DownloadProgress::WorkBegin(bool reading, qint64 expectedSize)
{
    bar_->setEnabled(true);
    bar_->setValue(0);
    if (reading) {
        // A size the server did not announce shows as a busy bar.
        bar_->setMaximum(static_cast<int>(std::clamp<qint64>(expectedSize, 0, INT_MAX)));
        ticker_->repaint();
    }
    bar_->repaint();
}

void DownloadProgress::Work(bool reading, qint64 transferred)
{
    if (reading && bar_->maximum() > 0)
        bar_->setValue(static_cast<int>(std::clamp<qint64>(transferred, 0, bar_->maximum())));
    bar_->repaint();
}

void DownloadProgress::WorkEnd(bool reading)
{
    if (reading)
        bar_->setValue(bar_->maximum());
    bar_->repaint();
    bar_->setEnabled(false);
}

}  // namespace kestrava
