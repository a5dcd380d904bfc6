#pragma once
// The hourglass of long operations. The GUI installs an indicator that sets
// the wait cursor; without one, a busy scope does nothing.

namespace kestrava {

class BusyIndicator {
public:
    virtual ~BusyIndicator() = default;
    virtual void Begin() = 0;
    virtual void End() = 0;
};

// Installs the process-wide indicator (nullptr removes it).
void SetBusyIndicator(BusyIndicator* indicator);

// Shows the hourglass for its lifetime and restores the cursor also when an
// exception leaves the scope.
class BusyScope {
public:
    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyIndicator* indicator_;
};

}  // namespace kestrava
