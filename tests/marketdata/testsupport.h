#pragma once
// What the market data tests share: a notifier that records, a scratch
// directory per test, file helpers and the three locales the readers are
// checked under.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/localeinfo.h"
#include "common/notifier.h"
#include "support/recording_notifier.h"

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
        // The process id keeps two runs of the suite apart.
        dir_ = std::filesystem::temp_directory_path()
               / ("kestrava-md-" + std::string(info->test_suite_name()) + "-" + info->name() + "-"
                  + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code error;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(dir_, error);
    }

    std::string Write(const std::string& name, const std::string& content) const
    {
        const std::filesystem::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }

    static std::string ReadAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path dir_;
    RecordingNotifier notifier_;
};

}  // namespace kestrava::testing
