#include "model/model_services.h"

ModelServices makeServices() {
  ModelServices s;
  return s;
}
