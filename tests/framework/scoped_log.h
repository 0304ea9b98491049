// A private error log for one test: points the component's log at a file of
// its own (test processes run side by side) and restores the default after.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "framework/zurva.h"

namespace zurvafun {

class ScopedLog {
 public:
  explicit ScopedLog(const std::string& name) {
    setLogFilePath((std::filesystem::temp_directory_path() /
                    ("zurva-" + name + "-" + std::to_string(::getpid()) + ".log"))
                       .string());
    std::filesystem::remove(logFilePath());
  }
  ~ScopedLog() {
    std::filesystem::remove(logFilePath());
    setLogFilePath("");
  }
  ScopedLog(const ScopedLog&) = delete;
  ScopedLog& operator=(const ScopedLog&) = delete;

  // Everything logged so far ("" when nothing was).
  std::string text() const {
    std::ifstream in(logFilePath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

}  // namespace zurvafun
