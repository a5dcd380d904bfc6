#pragma once
// What the market data tests share: a notifier that records, a scratch
// directory of its own per test, file helpers and the three locales the
// readers are checked under.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/localeinfo.h"
#include "common/notifier.h"
#include "support/file_bytes.h"
#include "support/recording_notifier.h"
#include "support/scratch_dir.h"

namespace kestrava::testing {

using RecordingNotifier = kestrava::testsupport::RecordingNotifier;

inline const LocaleInfo kUsLocale = LocaleInfo::FromPattern("M/d/yyyy", '.');
inline const LocaleInfo kIsoLocale = LocaleInfo::FromPattern("yyyy-MM-dd", '.');
inline const LocaleInfo kDeLocale = LocaleInfo::FromPattern("dd.MM.yyyy", ',');

inline std::filesystem::path TestDataFile(const std::string& name)
{
    return std::filesystem::path(KESTRAVA_TEST_DATA_DIR) / name;
}

// A fresh directory for the running test, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = testsupport::MakeScratchDir("kestrava-md-" + std::string(info->test_suite_name()) + "-"
                                           + info->name());
    }
    void TearDown() override { testsupport::RemoveScratchDir(dir_); }

    std::string Write(const std::string& name, const std::string& content) const
    {
        const std::filesystem::path path = dir_ / name;
        kestrava::testsupport::WriteFile(path, content);
        return path.string();
    }

    static std::string ReadAll(const std::string& path) { return kestrava::testsupport::ReadFile(path); }

    // A copy of a file of tests/data in the test's folder: a reader that sets
    // an unusable file aside moves the copy, never the tree's own.
    std::string CopyOfTestData(const std::string& name) const
    {
        return Write(name, ReadAll(TestDataFile(name).string()));
    }

    std::filesystem::path dir_;
    RecordingNotifier notifier_;
};

}  // namespace kestrava::testing
