#include "interaction/sms_gateway.h"

#include <utility>

#include "framework/zurva.h"
#include "host/host.h"
#include "runtime/gbk.h"

namespace zurvafun::interaction {

std::string smsGatewayAddress(const host::Application& application) {
  const Variant value = application("zurva_sms_gateway");
  if (value.isArray()) return value.arrayValue().empty() ? "" : value[0].str();
  return value.str();
}

void logSmsFailure(const std::string& what) {
  static constexpr LogTag kSmsTag = logTagOf("SendSms");
  WriteLog(logMessage(kSmsTag, what));
}

std::string smsGatewayUrl(std::string_view address, const SmsValues& values) {
  const std::pair<std::string_view, const std::string*> placeholders[] = {
      {"{username}", &values.username},
      {"{password}", &values.password},
      {"{mobile}", &values.mobile},
      {"{message}", &values.message},
  };
  std::string url;
  for (std::size_t i = 0; i < address.size();) {
    bool replaced = false;
    for (const auto& [placeholder, value] : placeholders) {
      if (address.substr(i).starts_with(placeholder)) {
        url += gbk::urlEncode(*value);
        i += placeholder.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) url += address[i++];
  }
  return url;
}

}  // namespace zurvafun::interaction
