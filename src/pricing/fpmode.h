#pragma once
// Flush-to-zero for the tree: values below the smallest normal single
// (1.2e-38) are far beneath anything shown, but on many processors every
// operation on them costs a hundred cycles. The mode is per thread and is
// restored when the scope ends.

namespace kestrava {

class FlushDenormals {
public:
    FlushDenormals();
    ~FlushDenormals();
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

private:
    unsigned int saved_ = 0;
};

}  // namespace kestrava
