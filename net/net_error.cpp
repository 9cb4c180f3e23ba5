#include "net/net_error.h"

NetError::NetError(Kind kind, int status, std::string url, std::string description)
    : kind_(kind), status_(status), url_(std::move(url)), description_(std::move(description)) {}

NetError NetError::http(int status, std::string url) {
  std::string description = "HTTP " + std::to_string(status) + " for " + url;
  return NetError(Kind::http, status, std::move(url), std::move(description));
}

NetError NetError::integrity(std::string message) {
  return NetError(Kind::integrity, 0, {}, std::move(message));
}

NetError NetError::shortMessage(std::string message) {
  return NetError(Kind::shortMessage, 0, {}, std::move(message));
}
