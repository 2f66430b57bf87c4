"""The lines of the M51 map and the CANape database as the end-to-end tests
read and expect them."""

import re

M51_LINE = re.compile(
    r"^([0-9a-f]{8})H     SYMBOL  DATA  (BYTE |WORD |DWORD|QWORD|INT8 |INT16|INT32|INT64|SIZE_NOT_SUPPORTED_\d+)    (.*)$"
)

WORD_SIZE = {"BYTE ": 1, "WORD ": 2, "DWORD": 4, "QWORD": 8, "INT8 ": 1, "INT16": 2, "INT32": 4, "INT64": 8}
SIGNED_WORDS = {"INT8 ", "INT16", "INT32", "INT64"}

CANAPE_HEADER = ['VERSION 104 COMMENT "CANAPE DB"', "GROUP 'QX_Signals' : \"\"", "['QX_Signals']"]

# (token, lower, upper) by (size, signed); the 8-byte rows keep the 32-bit limits.
ROWS = {
    (1, False): ("UINT(8)", "0", "255"),
    (2, False): ("UINT(16)", "0", "65535"),
    (4, False): ("UINT(32)", "0", "4294967295"),
    (8, False): ("UINT(64)", "0", "4294967295"),
    (1, True): ("INT(8)", "-128", "127"),
    (2, True): ("INT(16)", "-32768", "32767"),
    (4, True): ("INT(32)", "-2147483648", "2147483647"),
    (8, True): ("INT(64)", "-2147483648", "2147483647"),
}


class MapLine:
    __slots__ = ("address", "word", "name")

    def __init__(self, address, word, name):
        self.address = address
        self.word = word
        self.name = name

    @property
    def size(self):
        if self.word.startswith("SIZE_NOT_SUPPORTED_"):
            return int(self.word[len("SIZE_NOT_SUPPORTED_") :])
        return WORD_SIZE[self.word]

    @property
    def signed(self):
        return self.word in SIGNED_WORDS


def split_lines(data, what):
    """The lines of an output file; every line must end in CR LF."""
    text = data.decode("utf-8", "surrogateescape")
    if text and not text.endswith("\r\n"):
        raise ValueError("%s: the last line does not end in CR LF" % what)
    lines = text.split("\r\n")[:-1] if text else []
    for number, line in enumerate(lines, 1):
        if "\n" in line or "\r" in line:
            raise ValueError("%s line %d: a line end other than CR LF" % (what, number))
    return lines


def read_map(path):
    lines = []
    for number, line in enumerate(split_lines(open(path, "rb").read(), path), 1):
        match = M51_LINE.match(line)
        if not match:
            raise ValueError("%s line %d is no map line: %r" % (path, number, line))
        lines.append(MapLine(int(match.group(1), 16), match.group(2), match.group(3)))
    return lines


def type_word(size, signed):
    if size not in (1, 2, 4, 8):
        return "SIZE_NOT_SUPPORTED_%d" % size
    return {1: "INT8 ", 2: "INT16", 4: "INT32", 8: "INT64"}[size] if signed else {
        1: "BYTE ",
        2: "WORD ",
        4: "DWORD",
        8: "QWORD",
    }[size]


def type_row(size, signed):
    token, lower, upper = ROWS.get((size, signed), ROWS[(8, False)]) if size in (1, 2, 4, 8) else ROWS[(8, False)]
    return (
        '    "" '
        + token.ljust(11)
        + '"" 0 '
        + lower.ljust(20)
        + upper.ljust(20)
        + "CHARACTERISTIC       "
        + "WEAK_LIMITS "
        + lower.ljust(21)
        + upper
    )


def bit_field_row(bit_size, start, signed):
    mask = (1 << bit_size) - 1
    if signed:
        upper = mask // 2
        lower = -upper - 1
    else:
        lower, upper = 0, mask
    return (
        '    "" UINT(%d,%d) "" 0 %d%s%d (%d  %d)            CHARACTERISTIC  WEAK_LIMITS %d%s%d'
        % (bit_size, start & 0xFFFFFFFF, lower, " " * 11, upper, lower, upper, lower, " " * 19, upper)
    )


def bit_list(start, bit_size):
    return "".join(str((start + k) & 0xFFFFFFFF) for k in range(bit_size))


def bit_suffix(start, bit_size):
    return ("_Bit:" if bit_size == 1 else "_Bits:") + bit_list(start, bit_size)


def canape_line(output_name, address, row):
    field = ("'" + output_name + "'  ").replace("@", "_").replace(":", "_")
    return "VARIABLE 0x0 " + field.ljust(100) + "0x%08x" % address + row


ADDRESS_ZERO_WARNING = "Warning - Variable at address 0 left out: "
DUPLICATE_WARNING = "Warning - Duplicate Static VariableName: "
LOCATION_FILE = "  Location File: "


def address_zero_warnings(log_lines):
    """[(name, place)] of the variables the log lists as left out at address
    0, in order. They come after every duplicate-name warning, each followed
    by exactly one place line."""
    listed = []
    for number, line in enumerate(log_lines):
        if line.startswith(ADDRESS_ZERO_WARNING):
            following = log_lines[number + 1] if number + 1 < len(log_lines) else ""
            if not following.startswith(LOCATION_FILE):
                raise ValueError("log line %d: no place after %r" % (number + 1, line))
            listed.append((line[len(ADDRESS_ZERO_WARNING):], following[len(LOCATION_FILE):]))
        elif line.startswith(DUPLICATE_WARNING) and listed:
            raise ValueError("log line %d: a duplicate-name warning after the variables at address 0" % (number + 1))
    return listed
