// Helpers shared by the core tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/file_pass.h"
#include "settings/export_settings.h"
#include "settings/korvel_error.h"

namespace korvel::test {

// Runs `fn` and checks that it throws KorvelError with exactly `text`.
void ExpectKorvelError(const std::function<void()>& fn, const std::string& text);

// A fresh folder below the system's temporary folder, removed at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// DXF text from lines joined by CR LF (and one after the last).
std::string Dxf(const std::vector<std::string>& lines);

// The result of one pass over an in-memory drawing.
struct PassResult {
    std::string data;
    RunReport report;
    RunCounters counters;
    RunningNumbers numbers;
};

// One pass under `settings` with the lists in index order (or the given ones).
PassResult ConvertText(const std::string& dxf, const ExportSettings& settings,
                       std::vector<std::string> fields = {"Number", "X", "Y", "Z", "Code"},
                       std::vector<std::string> code = {"Layer"});

ExportSettings DefaultSettings();

// The real drawings folder, or empty when it is not beside the checkout.
std::filesystem::path CorpusDir();
std::vector<std::filesystem::path> CorpusFiles();

}  // namespace korvel::test
