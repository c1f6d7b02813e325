"""The bytes every test file is made of: byte i of a file is a fixed function of i, so a test can
check any range of a download without keeping a copy of the source."""


def content_byte(i):
    return (i * 31 + (i >> 8)) & 0xFF


def content(start, end):
    return bytes(content_byte(i) for i in range(start, end))
