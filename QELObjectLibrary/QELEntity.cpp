#include "QELEntity.h"

void DeleteEntities(std::vector<CQELEntity*>& entities) {
  for (CQELEntity* entity : entities) delete entity;
  entities.clear();
}
