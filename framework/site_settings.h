// The site's settings: the application values that the site's pages fill and
// the component only reads, parsed once per change of the application values
// (one copy for the whole process) instead of once per use.
//
//   zurva_base_info      fields joined by "<><><><><>" (25: the free-access switch)
//   zurva_info           sections joined by "<><><><><>" (1: illegal words,
//                        2: bad words, each a comma list)
//   zurva_skinbase_info  fields joined by "##" (4: the URL mode)
//   zurva_myshow         the showcase list
//
// Each value is an array whose element 0 holds the text. A value that is
// missing or broken raises, at every use, the run-time error that reading it
// raised (13 for a value that is not an array, 94 for a Null text, 9 for a
// field past the end), as reading it afresh each time would.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"

namespace zurvafun {

class SiteSettings {
 public:
  explicit SiteSettings(const host::Application& application);

  // Field `index` of zurva_base_info.
  const std::string& baseInfo(long index) const;
  // Section `index` of zurva_info.
  const std::string& wordLists(long index) const;
  // The bad words (section 2 of zurva_info split on ","), empty items included.
  const std::vector<std::string>& badWords() const;
  // The URL mode: field 4 of zurva_skinbase_info as a 16-bit number; 1 means
  // static ".html" links.
  int urlMode() const;
  // Whether urlMode gives a mode rather than raising.
  bool hasUrlMode() const { return !urlModeError_; }
  // The text of zurva_myshow.
  const std::string& showcaseList() const;

 private:
  // One application value split into its fields, or the error that reading it raised.
  struct Fields {
    std::vector<std::string> items;
    std::exception_ptr error;
    const std::vector<std::string>& get() const;
  };
  static Fields read(const host::Application& application, const char* name, const char* separator);

  Fields baseInfo_;
  Fields wordLists_;
  Fields badWords_;
  Fields skinBase_;
  Fields showcase_;
  int urlMode_ = 0;
  std::exception_ptr urlModeError_;
};

// The settings of `application` as they are now.
std::shared_ptr<const SiteSettings> siteSettings(const host::Application& application);

}  // namespace zurvafun
