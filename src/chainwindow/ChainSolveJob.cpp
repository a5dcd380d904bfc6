#include "chainwindow/ChainSolveJob.h"

#include <QMetaObject>

namespace kestrava {

ChainSolveJob::ChainSolveJob(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<kestrava::ExpiryVols>("kestrava::ExpiryVols");
}

ChainSolveJob::~ChainSolveJob()
{
    Stop();
}

void ChainSolveJob::Stop()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    // What the stopped solve has queued already is dropped by its generation.
    ++generation_;
    expiriesLeft_ = 0;
}

void ChainSolveJob::Start(const std::shared_ptr<const QuoteChain>& chain, int root, const ChainInputs& inputs,
                          int threads)
{
    Stop();
    if (!chain || root < 0 || static_cast<std::size_t>(root) >= chain->roots.size())
        return;
    expiriesLeft_ = static_cast<int>(chain->roots[static_cast<std::size_t>(root)].expiries.size());
    if (expiriesLeft_ == 0) {
        emit finished();
        return;
    }
    const unsigned generation = generation_;
    thread_ = std::jthread([this, chain, root, inputs, threads, generation](std::stop_token stop) {
        const ChainRoot& solved = chain->roots[static_cast<std::size_t>(root)];
        SolveChain(
            solved, chain->underlyingLast, chain->quoteDate, inputs, ChainSolveScope::BidAskMid,
            [this, generation](int expiry, ExpiryVols vols) {
                // Queued to this object's thread, which reads it once the
                // worker has let go of it.
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, expiry, vols = std::move(vols)]() {
                        Deliver(generation, expiry, vols);
                    },
                    Qt::QueuedConnection);
            },
            std::move(stop), threads);
    });
}

void ChainSolveJob::Deliver(unsigned generation, int expiry, const ExpiryVols& vols)
{
    if (generation != generation_)
        return;
    const bool last = --expiriesLeft_ == 0;
    emit expiryDone(expiry, vols);
    // A receiver may have started another solve meanwhile.
    if (last && generation == generation_)
        emit finished();
}

}  // namespace kestrava
