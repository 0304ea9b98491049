#include "host/serve/access_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace zurvafun::serve {

namespace {

constexpr size_t kMaxRequestLine = 2048;  // longer request lines are cut in the log

void appendEscaped(std::string& out, std::string_view text) {
  for (char c : text.substr(0, kMaxRequestLine)) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 32 || b == 127) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", b);
      out += escape;
    } else {
      out += c;
    }
  }
  if (text.size() > kMaxRequestLine) out += "...";
}

}  // namespace

AccessLog::AccessLog(const std::string& target) {
  if (target.empty()) return;
  if (target == "-") {
    fd_ = STDERR_FILENO;
    return;
  }
  fd_ = ::open(target.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) throw std::runtime_error("cannot open the access log " + target + ": " + std::strerror(errno));
  owned_ = true;
}

AccessLog::~AccessLog() {
  if (owned_) ::close(fd_);
}

std::string AccessLog::line(std::string_view client, std::string_view requestLine, int status, std::size_t bytes,
                            std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  char time[64];
  std::strftime(time, sizeof time, "[%d/%b/%Y:%H:%M:%S %z]", &tm);
  std::string out(client.empty() ? std::string_view("-") : client);
  out += " - - ";
  out += time;
  out += " \"";
  appendEscaped(out, requestLine);
  out += "\" ";
  out += std::to_string(status);
  out += ' ';
  out += bytes ? std::to_string(bytes) : std::string("-");
  out += '\n';
  return out;
}

void AccessLog::write(std::string_view client, std::string_view requestLine, int status, std::size_t bytes,
                      std::time_t when) const {
  if (fd_ < 0) return;
  const std::string text = line(client, requestLine, status, bytes, when);
  // One write of a whole line (O_APPEND): lines of several threads never mix.
  (void)!::write(fd_, text.data(), text.size());
}

}  // namespace zurvafun::serve
