// The SMS gateway's request address. The deployment configures it as the
// application value zurva_sms_gateway (an array whose element 0 holds the
// text, or the text itself): an http or https address holding the
// placeholders {username}, {password}, {mobile} and {message}, for example
//   http://sms.example.com/send?u={username}&p={password}&to={mobile}&text={message}
// The gateway answers "true" when it has accepted the message.
#pragma once

#include <string>
#include <string_view>

namespace zurvafun::host {
class Application;
}

namespace zurvafun::interaction {

struct SmsValues {
  std::string username;  // the site's gateway account
  std::string password;
  std::string mobile;    // the destination number
  std::string message;
};

// The configured address ("" when the deployment has none).
std::string smsGatewayAddress(const host::Application& application);

// Appends a line about a failed or unpaid message to the error log, under
// the tag of SendSms.
void logSmsFailure(const std::string& what);

// `address` with each placeholder replaced by its value URL-encoded in GBK.
// The address is read once from left to right, so a value never fills a
// placeholder of its own.
std::string smsGatewayUrl(std::string_view address, const SmsValues& values);

}  // namespace zurvafun::interaction
