#include "platform/system_error.h"

#include <cerrno>

namespace qh {

std::error_code lastSystemError() {
  return {errno, std::generic_category()};
}

std::string errorText(std::error_code ec) {
  return ec.message();
}

std::string describe(std::string_view operation, const std::filesystem::path& subject,
                     std::error_code ec) {
  return systemError(operation, subject, ec).what();
}

std::system_error systemError(std::string_view operation, const std::filesystem::path& subject,
                              std::error_code ec) {
  // std::system_error appends ": " and the reason itself.
  std::string text(operation);
  text += ' ';
  text += subject.string();
  return std::system_error(ec, text);
}

}  // namespace qh
