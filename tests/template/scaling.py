# SPDX-License-Identifier: MIT
"""The template is read at start-up: up to the size limit, the time it takes must grow in step with
its size and the memory stay within three times it, for plain and for deeply nested documents.
Each size is loaded by the template tool's `decode`, which does what the program does at start-up
(load, decode, XML check), in a process of its own whose peak memory GNU time reports (a process
started by Python directly would count Python's memory as its own)."""
import argparse
import os
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20
SIZES = (1 * MIB, 4 * MIB, 16 * MIB)
LIMIT = 16 * MIB
RUNS = 3


def manifest(size):
    """A manifest of about `size` bytes: one dependency, then files enough to fill it."""
    head = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">\n')
    entry = '<file name="library%07d.dll"/>\n'
    count = max(0, (size - len(head) - 12) // len(entry % 0))
    return head + "".join(entry % i for i in range(count)) + "</assembly>\n"


def encoded(tool, folder, text):
    source = os.path.join(folder, "manifest.xml")
    with open(source, "w") as f:
        f.write(text)
    target = os.path.join(folder, "encoded.dll")
    subprocess.run([tool, "encode", source, "-o", target], check=True)
    with open(target, "rb") as f:
        return f.read()


def plain_template(tool, folder, size):
    """An encoded manifest that fills all but a few bytes of `size` (the rest a hidden comment), so
    that templates of every size are made of the same text."""
    # The tool makes no template larger than the programs load: a first text of a size that surely
    # fits (about 3.5 bytes of RTF a character) tells how much text just fits; the loop shrinks
    # that further should it not.
    probe = size // 4
    text_size = probe * (size - 256) // len(encoded(tool, folder, manifest(probe)))
    while True:
        document = encoded(tool, folder, manifest(text_size))
        if len(document) + 14 <= size:
            return document[:-1] + b"{\\*\\comment " + b" " * (size - len(document) - 13) + b"}}"
        text_size = text_size * size // (len(document) + 64)


def nested_template(tool, folder, size):
    """The real template's text at the bottom of as many nested groups as fit."""
    document = encoded(tool, folder, manifest(200))
    depth = (size - len(document)) // 2
    start = document.index(b"\\pard")
    return document[:start] + b"{" * depth + document[start:-1] + b"}" * depth + b"}"


SHAPES = {"plain": plain_template, "nested": nested_template}


def make(tool, shape, size, path):
    """Writes the template of `shape` and `size` to `path` from a process of its own."""
    subprocess.run([sys.executable, __file__, "--template-tool", tool, "--make", shape, str(size), path], check=True)


def measure(tool, path):
    """The least wall time and the peak resident memory of `decode`, over a few runs."""
    best, peak = None, 0
    for _ in range(RUNS):
        start = time.perf_counter()
        result = subprocess.run(["/usr/bin/time", "-f", "%M", tool, "decode", path], stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True)
        elapsed = time.perf_counter() - start
        if result.returncode != 0:
            raise AssertionError("%s did not load: %s" % (path, result.stderr))
        best = elapsed if best is None else min(best, elapsed)
        peak = max(peak, int(result.stderr.split()[-1]) * 1024)
    return best, peak


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--template-tool", required=True)
    parser.add_argument("--make", nargs=3, metavar=("SHAPE", "SIZE", "PATH"))
    args = parser.parse_args()
    tool = args.template_tool
    if args.make:
        shape, size, path = args.make
        with tempfile.TemporaryDirectory() as folder, open(path, "wb") as f:
            f.write(SHAPES[shape](tool, folder, int(size)))
        return 0
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        tiny = os.path.join(folder, "tiny.dll")
        with open(tiny, "wb") as f:
            f.write(encoded(tool, folder, manifest(200)))
        _, base_memory = measure(tool, tiny)
        print("%-7s %9s %10s %12s %14s" % ("shape", "size", "time", "ns per byte", "memory / size"))
        for shape in SHAPES:
            per_byte = {}
            for size in SIZES:
                path = os.path.join(folder, "%s-%d.dll" % (shape, size))
                make(tool, shape, size, path)
                length = os.path.getsize(path)
                if not size - 64 <= length <= min(size, LIMIT):
                    raise AssertionError("%s template of %d bytes made for %d" % (shape, length, size))
                elapsed, memory = measure(tool, path)
                # The whole process per byte: its start weighs most on the smallest, so a busy
                # machine's noise cannot make the largest look dearer than it is.
                per_byte[size] = elapsed / length
                memory_ratio = (memory - base_memory) / length
                print("%-7s %6d MiB %8.1f ms %12.2f %14.2f" % (shape, size // MIB, elapsed * 1000,
                                                               per_byte[size] * 1e9, memory_ratio))
                if memory_ratio > 3:
                    failures.append("%s %d MiB: memory %.2f times the size" % (shape, size // MIB, memory_ratio))
            # Linear: the largest costs no more per byte than the smallest, with room for noise.
            if per_byte[SIZES[-1]] > 1.5 * per_byte[SIZES[0]]:
                failures.append("%s: %.2f ns per byte at %d MiB against %.2f at %d MiB" % (
                    shape, per_byte[SIZES[-1]] * 1e9, SIZES[-1] // MIB, per_byte[SIZES[0]] * 1e9, SIZES[0] // MIB))
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
