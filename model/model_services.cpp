#include "model/model_services.h"

#include "net/net.h"

ModelServices makeServices() {
  ModelServices s;
  s.getString = [](std::string url) { return Net::getString(std::move(url)); };
  return s;
}
