#pragma once
// Runs the real kestrava-calc on files in a temporary directory of its own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "support/file_bytes.h"
#include "support/scratch_dir.h"

namespace kestrava::clitest {

namespace fs = std::filesystem;

using testsupport::ReadFile;
using testsupport::WriteFile;

// The fields of each line of a comma-separated text.
inline std::vector<std::vector<std::string>> CsvRows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream cells(line);
        std::string field;
        while (std::getline(cells, field, ','))
            fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

// Width and height from a PNG file's header; 0 x 0 when it is no PNG.
inline std::pair<int, int> PngSize(const fs::path& path)
{
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    const auto word = [&bytes](std::size_t at) {
        int value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value * 256 + static_cast<unsigned char>(bytes[i]);
        return value;
    };
    return {word(16), word(20)};
}

inline std::string Quoted(const std::string& arg)
{
    std::string text = "'";
    for (char c : arg)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// The values of the key=value lines a command prints, by key.
inline std::map<std::string, std::string> Values(const std::string& out)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (const std::size_t equals = line.find('='); equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    return values;
}

// Sets environment variables for as long as it lives and puts back what
// they were (or unsets them) when it goes.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const std::vector<std::pair<const char*, fs::path>>& values)
    {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name);
            before_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            setenv(name, value.c_str(), 1);
        }
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : before_) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> before_;
};

class CalcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = testsupport::MakeScratchDir(std::string("kestrava-cli-") + info->name());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // No display of any kind: the commands that draw pick the offscreen
    // platform, as on a server.
    static void HideDisplay()
    {
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
    }

    // The home folder of every run, so that the program's settings and data
    // folder (the quote files the option page reads) are the test's own.
    fs::path Home() const { return dir_ / "home"; }

    Outcome Run(const std::vector<std::string>& args) const
    {
        const ScopedEnvironment places({{"HOME", Home()},
                                        {"XDG_CONFIG_HOME", Home() / ".config"},
                                        {"XDG_DATA_HOME", Home() / ".local" / "share"}});
        std::string command = Quoted(KESTRAVA_CALC);
        for (const std::string& arg : args)
            command += " " + Quoted(arg);
        const fs::path out = dir_ / "stdout.txt";
        const fs::path err = dir_ / "stderr.txt";
        command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string()) + " </dev/null";
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.out = ReadFile(out);
        outcome.err = ReadFile(err);
        fs::remove(out);
        fs::remove(err);
        return outcome;
    }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

}  // namespace kestrava::clitest
