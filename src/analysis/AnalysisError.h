#pragma once
// What the analysis code raises: a file that cannot be read or written, or a
// request it cannot answer. what() is the whole message to show.

#include <stdexcept>

namespace kestrava {

class AnalysisError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AnalysisFileError : public AnalysisError {
public:
    using AnalysisError::AnalysisError;
};

}  // namespace kestrava
