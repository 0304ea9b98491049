// Small utilities of the site's pages: one line into a server file, a random
// password, a test whether a component can be created, and a URL made ready
// for one more query parameter.
#include <memory>
#include <random>

#include "framework/zurva.h"
#include "host/objects.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// Passwords draw from a generator of their own, seeded once per thread from
// the operating system's entropy. (Reseeding from the clock before every
// draw would give the same characters within one clock tick and make the
// passwords guessable from the time they were made.)
double passwordDraw() {
  thread_local std::mt19937_64 generator = [] {
    std::random_device entropy;
    std::seed_seq seed{entropy(), entropy(), entropy(), entropy(),
                       entropy(), entropy(), entropy(), entropy()};
    return std::mt19937_64(seed);
  }();
  return double(generator() >> 11) / 9007199254740992.0;  // 53 bits: [0, 1)
}

// A draw in [0, 1) times `scale`, rounded half to even.
int roundedDraw(int scale) { return int(bankersRound(passwordDraw() * scale)); }

}  // namespace

void zurva::Write2File(const Variant& strFile, const Variant& strContent, const Variant& blnAppend) {
  logged([&] {
    // Continue-on-error: each step that fails is skipped; the number of the
    // last error decides what the visitor is told.
    long lastError = 0;
    auto step = [&](auto&& body) {
      try {
        body();
      } catch (const VbError& e) {
        if (e.isRequestEnd()) throw;
        lastError = e.number();
      } catch (const std::exception&) {
        lastError = -1;
      }
    };

    std::shared_ptr<host::FileSystemObject> fso;
    step([&] {
      fso = std::dynamic_pointer_cast<host::FileSystemObject>(
          Server().CreateObject("Scripting.FileSystemObject"));
    });
    step([&] {
      const std::string line = CStr(strContent) + "\r\n";
      // A file that cannot be opened (no file-system object, a bad path or
      // mode, a missing folder, no permission) leaves nothing to write to:
      // "object required".
      try {
        if (!fso) raise(err::ObjectRequired);
        const std::string path = CStr(strFile);
        if (CBool(blnAppend)) {
          fso->AppendText(path, line);
        } else {
          fso->WriteText(path, line);
        }
      } catch (const VbError& e) {
        if (e.isRequestEnd() || e.number() == 57) throw;  // 57: opened, but the write failed
        raise(err::ObjectRequired);
      } catch (const std::exception&) {
        raise(err::ObjectRequired);
      }
    });
    step([&] {
      if (lastError == err::ObjectRequired) Response().Write("您没有写得权限.");
    });
  });
}

Variant zurva::Createpass() {
  return logged([&](Variant& result) {
    std::string pass;
    for (int i = 0; i < 16; ++i) {
      switch (roundedDraw(2)) {
        case 0: pass += char('A' + roundedDraw(25)); break;
        case 1: pass += char('0' + roundedDraw(9)); break;
        default: pass += char('a' + roundedDraw(25)); break;
      }
    }
    result = pass;
  });
}

Variant zurva::IsObjInstalled(const Variant& strClassString) {
  return logged([&](Variant& result) {
    result = false;
    try {
      Server().CreateObject(CStr(strClassString));
      result = true;
    } catch (const VbError& e) {
      if (e.isRequestEnd()) throw;
    }
  });
}

Variant zurva::JoinChar(const Variant& strUrl) {
  return logged([&](Variant& result) {
    if (eq(strUrl, "")) {
      result = "";
      return;
    }
    const std::string url = strUrl.str();
    const long length = Len(url);
    const long question = InStr(url, "?");
    // The unchanged cases hand back the argument itself (a Null stays Null).
    if (question >= length) {
      result = strUrl;  // "?" is the last character
    } else if (question <= 1) {
      result = url + "?";  // no "?", or "?" first
    } else if (InStr(url, "&") < length) {
      result = url + "&";
    } else {
      result = strUrl;  // "&" is the last character
    }
  });
}

}  // namespace zurvafun
