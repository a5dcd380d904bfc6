#pragma once
// The chain's volatilities solved off the window's thread: the solve runs
// on threads of its own and hands each expiry to the window, through the
// window's event queue, as it is done. A new start or the job's end stops
// the solve under way and waits for its threads, so nothing of an old solve
// reaches the window afterwards, and nothing runs after the window is gone.

#include <QObject>

#include <memory>

#include "analysis/ChainSolve.h"
#include "analysis/QuoteChain.h"
#include "chainwindow/BackgroundWork.h"

namespace kestrava {

class ChainSolveJob : public QObject {
    Q_OBJECT
public:
    explicit ChainSolveJob(QObject* parent = nullptr);
    ~ChainSolveJob() override;

    // Solves every option of root `root` of `chain`, stopping a solve under way.
    void Start(const std::shared_ptr<const QuoteChain>& chain, int root, const ChainInputs& inputs,
               int threads = 0);
    // Stops the solve under way and waits for it.
    void Stop();
    bool Running() const { return expiriesLeft_ > 0; }

signals:
    // On the window's thread, in the order the expiries finish.
    void expiryDone(int expiry, const kestrava::ExpiryVols& vols);
    // Every expiry is done.
    void finished();

private:
    void Deliver(int expiry, const ExpiryVols& vols);

    BackgroundWork work_{this};
    int expiriesLeft_ = 0;
};

}  // namespace kestrava
