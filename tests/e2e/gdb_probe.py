"""Runs inside gdb-multiarch (gdb -batch -x gdb_probe.py): finds each variable
by its own symbol lookup and follows each leaf's steps on gdb's reading of
the image. Reads the requests from $QUILLMAP_PROBE_IN (JSON) and writes one
answer per leaf to $QUILLMAP_PROBE_OUT (JSON).

Request: {"variables": [{"scope": [kind, name, pcs], "address": int, "unit": str,
                         "unit_pcs": [int...]}],
          "leaves": [{"variable": index, "steps": [...]}]}
Answer per leaf: {"address", "size", "code", "signed"} or, for a bit field,
{"container", "bitpos", "bitsize", "size", "code", "signed"}; {"error": text}
when gdb cannot follow the steps.
"""

import json
import os

import gdb  # noqa: F401  (provided by gdb)

SCALAR_CODES = {
    gdb.TYPE_CODE_INT: "int",
    gdb.TYPE_CODE_ENUM: "enum",
    gdb.TYPE_CODE_PTR: "pointer",
    gdb.TYPE_CODE_FLT: "float",
    gdb.TYPE_CODE_BOOL: "bool",
    gdb.TYPE_CODE_CHAR: "char",
    gdb.TYPE_CODE_FUNC: "function",
}


def strip(value_type):
    return value_type.strip_typedefs().unqualified().strip_typedefs()


def symbol_address(symbol):
    try:
        return int(symbol.value().address)
    except Exception:
        return None


def block_symbols(block):
    for symbol in block:
        if symbol.is_variable:
            yield symbol


def find_variable(variable):
    kind, name, pcs = variable["scope"]
    address = variable["address"]
    candidates = []
    try:
        if kind == "local":
            for pc in pcs:
                block = gdb.block_for_pc(pc)
                symbol = gdb.lookup_symbol(name, block)[0] if block is not None else None
                if symbol is not None:
                    candidates.append(symbol)
        elif kind == "global":
            symbol = gdb.lookup_global_symbol(name) or gdb.lookup_static_symbol(name)
            if symbol is not None:
                candidates.append(symbol)
        else:
            for symbol in gdb.lookup_static_symbols(name):
                if symbol.symtab is not None and symbol.symtab.filename == variable["unit"]:
                    candidates.append(symbol)
    except gdb.error:
        pass
    for symbol in candidates:
        if symbol_address(symbol) == address:
            return symbol.value()
    # gdb spells some qualified names its own way (template arguments such as
    # "10u"); look the variable up among the symbols of its unit instead.
    short = name.split("::")[-1]
    for unit_pc in variable["unit_pcs"]:
        block = gdb.block_for_pc(unit_pc)
        if block is None:
            continue
        blocks = [block.global_block, block.static_block]
        inner = block
        while inner is not None and not inner.is_global and not inner.is_static:
            blocks.append(inner)
            inner = inner.superblock
        for scope in blocks:
            for symbol in block_symbols(scope):
                if symbol.name.split("::")[-1] == short and symbol_address(symbol) == address:
                    return symbol.value()
    return None


def field_by_name(value_type, name):
    matches = [f for f in value_type.fields() if f.name == name and not f.is_base_class]
    return matches[0] if len(matches) == 1 else None


def follow(value, steps):
    """Follows the steps; returns (value, field, container) where field and
    container are set when the last step named a bit field."""
    field = None
    container = None
    for step in steps:
        kind = step[0]
        value_type = strip(value.type)
        if value_type.code in (gdb.TYPE_CODE_STRUCT, gdb.TYPE_CODE_UNION):
            value = value.cast(value_type)  # fields belong to the unqualified type
        field = None
        container = None
        if kind == "member":
            _, name, location, _ = step
            if name:
                field = field_by_name(value_type, name)
            else:
                unnamed = [
                    f
                    for f in value_type.fields()
                    if not f.name and not f.is_base_class and f.bitpos // 8 == location
                ]
                field = unnamed[0] if len(unnamed) == 1 else None
            if field is None:
                raise gdb.error("no member %r in %s" % (name, value_type))
            container = value
            value = value[field]
        elif kind == "base":
            _, location, name = step
            bases = [f for f in value_type.fields() if f.is_base_class]
            named = [f for f in bases if strip(f.type).tag and strip(f.type).tag.split("::")[-1].split("<")[0] == name.split("<")[0]]
            chosen = named if len(named) == 1 else [f for f in bases if f.bitpos == location * 8]
            if len(chosen) != 1:
                raise gdb.error("no base class %r in %s" % (name, value_type))
            value = value[chosen[0]]
        elif kind == "element":
            _, index, dimensions = step
            if value_type.code != gdb.TYPE_CODE_ARRAY:
                raise gdb.error("not an array: %s" % value_type)
            if dimensions <= 1:
                value = value[index]
            else:
                element_type = value_type
                for _ in range(dimensions):
                    element_type = strip(element_type).target()
                pointer = value.address.cast(element_type.pointer())
                value = (pointer + index).dereference()
        elif kind == "nested":
            _, member_position, qualified_name = step
            if member_position is not None:
                members = [f for f in value_type.fields() if not f.is_base_class]
                value = value[members[member_position]]
            elif qualified_name:
                nested_type = gdb.lookup_type(qualified_name)
                value = value.address.cast(nested_type.pointer()).dereference()
            else:
                raise gdb.error("a nested type that no member uses and that has no name")
        else:
            raise gdb.error("unknown step %r" % (step,))
    return value, field, container


def describe(value, field, container):
    leaf_type = strip(value.type)
    code = SCALAR_CODES.get(leaf_type.code, "other")
    try:
        signed = bool(leaf_type.is_signed) if code in ("int", "char", "enum", "bool") else False
    except (AttributeError, ValueError):
        signed = False
    answer = {"size": leaf_type.sizeof, "code": code, "signed": signed}
    if field is not None and field.bitsize:
        answer["container"] = int(container.address)
        answer["bitpos"] = field.bitpos
        answer["bitsize"] = field.bitsize
    else:
        answer["address"] = int(value.address)
    return answer


def main():
    with open(os.environ["QUILLMAP_PROBE_IN"]) as stream:
        request = json.load(stream)
    roots = [None] * len(request["variables"])
    for index, variable in enumerate(request["variables"]):
        try:
            roots[index] = find_variable(variable)
        except gdb.error:
            roots[index] = None
    answers = []
    for leaf in request["leaves"]:
        root = roots[leaf["variable"]]
        if root is None:
            answers.append({"error": "gdb does not find the variable"})
            continue
        try:
            value, field, container = follow(root, [tuple(step) for step in leaf["steps"]])
            answers.append(describe(value, field, container))
        except (gdb.error, RuntimeError, TypeError, ValueError) as error:
            answers.append({"error": str(error)})
    with open(os.environ["QUILLMAP_PROBE_OUT"], "w") as stream:
        json.dump({"roots": [None if r is None else int(r.address) for r in roots], "answers": answers}, stream)


main()
