#include "reader/DwarfDatabase.h"

#include "reader/BitFieldLayout.h"
#include "reader/DeclarationResolution.h"
#include "reader/DumpLineReader.h"
#include "reader/DumpParts.h"
#include "reader/DumpStream.h"
#include "reader/LineParser.h"
#include "reader/NativeFiles.h"
#include "reader/Utf16Text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace {

/// The dumps of the example firmware hold 400 to 520 bytes of dump per
/// entry (the section contents and line tables count too). Reserving the
/// offset index for one entry per 192 bytes makes room for every entry of
/// such a dump at once; room never used costs address space, not memory.
/// A file whose size promises more than kMostEntriesReserved (a sparse file
/// of a terabyte) grows the index as it goes.
constexpr std::uintmax_t kReservedDumpBytesPerEntry = 192;
constexpr std::uintmax_t kMostEntriesReserved = std::uintmax_t{1} << 26;

/// The entries to make room for in a dump of \p dumpBytes.
std::size_t entriesToReserve(std::uintmax_t dumpBytes) {
  return static_cast<std::size_t>(std::min(dumpBytes / kReservedDumpBytesPerEntry, kMostEntriesReserved));
}

/// Calls \p apply with each per-kind list of a database, as a pointer to
/// the member.
template <class Apply> void forEachKindList(Apply apply) {
  apply(&DwarfDatabase::arrayTypes);
  apply(&DwarfDatabase::classTypes);
  apply(&DwarfDatabase::constTypes);
  apply(&DwarfDatabase::importedDeclarations);
  apply(&DwarfDatabase::inheritances);
  apply(&DwarfDatabase::members);
  apply(&DwarfDatabase::subroutineTypes);
  apply(&DwarfDatabase::typedefs);
  apply(&DwarfDatabase::volatileTypes);
  apply(&DwarfDatabase::functions);
  apply(&DwarfDatabase::variables);
  apply(&DwarfDatabase::aggregateTypes);
}

/// Empties \p list and gives its memory back, to the system as well: the
/// heap may keep what is freed, and the lists are freed to make room for
/// the symbol files.
template <class List> void release(List &list) {
  Model::releasePages(list.data(), list.capacity() * sizeof(*list.data()));
  List().swap(list);
}

/// Appends \p later to \p list and empties it. The append happens at the
/// largest size of the model: a list that has to grow gives its old pages
/// back as it moves, so that an old and a new copy of it never stand whole
/// side by side.
template <class List> void appendReleasing(List &list, List &later) {
  const std::size_t size = list.size() + later.size();
  if (size > list.capacity()) Model::reserveReleasing(list, std::max(size, 2 * list.capacity()));
  list.insert(list.end(), later.begin(), later.end());
  release(later);
}

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};

/// Hands \p take each chunk of \p file from where it stands to its end (or
/// a read error); returns the bytes read.
template <class Take> std::uint64_t readChunks(std::FILE *file, Take take) {
  const std::unique_ptr<char[]> chunk(new char[DumpLineReader::kChunkSize]);
  std::uint64_t bytes = 0;
  for (;;) {
    const std::size_t got = std::fread(chunk.get(), 1, DumpLineReader::kChunkSize, file);
    if (got == 0) return bytes;
    bytes += got;
    take(std::string_view(chunk.get(), got));
  }
}

} // namespace

DwarfDatabase::DwarfDatabase() = default;

template <class ParseAll> void DwarfDatabase::build(ParseAll parseAll) {
  LineParser parser(*this);
  parseAll(parser);
  complete(parser);
}

void DwarfDatabase::complete(LineParser &parser) {
  parser.finish();
  arena.releaseUnfilledRest();
  linkReferences();
  DeclarationResolution::resolveDeclaredAggregates(*this);
  BitFieldLayout::convertDataBitOffsets(members, bigEndianFormat_);
}

DwarfDatabase::DwarfDatabase(const std::string &dumpFileName) {
  // Binary mode: the reader removes a carriage return before a line feed
  // itself, the same on every platform.
  const std::unique_ptr<std::FILE, FileCloser> opened(NativeFiles::openForReading(dumpFileName));
  std::FILE *const file = opened.get();
  if (file == nullptr) return;
  // A directory opens on some systems; it holds no dump.
  if (NativeFiles::isDirectory(dumpFileName)) return;
  dumpOpened_ = true;
  // The reader asks for whole chunks; without stdio's own small buffer in
  // between, each chunk is one read from the system instead of two.
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::error_code sizeUnknown;
  const std::uintmax_t dumpBytes = NativeFiles::fileSize(dumpFileName, sizeUnknown);
  // The bytes the reading must reach: fewer mean that the dump shrank while
  // it was read. An I/O error part way through ends the reading like the end
  // of the file would; only the error flag tells them apart.
  const std::uint64_t expectedBytes = sizeUnknown ? 0 : dumpBytes;

  // Only a UTF-16 byte-order mark starts with FF or FE; any other first byte
  // is read again with the rest: from the start of a file, or, from a pipe,
  // pushed back (one byte always can be).
  const int first = std::fgetc(file);
  if (first == 0xff || first == 0xfe) {
    const int second = std::fgetc(file);
    const char start[2] = {static_cast<char>(first), static_cast<char>(second)};
    const Utf16Text::ByteOrder order =
        second == EOF ? Utf16Text::ByteOrder::None : Utf16Text::byteOrderMark(std::string_view(start, 2));
    std::string text;
    std::uint64_t bytes = 0;
    if (order != Utf16Text::ByteOrder::None) {
      // An exceptional input: decoded whole into memory, then parsed as a
      // text, in parts when it is large.
      Utf16Text::Decoder decoder(order);
      text.reserve(static_cast<std::size_t>(expectedBytes / 2));
      bytes = 2 + readChunks(file, [&](std::string_view chunk) { decoder.decode(chunk, text); });
      decoder.finish(text);
    } else if (!seekDumpFile(file, 0)) {
      // No dump starts so, and a pipe cannot go back: read as it is.
      text.assign(start, second == EOF ? 1 : 2);
      bytes = text.size() + readChunks(file, [&](std::string_view chunk) { text.append(chunk); });
    }
    if (order != Utf16Text::ByteOrder::None || bytes != 0) {
      reserveForDump(text.size());
      parseDumpTextInParts(text, DumpParts::chooseParts(text));
      dumpReadWhole_ = std::ferror(file) == 0 && bytes >= expectedBytes;
      return;
    }
  } else if (first != EOF && !seekDumpFile(file, 0)) {
    std::ungetc(first, file);
  }

  if (!sizeUnknown) reserveForDump(dumpBytes);
  DumpParts::Outcome outcome;
  build([&](LineParser &parser) {
    outcome = DumpParts::parseFile(*this, parser, file, dumpFileName, expectedBytes);
  });
  dumpReadWhole_ = outcome.readToEnd;
  inParts_ = outcome.inParts;
}

DwarfDatabase::DwarfDatabase(DumpStream &stream) {
  dumpOpened_ = true;
  LineParser parser(*this);
  {
    DumpLineReader reader(stream);
    std::string_view line;
    while (reader.next(line))
      parser.parseLine(line);
  }
  dumpReadWhole_ = stream.finish();
  if (dumpReadWhole_) complete(parser);
}

DwarfDatabase::~DwarfDatabase() {
  // The root's destructor takes the whole tree down; the lists and indexes
  // only point into it.
  root.reset();
  ownedStatementLists.clear();
}

void DwarfDatabase::parseDumpText(std::string_view dumpText) {
  if (Utf16Text::byteOrderMark(dumpText) != Utf16Text::ByteOrder::None) {
    const std::string text = Utf16Text::toUtf8(dumpText);
    parseDumpTextInParts(text, DumpParts::chooseParts(text));
    return;
  }
  parseDumpTextInParts(dumpText, DumpParts::chooseParts(dumpText));
}

bool DwarfDatabase::parseDumpTextInParts(std::string_view dumpText,
                                         const std::vector<std::size_t> &laterParts, unsigned threads) {
  // A second parse starts from an empty database, so that no list keeps
  // pointers into the tree it replaces.
  if (root != nullptr) {
    locatedObjects.clear();
    forEachKindList([this](auto list) { (this->*list).clear(); });
    objectsByOffset.clear();
    statementListsByOffset.clear();
    ownedStatementLists.clear();
    root.reset();
    arena.release();
  }
  dumpOpened_ = true;
  dumpReadWhole_ = true;
  build([&](LineParser &parser) {
    inParts_ = DumpParts::parseText(*this, parser, dumpText, laterParts, threads).inParts;
  });
  return inParts_;
}

template <class Apply> void DwarfDatabase::forEachListOf(Model::BasicObject *object, Apply apply) {
  using namespace Model;
  switch (object->kind) {
  case ObjectKind::TypeInfo_Array:
    apply(arrayTypes, static_cast<TypeInfo_Array *>(object));
    break;
  case ObjectKind::TypeInfo_Class:
    apply(aggregateTypes, object);
    apply(classTypes, static_cast<TypeInfo_Class *>(object));
    break;
  case ObjectKind::TypeInfo_Const:
    apply(constTypes, static_cast<TypeInfo_Const *>(object));
    break;
  case ObjectKind::TypeInfo_ImportedDeclaration:
    apply(importedDeclarations, static_cast<TypeInfo_ImportedDeclaration *>(object));
    break;
  case ObjectKind::TypeInfo_Inheritance:
    apply(inheritances, static_cast<TypeInfo_Inheritance *>(object));
    break;
  case ObjectKind::TypeInfo_Member:
    apply(members, static_cast<TypeInfo_Member *>(object));
    break;
  case ObjectKind::TypeInfo_Structure:
  case ObjectKind::TypeInfo_Union:
    apply(aggregateTypes, object);
    break;
  case ObjectKind::TypeInfo_Subroutine:
    apply(subroutineTypes, static_cast<TypeInfo_Subroutine *>(object));
    break;
  case ObjectKind::TypeInfo_Typedef:
    apply(typedefs, static_cast<TypeInfo_Typedef *>(object));
    break;
  case ObjectKind::TypeInfo_Volatile:
    apply(volatileTypes, static_cast<TypeInfo_Volatile *>(object));
    break;
  case ObjectKind::FunctionInfo:
    apply(functions, static_cast<FunctionInfo *>(object));
    break;
  case ObjectKind::VariableInfo:
    apply(variables, static_cast<VariableInfo *>(object));
    break;
  default:
    break;
  }
}

void DwarfDatabase::fileEntry(Model::BasicObject *object) {
  objectsByOffset.insert(object->offset, object);
  forEachListOf(object, [](auto &list, auto *typed) { list.push_back(typed); });
}

namespace {

/// Calls \p visit on every object below \p top, each before its children:
/// the order in which a parse built them. No recursion: a dump may nest
/// entries 100 000 levels deep.
template <class Visit> void visitBelow(const Model::BasicObject &top, Visit visit) {
  Model::BasicObject *object = top.children.front();
  while (object != nullptr) {
    visit(object);
    if (!object->children.empty()) {
      object = object->children.front();
      continue;
    }
    while (object->parent != &top && object->nextSibling() == nullptr)
      object = object->parent;
    object = object->nextSibling();
  }
}

} // namespace

void DwarfDatabase::appendLaterPart(DwarfDatabase &later) {
  if (later.root != nullptr) {
    // The objects are filed here, in the order they were built. A list that
    // has to grow gives its old pages back as it moves, so that an old and a
    // new copy of it never stand whole side by side.
    visitBelow(*later.root, [this](Model::BasicObject *object) {
      objectsByOffset.insert(object->offset, object);
      forEachListOf(object, [](auto &list, auto *typed) {
        if (list.size() == list.capacity()) Model::reserveReleasing(list, 2 * list.size() + 1);
        list.push_back(typed);
      });
    });
    root->adoptChildrenOf(*later.root);
  }
  appendReleasing(locatedObjects, later.locatedObjects);
  for (auto &table : later.ownedStatementLists) {
    table->usePool(&textPool);
    ownedStatementLists.push_back(std::move(table));
  }
  later.ownedStatementLists.clear();
  // An offset already indexed here keeps its table, as the first table of an
  // offset does in one pass.
  statementListsByOffset.merge(later.statementListsByOffset);
  later.statementListsByOffset.clear();
  arena.adopt(later.arena);
  textPool.adopt(later.textPool);
}

void DwarfDatabase::reserveForDump(std::uintmax_t dumpBytes) {
  objectsByOffset.reserve(entriesToReserve(dumpBytes));
}

void DwarfDatabase::releaseLinkIndexes() {
  objectsByOffset.clear();
  forEachKindList([this](auto list) { release(this->*list); });
}

const Model::StatementList *DwarfDatabase::findStatementList(std::uint32_t stmtListOffset) const {
  const auto it = statementListsByOffset.find(stmtListOffset);
  return it == statementListsByOffset.end() ? nullptr : it->second;
}
