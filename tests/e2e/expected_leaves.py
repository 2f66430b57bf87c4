"""The leaves that the map of an ELF image must list, read from the image's
own DWARF with pyelftools (never from the objdump text the tool reads).

Each located variable is walked by the expansion rules of the symbol files:
members, base-class parts, the elements of an array's first dimension, down
to base types, enumerations and pointers. Every leaf carries the way to it as
steps (member, base class, element) that gdb follows on its own reading of
the image, so the address and size of the leaf come from the debugger and
not from this walk. Leaves that the rules produce without a C expression
(inside a union's nested type definitions, function leaves and their
parameters) are marked with the reason.
"""

from elftools.dwarf.dwarf_expr import DWARFExprParser
from elftools.elf.elffile import ELFFile

# The kinds of entries the tool's model tells apart; every other tag is a
# plain object that contributes nothing but its children.
KIND_BY_TAG = {
    "DW_TAG_array_type": "array",
    "DW_TAG_base_type": "base",
    "DW_TAG_class_type": "class",
    "DW_TAG_const_type": "const",
    "DW_TAG_enumeration_type": "enumeration",
    "DW_TAG_enumerator": "enumerator",
    "DW_TAG_imported_declaration": "imported",
    "DW_TAG_inheritance": "inheritance",
    "DW_TAG_member": "member",
    "DW_TAG_namespace": "namespace",
    "DW_TAG_pointer_type": "pointer",
    "DW_TAG_structure_type": "structure",
    "DW_TAG_subrange_type": "subrange",
    "DW_TAG_subroutine_type": "subroutine",
    "DW_TAG_inlined_subroutine": "subroutine",
    "DW_TAG_typedef": "typedef",
    "DW_TAG_union_type": "union",
    "DW_TAG_volatile_type": "volatile",
    "DW_TAG_subprogram": "function",
    "DW_TAG_compile_unit": "unit",
    "DW_TAG_variable": "variable",
    "DW_TAG_formal_parameter": "variable",
}

# Attributes whose value is the entry's type reference, by kind (the later
# line of the entry wins when several are present).
TYPE_ATTRIBUTES = {
    "array": ("DW_AT_type", "DW_AT_import"),
    "const": ("DW_AT_type", "DW_AT_import"),
    "imported": ("DW_AT_type", "DW_AT_import"),
    "inheritance": ("DW_AT_type", "DW_AT_import"),
    "member": ("DW_AT_type", "DW_AT_import"),
    "subroutine": ("DW_AT_type", "DW_AT_import", "DW_AT_abstract_origin"),
    "typedef": ("DW_AT_type", "DW_AT_import"),
    "volatile": ("DW_AT_type", "DW_AT_import"),
    "variable": ("DW_AT_type", "DW_AT_import"),
}
SPECIFICATION_ATTRIBUTES = {
    "variable": ("DW_AT_specification", "DW_AT_abstract_origin"),
    "function": ("DW_AT_specification", "DW_AT_abstract_origin"),
    "class": ("DW_AT_specification",),
}

# DW_ATE codes whose objdump text contains "signed" not preceded by "n":
# signed, signed char, signed fixed.
SIGNED_ENCODINGS = {0x05, 0x06, 0x0D}

MAX_DEPTH = 1000

# The lines that the rules produce without a C expression behind them, and why.
FUNCTION_LEAF = "function leaf"
PARAMETER_OF_FUNCTION_LEAF = "parameter of a function leaf"
VARIABLE_INSIDE_TYPE = "variable entry inside a type"
UNION_ENTRY_REASONS = {
    "structure": "member of a union's nested type definition",
    "class": "member of a union's nested type definition",
    "union": "member of a union's nested type definition",
    "function": FUNCTION_LEAF,
    "enumeration": "enumeration type defined in a union",
    "typedef": "typedef defined in a union",
}
# Lines that stand at the address of the object they were reached through.
AT_ENCLOSING_OBJECT = (FUNCTION_LEAF, PARAMETER_OF_FUNCTION_LEAF, VARIABLE_INSIDE_TYPE)


def u32(value):
    return value & 0xFFFFFFFF


def s32(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


class Leaf:
    """One expected leaf: its name, the way gdb reaches it and what the map
    line must say about it."""

    __slots__ = ("name", "steps", "const", "kind", "no_c_reason", "signed", "byte_size", "bit_size", "variable")

    def __init__(self, record, kind, signed, byte_size):
        self.name = record.name
        self.steps = list(record.steps)
        self.const = record.const
        self.kind = kind  # "base", "enumeration", "pointer", "function"
        self.no_c_reason = record.no_c_reason
        self.signed = signed
        self.byte_size = byte_size
        self.bit_size = record.bit_size
        self.variable = record.variable


class Record:
    """A symbol on its way down; copied for every recursive step so that no
    callee's change reaches a sibling."""

    __slots__ = ("name", "steps", "const", "no_c_reason", "bit_size", "variable")

    def __init__(self, name, variable):
        self.name = name
        self.steps = []
        self.const = False
        self.no_c_reason = None
        self.bit_size = 0
        self.variable = variable

    def copy(self):
        other = Record(self.name, self.variable)
        other.steps = list(self.steps)
        other.const = self.const
        other.no_c_reason = self.no_c_reason
        other.bit_size = self.bit_size
        return other


class Variable:
    """A located variable: the root of one group of leaves."""

    def __init__(self, die, name_die, address, unit_name, scope):
        self.die = die
        self.name_die = name_die
        self.address = address
        self.unit_name = unit_name
        self.scope = scope  # ("global"|"static"|"local", qualified name parts, pc or None)
        self.name = ""
        self.type_die = None
        self.const_top = False  # the variable itself is const (a top-level qualifier)


class ImageDwarf:
    """The DWARF of one ELF image, with the few derived facts the rules need."""

    def __init__(self, path):
        self._file = open(path, "rb")
        self.elf = ELFFile(self._file)
        self.big_endian = not self.elf.little_endian
        self.dwarf = self.elf.get_dwarf_info()
        self._expr_parser = DWARFExprParser(self.dwarf.structs)
        self.units = list(self.dwarf.iter_CUs())
        self._pointer_size = {}
        for cu in self.units:
            self._pointer_size[cu.cu_offset] = cu["address_size"]
        self._abstract_instances = None
        self._definitions = None

    def close(self):
        self._file.close()

    # -- entry attributes, as the tool's model stores them -----------------

    @staticmethod
    def kind(die):
        return KIND_BY_TAG.get(die.tag, "plain")

    def reference(self, die, names):
        """The entry named by the last of the given reference attributes, or
        None when none is present or the target is not in the image."""
        target = None
        for name, attribute in die.attributes.items():
            if name in names:
                try:
                    target = die.get_DIE_from_attribute(name)
                except Exception:  # a reference outside the section
                    target = None
        return target

    def type_of(self, die):
        names = TYPE_ATTRIBUTES.get(self.kind(die))
        target = self.reference(die, names) if names else None
        if target is not None and self.kind(target) in ("class", "structure", "union") and self._is_declaration(target):
            # A C++ class is described in full only in the unit of its key
            # function; elsewhere it is a declaration, completed by the
            # definition of the same qualified name (as the debugger does).
            return self.definition_of(target) or target
        return target

    def _definition_key(self, die):
        """(unit offset or None, qualified name): a type inside a function or
        an unnamed scope is only the same type within its own unit."""
        parts = [self.name_of(die)]
        local = not parts[0]
        parent = die.get_parent()
        while parent is not None and parent.tag != "DW_TAG_compile_unit":
            if parent.tag in ("DW_TAG_structure_type", "DW_TAG_class_type", "DW_TAG_union_type", "DW_TAG_namespace"):
                name = self.name_of(parent)
                local = local or not name
                parts.append(name)
            else:
                local = True
            parent = parent.get_parent()
        return (die.cu.cu_offset if local else None, "::".join(reversed(parts)))

    def definition_of(self, declaration):
        if self._definitions is None:
            self._definitions = {}
            for cu in self.units:
                for die in cu.iter_DIEs():
                    if self.kind(die) in ("class", "structure", "union") and not self._is_declaration(die) \
                            and self.name_of(die):
                        self._definitions.setdefault(self._definition_key(die), die)
        return self._definitions.get(self._definition_key(declaration))

    def specification_of(self, die):
        names = SPECIFICATION_ATTRIBUTES.get(self.kind(die))
        return self.reference(die, names) if names else None

    @staticmethod
    def name_of(die):
        attribute = die.attributes.get("DW_AT_name")
        if attribute is None:
            return ""
        value = attribute.value
        return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)

    @staticmethod
    def int_attribute(die, name, default=0):
        attribute = die.attributes.get(name)
        if attribute is None or not isinstance(attribute.value, int):
            return default
        return attribute.value

    def member_geometry(self, die):
        """(data member location, bit size, DWARF 2 bit offset, byte size) of
        a member; bit fields written with DW_AT_data_bit_offset are given the
        values gcc writes for the same field in DWARF 2 to 4."""
        location = 0
        attribute = die.attributes.get("DW_AT_data_member_location")
        if attribute is not None:
            if isinstance(attribute.value, int):
                location = attribute.value
            else:
                ops = self._expr_parser.parse_expr(attribute.value)
                if len(ops) == 1 and ops[0].op_name == "DW_OP_plus_uconst":
                    location = ops[0].args[0]
        bit_size = self.int_attribute(die, "DW_AT_bit_size")
        byte_size = self.int_attribute(die, "DW_AT_byte_size")
        bit_offset = self.int_attribute(die, "DW_AT_bit_offset")
        if "DW_AT_data_bit_offset" in die.attributes and bit_size and "DW_AT_bit_offset" not in die.attributes:
            data_bit_offset = die.attributes["DW_AT_data_bit_offset"].value
            unit = byte_size or self.size(self.type_of(die))
            if unit:
                x = data_bit_offset + bit_size - 8 * unit
                u = -(-x // (8 * unit)) * (8 * unit)
                if u > data_bit_offset:
                    u = x
                location = u // 8
                byte_size = unit
                if self.big_endian:
                    bit_offset = data_bit_offset - 8 * location
                else:
                    bit_offset = 8 * location + 8 * unit - (data_bit_offset + bit_size)
        return location, bit_size, bit_offset, byte_size

    def subrange_bounds(self, die):
        lower = s32(self.int_attribute(die, "DW_AT_lower_bound"))
        upper = 0
        for name, attribute in die.attributes.items():
            if name == "DW_AT_upper_bound" and isinstance(attribute.value, int):
                upper = s32(attribute.value)
            elif name == "DW_AT_count" and isinstance(attribute.value, int):
                lower, upper = 0, s32(attribute.value - 1)
        return lower, upper

    def located_address(self, die):
        """The absolute address of an entry whose location is DW_OP_addr,
        optionally followed by DW_OP_plus_uconst; None for every other form."""
        attribute = die.attributes.get("DW_AT_location")
        if attribute is None or attribute.form not in (
            "DW_FORM_exprloc",
            "DW_FORM_block1",
            "DW_FORM_block2",
            "DW_FORM_block4",
            "DW_FORM_block",
        ):
            return None
        ops = self._expr_parser.parse_expr(attribute.value)
        if not ops or ops[0].op_name != "DW_OP_addr":
            return None
        if len(ops) == 1:
            return u32(ops[0].args[0])
        if len(ops) == 2 and ops[1].op_name == "DW_OP_plus_uconst":
            return u32(ops[0].args[0] + ops[1].args[0])
        return None

    # -- sizes --------------------------------------------------------------

    def size(self, die, active=None):
        if die is None:
            return 0
        active = active if active is not None else set()
        if die.offset in active:
            return 0
        active.add(die.offset)
        try:
            return u32(self._size(die, active))
        finally:
            active.discard(die.offset)

    def _size(self, die, active):
        kind = self.kind(die)
        if kind in ("plain", "namespace"):
            return sum(self.size(child, active) for child in die.iter_children())
        if kind in ("base", "class", "structure", "union", "enumeration"):
            return self.int_attribute(die, "DW_AT_byte_size")
        if kind == "pointer":
            return self._pointer_size[die.cu.cu_offset]
        if kind == "subrange":
            lower, upper = self.subrange_bounds(die)
            return upper - lower + 1
        if kind == "array":
            element = self.type_of(die)
            if element is None:
                return 0
            counts = sum(self.size(child, active) for child in die.iter_children())
            return counts * self.size(element, active)
        if kind == "member":
            _, bit_size, _, byte_size = self.member_geometry(die)
            if bit_size:
                return byte_size
            return self.size(self.type_of(die), active)
        if kind in ("const", "volatile", "typedef", "imported", "inheritance", "subroutine", "variable"):
            return self.size(self.type_of(die), active)
        return 0

    # -- scopes and names -----------------------------------------------------

    def scoped_name(self, die, suffix=""):
        seen = set()
        while die is not None and die.offset not in seen:
            seen.add(die.offset)
            kind = self.kind(die)
            if kind in ("class", "function", "variable"):
                source = self.specification_of(die) or die
                separator = {"class": "->", "function": "@", "variable": "."}[kind]
            elif kind in ("member", "enumeration", "enumerator"):
                source, separator = die, "."
            elif kind == "namespace":
                source, separator = die, "::"
            else:
                source, separator = die, None
            if separator is not None:
                name = self.name_of(source)
                suffix = name + (separator if suffix else "") + suffix
            if source.tag == "DW_TAG_compile_unit":
                break
            die = source.get_parent()
        return suffix

    def gdb_scope(self, variable_die, name_die):
        """How gdb finds the variable: a static local through a pc of its
        function, anything else by its qualified name."""
        parts = []
        die = name_die.get_parent()
        local_scope = None
        while die is not None and die.tag != "DW_TAG_compile_unit":
            if die.tag in ("DW_TAG_subprogram", "DW_TAG_lexical_block", "DW_TAG_inlined_subroutine"):
                local_scope = local_scope or die
            elif die.tag in ("DW_TAG_namespace", "DW_TAG_structure_type", "DW_TAG_class_type", "DW_TAG_union_type"):
                name = self.name_of(die)
                parts.append(name if name else "(anonymous namespace)")
            die = die.get_parent()
        if local_scope is None:
            die = variable_die.get_parent()
            while die is not None and die.tag != "DW_TAG_compile_unit":
                if die.tag in ("DW_TAG_subprogram", "DW_TAG_lexical_block"):
                    local_scope = die
                    break
                die = die.get_parent()
        parts.reverse()
        qualified = "::".join(parts + [self.name_of(name_die)])
        if local_scope is not None:
            return ("local", self.name_of(name_die), self.code_addresses(local_scope))
        external = "DW_AT_external" in name_die.attributes or "DW_AT_external" in variable_die.attributes
        member = name_die.tag == "DW_TAG_member" or name_die.get_parent().tag in (
            "DW_TAG_structure_type",
            "DW_TAG_class_type",
        )
        return ("global" if external or member else "static", qualified, None)

    def _concrete_instances(self):
        """Abstract entry offset -> the entries that carry code for it, the
        out-of-line subprograms first, then the inlined copies."""
        if self._abstract_instances is None:
            users = {}
            for cu in self.units:
                for die in cu.iter_DIEs():
                    if "DW_AT_abstract_origin" in die.attributes and (
                        "DW_AT_low_pc" in die.attributes or "DW_AT_ranges" in die.attributes
                    ):
                        try:
                            origin = die.get_DIE_from_attribute("DW_AT_abstract_origin")
                        except Exception:
                            continue
                        users.setdefault(origin.offset, []).append(die)
            for instances in users.values():
                instances.sort(key=lambda die: die.tag != "DW_TAG_subprogram")
            self._abstract_instances = users
        return self._abstract_instances

    def code_addresses(self, die):
        """Code addresses inside a function or block, or inside the concrete
        instances of it when the entry is an abstract one."""
        pcs = []
        for candidate in [die] + self._concrete_instances().get(die.offset, []):
            if "DW_AT_low_pc" in candidate.attributes:
                pcs.append(candidate.attributes["DW_AT_low_pc"].value)
            elif "DW_AT_ranges" in candidate.attributes:
                ranges = self.dwarf.range_lists()
                if ranges is None:
                    continue
                base = self.int_attribute(candidate.cu.get_top_DIE(), "DW_AT_low_pc")
                for entry in ranges.get_range_list_at_offset(candidate.attributes["DW_AT_ranges"].value, cu=candidate.cu):
                    if hasattr(entry, "begin_offset") and entry.begin_offset != entry.end_offset:
                        pcs.append(base + entry.begin_offset)
                        break
        return pcs

    # -- the variables ----------------------------------------------------------

    def located_variables(self):
        """Every variable with an absolute address, in the order of the dump."""
        result = []
        for cu in self.units:
            top = cu.get_top_DIE()
            unit_name = self.name_of(top)
            for die in cu.iter_DIEs():
                if die.is_null() or "DW_AT_location" not in die.attributes:
                    continue
                address = self.located_address(die)
                if address is None or self.kind(die) != "variable":
                    continue
                name_die = self.specification_of(die) or die
                variable = Variable(die, name_die, address, unit_name, self.gdb_scope(die, name_die))
                variable.name = self.scoped_name(die)
                type_die = self.type_of(die)
                if type_die is None and self.kind(name_die) in ("variable", "member"):
                    type_die = self.type_of(name_die)
                variable.type_die = type_die
                variable.const_top = self._const_at_top(type_die)
                result.append(variable)
        return result

    def _const_at_top(self, die):
        seen = set()
        while die is not None and die.offset not in seen:
            seen.add(die.offset)
            kind = self.kind(die)
            if kind == "const":
                return True
            if kind not in ("typedef", "volatile"):
                return False
            die = self.type_of(die)
        return False

    def declaration_only(self, die):
        """The structure, class or union under typedefs, qualifiers and arrays
        when its entry is a mere declaration (its definition lives in
        another unit), else None."""
        seen = set()
        while die is not None and die.offset not in seen:
            seen.add(die.offset)
            kind = self.kind(die)
            if kind in ("class", "structure", "union"):
                return die if self._is_declaration(die) else None
            if kind not in ("typedef", "volatile", "const", "array"):
                return None
            die = self.type_of(die)
        return None

    # -- expansion ----------------------------------------------------------------

    def leaves(self, variable):
        out = []
        if variable.type_die is None:
            return out
        record = Record(variable.name, variable)
        self._expand(variable.type_die, record, False, out, set(), 1)
        return out

    def _expand(self, die, record, members_only, out, path, depth):
        if depth > MAX_DEPTH or die.offset in path:
            return
        path = path | {die.offset}
        kind = self.kind(die)
        record = record.copy()
        if members_only:
            if kind == "member":
                if self._is_declaration(die):
                    return
            elif kind == "inheritance":
                base = self.type_of(die)
                if base is not None:
                    record.steps.append(("base", self.member_geometry(die)[0], self.name_of(base)))
                    self._expand(base, record, False, out, path, depth + 1)
                return
            else:
                return
        if kind == "base":
            encoding = self.int_attribute(die, "DW_AT_encoding")
            out.append(Leaf(record, "base", encoding in SIGNED_ENCODINGS, self.size(die)))
        elif kind == "enumeration":
            out.append(Leaf(record, "enumeration", False, self.size(die)))
        elif kind == "pointer":
            out.append(Leaf(record, "pointer", False, self.size(die)))
        elif kind == "function":
            specification = self.specification_of(die)
            if specification is not None:
                record.name = self.scoped_name(specification)
                record.no_c_reason = record.no_c_reason or FUNCTION_LEAF
                self._expand(specification, record, False, out, path, depth + 1)
            else:
                record.name += "." + self.name_of(die)
            record.no_c_reason = record.no_c_reason or FUNCTION_LEAF
            out.append(Leaf(record, "function", False, self.size(specification) if specification is not None else 0))
        elif kind == "member":
            record.name += "." + self.name_of(die)
            location, bit_size, _, _ = self.member_geometry(die)
            record.steps.append(("member", self.name_of(die), location, die.offset))
            record.bit_size = bit_size
            member_type = self.type_of(die)
            if member_type is not None:
                self._expand(member_type, record, False, out, path, depth + 1)
        elif kind in ("class", "structure"):
            pass
        elif kind == "union":
            pass
        elif kind == "array":
            self._expand_array(die, record, out, path, depth)
        elif kind == "const":
            target = self.type_of(die)
            if target is not None:
                record.const = True
                self._expand(target, record, False, out, path, depth + 1)
        elif kind in ("typedef", "volatile", "imported"):
            target = self.type_of(die)
            if target is not None:
                self._expand(target, record, False, out, path, depth + 1)
        elif kind == "namespace":
            record.name += "::" + self.name_of(die)
        elif kind == "variable":
            record.name += "." + self.name_of(die)
            record.no_c_reason = record.no_c_reason or VARIABLE_INSIDE_TYPE
            specification = self.specification_of(die)
            if specification is not None:
                record.name = self.scoped_name(specification)
                self._expand(specification, record, False, out, path, depth + 1)
            else:
                target = self.type_of(die)
                if target is not None:
                    self._expand(target, record, False, out, path, depth + 1)
        # Children: structure and class members through the members-only
        # filter; everything below a union (or any other entry) as it is.
        children_members_only = kind in ("class", "structure")
        for child in die.iter_children():
            child_record = record
            child_kind = self.kind(child)
            if kind == "function" and child_kind == "variable":
                child_record = record.copy()
                child_record.no_c_reason = PARAMETER_OF_FUNCTION_LEAF
            elif kind == "union" and child_kind != "member":
                child_record = record.copy()
                child_record.no_c_reason = child_record.no_c_reason or UNION_ENTRY_REASONS.get(
                    child_kind, "other entry of a union"
                )
                if child_kind in ("structure", "class", "union"):
                    child_record.steps.append(
                        ("nested", self._member_of_type(die, child), self._qualified_type_name(child))
                    )
            self._expand(child, child_record, children_members_only, out, path, depth + 1)

    def _expand_array(self, die, record, out, path, depth):
        children = list(die.iter_children())
        count, first = 0, 0
        if children and self.kind(children[0]) == "subrange":
            lower, upper = self.subrange_bounds(children[0])
            count, first = u32(upper + 1), u32(lower)
        element = self.type_of(die)
        if element is None:
            return
        dimensions = sum(1 for child in children if self.kind(child) == "subrange")
        width, n = 1, count
        while n > 1:
            n //= 10
            width += 1
        base = record.name
        index = first
        while index < count:
            element_record = record.copy()
            element_record.name = base + "_" + str(index).zfill(width)
            element_record.steps.append(("element", index, dimensions))
            self._expand(element, element_record, False, out, path, depth + 1)
            index = u32(index + 1)
            if count - first > 1 << 24:  # never in a real image; keeps a broken one finite
                break

    def _member_of_type(self, union, nested):
        """The position among the union's members of the member whose type is
        the nested type (an anonymous structure's member), or None."""
        members = [child for child in union.iter_children() if self.kind(child) == "member"]
        for position, member in enumerate(members):
            member_type = self.type_of(member)
            if member_type is not None and member_type.offset == nested.offset:
                return position
        return None

    def _is_declaration(self, die):
        attribute = die.attributes.get("DW_AT_declaration")
        return attribute is not None and attribute.value not in (0, False)

    def _qualified_type_name(self, die):
        parts = []
        while die is not None and die.tag != "DW_TAG_compile_unit":
            name = self.name_of(die)
            if die.tag in ("DW_TAG_structure_type", "DW_TAG_class_type", "DW_TAG_union_type", "DW_TAG_namespace"):
                if not name:
                    return None
                parts.append(name)
            die = die.get_parent()
        return "::".join(reversed(parts))


def expected_leaves(elf_path):
    """(image, [(variable, [leaves])]) for every located variable of the image."""
    image = ImageDwarf(elf_path)
    groups = [(variable, image.leaves(variable)) for variable in image.located_variables()]
    return image, groups
