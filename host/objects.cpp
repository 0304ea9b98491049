#include "host/objects.h"

#include <curl/curl.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "runtime/error.h"
#include "runtime/gbk.h"

namespace zurvafun::host {

namespace fs = std::filesystem;

namespace {

fs::path pathOf(std::string_view p) { return fs::path(std::string(p)); }

void writeFile(std::string_view path, std::string_view text, std::ios::openmode mode) {
  fs::path p = pathOf(path);
  if (p.has_parent_path() && !fs::is_directory(p.parent_path())) raise(76);
  std::ofstream out(p, std::ios::binary | mode);
  if (!out) raise(70, "没有权限");
  out.write(text.data(), std::streamsize(text.size()));
  if (!out) raise(57, "设备 I/O 错误");
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

// A header name: one or more of the characters a token may hold.
bool headerName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const bool letterOrDigit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit && std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos)
      return false;
  }
  return true;
}

size_t collect(char* data, size_t size, size_t count, void* sink) {
  static_cast<std::string*>(sink)->append(data, size * count);
  return size * count;
}

}  // namespace

bool FileSystemObject::FileExists(std::string_view path) const {
  std::error_code ec;
  return fs::is_regular_file(pathOf(path), ec);
}

bool FileSystemObject::FolderExists(std::string_view path) const {
  std::error_code ec;
  return fs::is_directory(pathOf(path), ec);
}

void FileSystemObject::DeleteFile(std::string_view path) const {
  std::error_code ec;
  if (!fs::is_regular_file(pathOf(path), ec)) raise(53);
  if (!fs::remove(pathOf(path), ec)) raise(70, "没有权限");
}

void FileSystemObject::AppendText(std::string_view path, std::string_view text) const {
  writeFile(path, text, std::ios::app);
}

void FileSystemObject::WriteText(std::string_view path, std::string_view text) const {
  writeFile(path, text, std::ios::trunc);
}

bool fetchableUrl(std::string_view url) {
  std::string l = lower(url.substr(0, 8));
  return l.rfind("http://", 0) == 0 || l.rfind("https://", 0) == 0;
}

void XmlHttpRequest::Open(std::string_view method, std::string_view url, bool /*async*/) {
  if (!fetchableUrl(url)) raise(err::InvalidCall, "只能请求 http 或 https 地址");
  method_ = std::string(method);
  url_ = std::string(url);
  headers_.clear();
  status_ = 0;
  responseText_.clear();
  responseBody_.clear();
}

void XmlHttpRequest::setRequestHeader(std::string_view name, std::string_view value) {
  if (url_.empty()) raise(err::InvalidCall, "请求尚未打开");
  if (!headerName(name)) raise(err::InvalidCall, "无效的请求头名称");
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    raise(err::InvalidCall, "请求头的值不能换行");
  for (auto& [setName, setValue] : headers_) {
    if (lower(setName) == lower(name)) {
      setValue = std::string(value);
      return;
    }
  }
  headers_.emplace_back(name, value);
}

void XmlHttpRequest::Send(std::string_view body) {
  if (url_.empty()) raise(err::InvalidCall, "请求尚未打开");
  static std::once_flag init;
  std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) raise(err::CannotCreateObject);
  std::string received, headerText;
  std::string payload(body);
  curl_easy_setopt(curl.get(), CURLOPT_URL, url_.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 10L);
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, collect);
  curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &headerText);
  std::unique_ptr<curl_slist, void (*)(curl_slist*)> headerList(nullptr, curl_slist_free_all);
  for (const auto& [name, value] : headers_) {
    // "Name;" is how the transport sends a header whose value is empty.
    const std::string line = value.empty() ? name + ";" : name + ": " + value;
    curl_slist* grown = curl_slist_append(headerList.get(), line.c_str());
    if (!grown) raise(err::CannotCreateObject);
    headerList.release();
    headerList.reset(grown);
  }
  if (headerList) curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headerList.get());
  if (lower(method_) == "post") {
    curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, payload.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, long(payload.size()));
  }
  CURLcode rc = curl_easy_perform(curl.get());
  if (rc != CURLE_OK) raise(-2146697211, std::string("无法连接到服务器: ") + curl_easy_strerror(rc));
  curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status_);
  responseBody_ = std::move(received);
  bool utf8 = lower(headerText).find("charset=utf-8") != std::string::npos;
  responseText_ = utf8 ? responseBody_ : gbk::toUtf8(responseBody_);
}

std::shared_ptr<HostObject> createHostObject(std::string_view progId, const Server&) {
  std::string id = lower(progId);
  if (id == "scripting.filesystemobject") return std::make_shared<FileSystemObject>(std::string(progId));
  if (id == "msxml2.serverxmlhttp.3.0" || id == "msxml2.serverxmlhttp" || id == "microsoft.xmlhttp")
    return std::make_shared<XmlHttpRequest>(std::string(progId));
  if (id == "adodb.connection" || id == "adodb.recordset") return std::make_shared<HostObject>(std::string(progId));
  return nullptr;
}

}  // namespace zurvafun::host
