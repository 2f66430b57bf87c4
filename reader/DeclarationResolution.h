#pragma once

class DwarfDatabase;

/// gcc describes a C++ class in full only in the unit that defines its first
/// virtual function (its "key function"); every other unit that uses the class
/// carries a bare declaration: DW_AT_declaration, no size, no members. A
/// global object defined in such a unit would otherwise expand to nothing.
///
/// After the link pass, every type reference that names a declaration-only
/// structure, class or union is turned to the definition of the same
/// qualified name. Types local to a unit (inside a function or an anonymous
/// namespace) are only matched within their own unit. A declaration without a
/// definition anywhere in the dump stays as it is.
namespace DeclarationResolution {

void resolveDeclaredAggregates(DwarfDatabase &database);

} // namespace DeclarationResolution
