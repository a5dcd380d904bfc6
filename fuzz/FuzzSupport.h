#pragma once
// What the fuzz inputs share: a private scratch folder per process, whole
// files in and out, and a notifier that counts what the user would see.

#include <filesystem>
#include <string>
#include <string_view>

#include "common/localeinfo.h"
#include "common/notifier.h"
#include "fuzz/FuzzInputs.h"
#include "pricing/IORecObj1.h"

namespace kestrava::fuzz {

// A folder of this process's own under the temporary directory, removed at
// exit; each call empties it first.
std::filesystem::path FreshScratchFolder();

std::string_view AsText(Input input);
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);
// Empty when the file cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);
bool FileHolds(const std::filesystem::path& path, std::string_view bytes);

// The names in folder other than those expected, as one text for a report.
std::string UnexpectedFiles(const std::filesystem::path& folder,
                            std::initializer_list<std::filesystem::path> expected);

// Equal to the bit: NaN equals itself, -0 differs from 0.
bool SameBits(float a, float b);
bool SameBits(double a, double b);

// The first field of the series file that differs between a and b (floats
// and dates bit for bit), or an empty text; the Bid and Ask tables too when
// withQuotes.
std::string SeriesDifference(const TInOutObj& a, const TInOutObj& b, bool withQuotes);

// The three date layouts the readers are taken through.
inline const LocaleInfo kLayouts[] = {
    LocaleInfo::FromPattern("M/d/yyyy", '.'),
    LocaleInfo::FromPattern("dd.MM.yyyy", ','),
    LocaleInfo::FromPattern("yyyy-MM-dd", '.'),
};

class CountingNotifier : public Notifier {
public:
    void Info(const std::string& text) override { Count(text); }
    void Error(const std::string& text) override { Count(text); }
    void Warning(const std::string& text) override
    {
        Count(text);
        ++warnings;
    }
    bool AskYesNo(const std::string& text) override
    {
        Count(text);
        return true;
    }

    int messages = 0;
    int warnings = 0;           // of the messages, those that stop nothing
    bool blankMessage = false;  // a message without text tells the user nothing
    std::string lastText;

private:
    void Count(const std::string& text)
    {
        ++messages;
        blankMessage = blankMessage || text.empty();
        lastText = text;
    }
};

}  // namespace kestrava::fuzz
