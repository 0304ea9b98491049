#include "framework/site_settings.h"

#include <memory>

#include "framework/shared_copy.h"
#include "runtime/kept.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

constexpr const char* kFieldSeparator = "<><><><><>";

template <class F>
std::exception_ptr capture(F&& f) {
  try {
    f();
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

}  // namespace

SiteSettings::Fields SiteSettings::read(const host::Application& application, const char* name,
                                        const char* separator) {
  Fields fields;
  fields.error = capture([&] {
    const Variant value = application(name);
    fields.items = separator ? Split(CStr(value[0]), separator) : std::vector{CStr(value[0])};
  });
  return fields;
}

const std::vector<std::string>& SiteSettings::Fields::get() const {
  if (error) std::rethrow_exception(error);
  return items;
}

SiteSettings::SiteSettings(const host::Application& application)
    : baseInfo_(read(application, "zurva_base_info", kFieldSeparator)),
      wordLists_(read(application, "zurva_info", kFieldSeparator)),
      skinBase_(read(application, "zurva_skinbase_info", "##")),
      showcase_(read(application, "zurva_myshow", nullptr)) {
  badWords_.error = capture([&] { badWords_.items = Split(wordLists(2), ","); });
  urlModeError_ = capture([&] { urlMode_ = CInt(Variant(item(skinBase_.get(), 4))); });
}

const std::string& SiteSettings::baseInfo(long index) const { return item(baseInfo_.get(), index); }

const std::string& SiteSettings::wordLists(long index) const {
  return item(wordLists_.get(), index);
}

const std::vector<std::string>& SiteSettings::badWords() const { return badWords_.get(); }

int SiteSettings::urlMode() const {
  if (urlModeError_) std::rethrow_exception(urlModeError_);
  return urlMode_;
}

const std::string& SiteSettings::showcaseList() const { return item(showcase_.get(), 0); }

std::shared_ptr<const SiteSettings> siteSettings(const host::Application& application) {
  // Versions are never reused, so one copy for the process serves every
  // store. Pages ask for the settings at every link they write: each thread
  // keeps a handle of its own on the process's copy, so that the threads do
  // not all count their references on one shared counter.
  struct Parsed {
    std::uint64_t version = 0;
    std::shared_ptr<const SiteSettings> settings;
  };
  static kept::InProcess<SharedCopy<Parsed>> parsed;  // one parse per version, for every thread
  thread_local kept::PerThread<Parsed> mine;
  Parsed& handle = mine.get();
  const std::uint64_t version = application.version();
  if (handle.settings && handle.version == version) return handle.settings;
  const std::shared_ptr<const Parsed> kept =
      parsed.getOr([&](const Parsed& p) { return p.version == version; },
                   [&] {
                     return std::make_shared<const Parsed>(
                         Parsed{version, std::make_shared<const SiteSettings>(application)});
                   });
  handle = {version, ownHandle(kept->settings)};
  return handle.settings;
}

}  // namespace zurvafun
