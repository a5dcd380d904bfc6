#include "chainwindow/ChainSolveJob.h"

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
    work_.Stop();
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
    work_.Start(
        [this, chain, root, inputs, threads](std::stop_token stop, const BackgroundWork::Report& report) {
            const ChainRoot& solved = chain->roots[static_cast<std::size_t>(root)];
            SolveChain(
                solved, chain->underlyingLast, chain->quoteDate, inputs, ChainSolveScope::BidAskMid,
                [this, &report](int expiry, ExpiryVols vols) {
                    // Read on this object's thread once the worker has let go of it.
                    report([this, expiry, vols = std::move(vols)] { Deliver(expiry, vols); });
                },
                std::move(stop), threads);
        });
}

void ChainSolveJob::Deliver(int expiry, const ExpiryVols& vols)
{
    const unsigned generation = work_.Generation();
    const bool last = --expiriesLeft_ == 0;
    emit expiryDone(expiry, vols);
    // A receiver may have started another solve meanwhile.
    if (last && generation == work_.Generation())
        emit finished();
}

}  // namespace kestrava
