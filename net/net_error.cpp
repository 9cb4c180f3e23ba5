#include "net/net_error.h"

namespace qh {

NetError::NetError(Kind kind, int status, std::string description)
    : kind_(kind), status_(status), description_(std::move(description)) {}

NetError NetError::http(int status, std::string url) {
  std::string description = "HTTP " + std::to_string(status) + " for " + url;
  return NetError(Kind::http, status, std::move(description));
}

NetError NetError::integrity(std::string message) {
  return NetError(Kind::integrity, 0, std::move(message));
}

NetError NetError::shortMessage(std::string message) {
  return NetError(Kind::shortMessage, 0, std::move(message));
}

}  // namespace qh
