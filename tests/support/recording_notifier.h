#pragma once
// Records what the code under test would have shown the user, instead of
// opening message boxes.

#include <string>
#include <vector>

#include "common/notifier.h"

namespace kestrava::testsupport {

// How a recorded message is held; the Qt tests specialise it for QString.
template <typename Text>
struct RecordedText {
    static Text From(const std::string& text) { return Text(text); }
};

template <typename List>
class BasicRecordingNotifier : public Notifier {
public:
    void Info(const std::string& text) override { Record(infos, text); }
    void Error(const std::string& text) override { Record(errors, text); }
    void Warning(const std::string& text) override { Record(warnings, text); }
    bool AskYesNo(const std::string& text) override
    {
        Record(questions, text);
        return answer;
    }
    Answer AskYesNoCancel(const std::string& text) override
    {
        Record(questions, text);
        return threeWayAnswer;
    }

    List messages;  // every kind, in order
    List infos;
    List errors;
    List warnings;
    List questions;
    bool answer = false;                 // what AskYesNo answers
    Answer threeWayAnswer = Answer::No;  // what AskYesNoCancel answers

private:
    void Record(List& kind, const std::string& text)
    {
        const auto item = RecordedText<typename List::value_type>::From(text);
        kind.push_back(item);
        messages.push_back(item);
    }
};

using RecordingNotifier = BasicRecordingNotifier<std::vector<std::string>>;

}  // namespace kestrava::testsupport
