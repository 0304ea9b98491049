// The objects a component makes through Server.CreateObject: the file system
// object and the outgoing-HTTP request object. The database objects are the
// project's own db layer; CreateObject only proves they are installed.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host.h"

namespace zurvafun::host {

class FileSystemObject : public HostObject {
 public:
  using HostObject::HostObject;
  bool FileExists(std::string_view path) const;
  bool FolderExists(std::string_view path) const;
  // Deletes a file; a missing file raises error 53.
  void DeleteFile(std::string_view path) const;
  // Appends text to a file, creating it; a missing folder raises error 76.
  void AppendText(std::string_view path, std::string_view text) const;
  // Replaces a file's text, creating it; a missing folder raises error 76.
  void WriteText(std::string_view path, std::string_view text) const;
};

// An outgoing HTTP request: GET or POST to an http or https URL, 10-second
// timeout. Failures raise run-time errors with a description.
class XmlHttpRequest : public HostObject {
 public:
  using HostObject::HostObject;
  // Starts a request; the headers of an earlier one are forgotten.
  void Open(std::string_view method, std::string_view url, bool async = false);
  // One header of the opened request, sent as given; setting a name again
  // (in any case) replaces its value. Before Open, or with a name that is
  // not a header name or a value holding a line break (or NUL), raises error 5.
  void setRequestHeader(std::string_view name, std::string_view value);
  void Send(std::string_view body = {});
  long Status() const { return status_; }
  // The response body decoded as text (GBK, or UTF-8 when the response says so).
  const std::string& ResponseText() const { return responseText_; }
  const std::string& ResponseBody() const { return responseBody_; }

 private:
  std::string method_ = "GET";
  std::string url_;
  std::vector<std::pair<std::string, std::string>> headers_;
  long status_ = 0;
  std::string responseText_;
  std::string responseBody_;
};

// Makes the object for a program identifier, or null for an unknown one.
std::shared_ptr<HostObject> createHostObject(std::string_view progId, const Server& server);

// Whether a URL may be fetched: http and https only.
bool fetchableUrl(std::string_view url);

}  // namespace zurvafun::host
