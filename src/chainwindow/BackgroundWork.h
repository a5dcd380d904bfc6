#pragma once
// One piece of work at a time on a thread of its own, reporting back to the
// object that owns it through that object's event queue. Starting anew,
// stopping or going away stops the work under way, waits for its thread
// and drops what it had queued: nothing of old work reaches the window
// afterwards, and nothing runs after the window is gone.

#include <QObject>

#include <functional>
#include <stop_token>
#include <thread>

namespace kestrava {

class BackgroundWork {
public:
    // Runs a report on the owner's thread, unless the work that sent it has
    // been stopped or replaced by then. Called from the work's thread.
    using Report = std::function<void(std::function<void()> report)>;
    using Work = std::function<void(std::stop_token stop, const Report& report)>;

    // `owner` holds this object as a member, so its queue outlives it.
    explicit BackgroundWork(QObject* owner) : owner_(owner) {}
    ~BackgroundWork() { Stop(); }
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    void Start(Work work);
    // Asks the work to stop and waits for its thread.
    void Stop();
    // Changes with every start and stop; a report can tell whether a
    // receiver of it started other work meanwhile.
    unsigned Generation() const { return generation_; }

private:
    QObject* owner_;
    std::jthread thread_;
    unsigned generation_ = 0;  // read and written on the owner's thread only
};

}  // namespace kestrava
