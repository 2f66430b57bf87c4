// The link pass: every reference was stored as the entry offset it names,
// because the named entry may come later in the dump. Once the whole dump is
// read, each offset is looked up in the offset index and the object found
// there becomes the reference; an offset that names no entry leaves it null.
//
// Each object's references are its own fields, and the index only answers
// lookups, so a large dump's lists are linked in pieces on two threads.
#include "model/Model.h"
#include "reader/Concurrently.h"
#include "reader/DwarfDatabase.h"

#include <atomic>
#include <cstddef>
#include <span>

namespace {

/// Lists with fewer objects in all are linked on one thread: starting a
/// second one costs more than it saves.
constexpr std::size_t kSmallestShared = std::size_t{1} << 15;

/// The pieces a large dump's lists are linked in. Each thread takes the next
/// piece when it is done with one, so a core that runs slower (one of a
/// laptop's efficiency cores, a virtual CPU whose host runs it slower) takes
/// fewer: two fixed halves would wait for the slower one.
constexpr std::size_t kPieces = 16;

/// Part \p part of \p parts of \p list.
template <class List> auto partOf(const List &list, std::size_t part, std::size_t parts) {
  const std::size_t begin = list.size() * part / parts;
  const std::size_t end = list.size() * (part + 1) / parts;
  return std::span(list.data() + begin, end - begin);
}

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
  const OffsetIndex &index = objectsByOffset;
  const auto linkPart = [&](std::size_t part, std::size_t parts) {
    forEachTypeList([&](const auto &list) { linkTypes(partOf(list, part, parts), index); });
    linkSpecifications(partOf(functions, part, parts), index);
    linkSpecifications(partOf(variables, part, parts), index);
    linkSpecifications(partOf(classTypes, part, parts), index);
  };
  std::size_t objects = functions.size() + classTypes.size();
  forEachTypeList([&](const auto &list) { objects += list.size(); });
  // The first lookup sorts the index and builds its start table; lookups
  // from two threads need that done before.
  index.settle();
  const std::size_t pieces = objects >= kSmallestShared ? kPieces : 1;
  std::atomic<std::size_t> nextPiece{0};
  runConcurrently(pieces > 1 ? 2 : 1, [&](std::size_t) {
    for (std::size_t piece = nextPiece++; piece < pieces; piece = nextPiece++)
      linkPart(piece, pieces);
  });
}
