#pragma once
// The strip's display of a download: the button that stays down while a
// download runs, the progress bar of the reply being read and the label
// naming the symbol being fetched. The widgets are the strip's; this class
// only follows the HTTP client's work on them.

#include <QtGlobal>

class QLabel;
class QProgressBar;
class QToolButton;

namespace kestrava {

class DownloadProgress {
public:
    DownloadProgress() = default;
    DownloadProgress(QToolButton* button, QProgressBar* bar, QLabel* ticker)
        : button_(button), bar_(bar), ticker_(ticker)
    {
    }

    QProgressBar* pbDownload() const { return bar_; }
    QLabel* lblTicker() const { return ticker_; }
    QToolButton* spdbtnDownload() const { return button_; }
    // The button is down: a download runs.
    bool Running() const;

    // The HTTP client's work events; `reading` is true for a download.
    void WorkBegin(bool reading, qint64 expectedSize);
    void Work(bool reading, qint64 transferred);
    void WorkEnd(bool reading);

private:
    QToolButton* button_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* ticker_ = nullptr;
};

}  // namespace kestrava
