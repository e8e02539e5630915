#!/usr/bin/env python3
"""Writes the committed seed corpora: small hand-made icon directories for the
picture boxes' walk, and fixed pseudo-random inputs for the two targets that
read their input as a sequence of choices. Run again only to change them."""
import random
import struct
from pathlib import Path

here = Path(__file__).resolve().parent


def icon_file(entries, image_size=8):
    """entries: (width, height, colours); images follow the directory back to back."""
    directory_end = 6 + 16 * len(entries)
    data = struct.pack("<HHH", 0, 1, len(entries))
    for i, (w, h, c) in enumerate(entries):
        data += struct.pack("<BBBBHHII", w, h, c, 0, 1, 32, image_size, directory_end + image_size * i)
    for i in range(len(entries)):
        data += bytes([i + 1]) * image_size
    return data


def write(target, name, data):
    folder = here / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def icon_seeds():
    good = icon_file([(128, 128, 0), (64, 64, 0), (32, 32, 0)])
    write("icon_directory", "last-image", good)
    write("icon_directory", "first-32-with-16-colours", icon_file([(48, 48, 0), (32, 32, 16), (16, 16, 0)]))
    write("icon_directory", "size-byte-zero-means-256", icon_file([(0, 0, 0)]))
    write("icon_directory", "truncated-header", good[:5])
    write("icon_directory", "truncated-directory", good[:6 + 16 + 7])
    write("icon_directory", "truncated-images", good[:-3])
    count_too_large = bytearray(good)
    struct.pack_into("<H", count_too_large, 4, 0xFFFF)
    write("icon_directory", "count-larger-than-file", bytes(count_too_large))
    past_end = bytearray(good)
    struct.pack_into("<I", past_end, 6 + 32 + 12, len(good))
    write("icon_directory", "offset-at-end", bytes(past_end))
    wraps = bytearray(good)
    struct.pack_into("<II", wraps, 6 + 32 + 8, 16, 0xFFFFFFF8)
    write("icon_directory", "offset-plus-size-wraps", bytes(wraps))
    zero = bytearray(good)
    struct.pack_into("<I", zero, 6 + 32 + 8, 0)
    write("icon_directory", "zero-size", bytes(zero))
    write("icon_directory", "no-images", icon_file([]))
    write("icon_directory", "cursor-file", b"\0\0\2\0" + good[4:])


def choice_seeds(target, count, size, rng):
    for i in range(count):
        write(target, f"random-{i:02}", bytes(rng.randrange(256) for _ in range(size(i))))


rng = random.Random(20261211)
icon_seeds()
choice_seeds("registry_read", 12, lambda i: 16 + 40 * i, rng)
choice_seeds("icon_folder_delete", 12, lambda i: 32 + 80 * i, rng)
