#include "framework/log_tags.h"

namespace zurvafun {

std::string logMessage(LogTag tag, std::string_view description) {
  std::string message = "\\";
  message += groupName(tag.group);
  message += ", ";
  message += tag.method;
  message += ": ";
  message += description;
  return message;
}

}  // namespace zurvafun
