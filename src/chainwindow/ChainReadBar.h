#pragma once
// The reading of a quote table off the window's thread, and the strip that
// shows it: the file, how far the read has come and a Stop button. The
// window is told of the chain once it is read whole, or why it could not
// be; a stopped read tells nothing more.

#include <QWidget>

#include <memory>

#include "analysis/QuoteChain.h"
#include "chainwindow/BackgroundWork.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrava {

class ChainReadBar : public QWidget {
    Q_OBJECT
public:
    explicit ChainReadBar(QWidget* parent = nullptr);
    ~ChainReadBar() override;

    // Reads `file`, stopping a read under way; the strip shows until the
    // read ends.
    void Start(const QString& file);
    // Stops the read under way and waits for it.
    void Stop();
    bool Reading() const { return reading_; }

    QLabel* lblRead = nullptr;
    QProgressBar* pbRead = nullptr;
    QPushButton* btnStop = nullptr;

signals:
    // Bytes read of the file's size, now and then.
    void progress(qint64 done, qint64 total);
    void read(std::shared_ptr<const kestrava::QuoteChain> chain);
    void failed(const QString& message);
    // The user pressed Stop.
    void stopped();

private:
    // On the work's thread.
    void Read(const std::string& name, const std::stop_token& stop, const BackgroundWork::Report& report);
    void Finish();

    BackgroundWork work_{this};
    bool reading_ = false;
};

}  // namespace kestrava
