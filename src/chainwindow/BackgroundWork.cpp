#include "chainwindow/BackgroundWork.h"

#include <QMetaObject>

#include <utility>

namespace kestrava {

void BackgroundWork::Stop()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    // What the stopped work has queued already is dropped by its generation.
    ++generation_;
}

void BackgroundWork::Start(Work work)
{
    Stop();
    const unsigned generation = generation_;
    thread_ = std::jthread([this, generation, work = std::move(work)](std::stop_token stop) {
        const Report report = [this, generation](std::function<void()> what) {
            QMetaObject::invokeMethod(
                owner_,
                [this, generation, what = std::move(what)] {
                    if (generation == generation_)
                        what();
                },
                Qt::QueuedConnection);
        };
        work(std::move(stop), report);
    });
}

}  // namespace kestrava
