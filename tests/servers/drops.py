"""Where the "drop" scenarios of the scripted servers break a transfer off. Every file (named by a
key) is dropped on its first 1 to 5 requests, the number fixed by the key; each drop falls at an
offset drawn from the key and the request's number, somewhere after the resume position and before
the end, so that every drop leaves new bytes behind and a part still to come."""
import random
import zlib


def drops_for(key):
    return zlib.crc32(key.encode()) % 5 + 1


def cut_offset(key, request_number, start, size):
    """The offset at which request `request_number` (1-based) of `key` stops sending, or None when
    it sends everything."""
    if request_number > drops_for(key) or size - start < 2:
        return None
    rng = random.Random("%s:%d" % (key, request_number))
    return start + 1 + rng.randrange(size - start - 1)
