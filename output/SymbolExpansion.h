#pragma once

#include "output/NameTrace.h"
#include "output/SymbolRecord.h"

#include <cstddef>
#include <vector>

class DwarfDatabase;
namespace Model {
class BasicObject;
}

/// A leaf list holds at most this many leaves; a list that would be longer
/// is cut after them, so that a malformed bound such as 2 147 483 646 does
/// not exhaust the memory.
inline constexpr std::size_t kLeafCap = 16777216;
/// An expansion step nested deeper than this (the step for a variable's own
/// type is the first) yields nothing, so no input can overflow the stack.
inline constexpr int kMaxExpansionDepth = 1000;

/// Receives the leaves of an expansion, in order, one at a time. The record
/// is only valid during the call; a sink that keeps it copies it.
class LeafSink {
public:
  virtual ~LeafSink() = default;
  virtual void addLeaf(const SymbolRecord &leaf) = 0;
  /// False for a sink that drops const leaves unseen: the expansion may then
  /// count the const elements of an array instead of handing each one over.
  virtual bool takesConstLeaves() const { return true; }
  /// A located variable at address 0 that has leaves not reached through
  /// const: the linker dropped it (--gc-sections keeps the debug information
  /// of what it removes, at address 0) and its leaves are handed to no sink.
  /// \p variable holds the name its leaves start with (symbolName) and its
  /// declaration place (declLocation); only valid during the call. Called
  /// once per such variable, in the order of the located variables.
  virtual void addVariableAtAddressZero(const SymbolRecord &variable) { (void)variable; }
};

/// Expands every located variable of \p database into its leaves and hands
/// them to \p sink in order; a variable at address 0 is left out (see
/// LeafSink::addVariableAtAddressZero). Returns false when there were more
/// than \p leafCap leaves: the expansion stopped after that many. Every name
/// read for the leaves' names is read through \p trace.
bool expandLocatedVariables(const DwarfDatabase &database, LeafSink &sink, std::size_t leafCap = kLeafCap,
                            const NameTrace &trace = {});

/// The leaf list of all located variables but those at address 0, variable
/// after variable, each in depth-first order. Holds at most kLeafCap leaves.
std::vector<SymbolRecord> collectLeafSymbols(const DwarfDatabase &database, const NameTrace &trace = {});

/// Appends the leaves of \p object to \p leaves, starting from \p record.
/// \p membersOnly is set while the children of a structure or class are
/// walked: only their data members and base classes count.
void expandSymbol(const Model::BasicObject *object, SymbolRecord record, bool membersOnly,
                  std::vector<SymbolRecord> &leaves, const NameTrace &trace = {});
