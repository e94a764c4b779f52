"""rawpcm.py — raw little-endian PCM (what `mp3decode --raw`, mpg123 -s and the reference .pcm
files hold) as Python arrays in this machine's byte order, for the tools and tests that compare
decoded audio."""
import array
import sys


def from_bytes(data, typecode="h"):
    """The samples of data: "h" signed 16-bit, "f" 32-bit float."""
    samples = array.array(typecode)
    samples.frombytes(data)
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def read(path, typecode="h"):
    with open(path, "rb") as f:
        return from_bytes(f.read(), typecode)
