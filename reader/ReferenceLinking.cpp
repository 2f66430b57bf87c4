// The link pass: every reference was stored as the entry offset it names,
// because the named entry may come later in the dump. Once the whole dump is
// read, each offset is looked up in the offset index and the object found
// there becomes the reference; an offset that names no entry leaves it null.
#include "model/Model.h"
#include "reader/DwarfDatabase.h"

namespace {

template <class List> void linkTypes(const List &list, const OffsetIndex &index) {
  for (auto *object : list)
    if (Model::BasicObject *target = index.find(object->typeOffset)) object->type = target;
}

template <class List> void linkSpecifications(const List &list, const OffsetIndex &index) {
  for (auto *object : list)
    if (Model::BasicObject *target = index.find(object->specificationOffset)) object->specification = target;
}

} // namespace

void DwarfDatabase::linkReferences() {
  linkTypes(arrayTypes, objectsByOffset);
  linkTypes(constTypes, objectsByOffset);
  linkTypes(importedDeclarations, objectsByOffset);
  linkTypes(inheritances, objectsByOffset);
  linkTypes(members, objectsByOffset);
  linkTypes(subroutineTypes, objectsByOffset);
  linkTypes(typedefs, objectsByOffset);
  linkTypes(volatileTypes, objectsByOffset);
  linkSpecifications(functions, objectsByOffset);
  for (Model::VariableInfo *variable : variables) {
    if (Model::BasicObject *target = objectsByOffset.find(variable->typeOffset)) variable->type = target;
    if (Model::BasicObject *target = objectsByOffset.find(variable->specificationOffset))
      variable->specification = target;
  }
  linkSpecifications(classTypes, objectsByOffset);
}
