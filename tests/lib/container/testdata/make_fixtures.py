#!/usr/bin/env python3
"""Writes the byte-level container fixtures of tst_containerfixtures.

The containers are laid out here by hand, independently of ContainerWriter;
positions and sizes come from len(), checksums from hashlib (the same digests
md5sum prints) and zlib. Running the script prints the values the test
expects; the committed fixtures must not change when it is rerun.
"""
import hashlib
import zlib

HEADER = b"%<--! $TRAXO_PDF [version:1.0]\n"


def md5(data):
    return hashlib.md5(data).hexdigest()


def file_marker(name, data, compression, filetype=b"text/plain", desc=b"", comment=b""):
    stored = zlib.compress(data) if compression == b"flate" else data
    md5c = md5(stored).encode() if compression == b"flate" else b""
    tag = (b"%<--! $TRAXO_EMBEDDEDFILE_BEGIN [filetype:" + filetype + b"][filename:" + name + b"][desc:" + desc
           + b"][comment:" + comment + b"][compression:" + compression + b"][filesize:" + str(len(data)).encode()
           + b"][cfilesize:" + str(len(stored)).encode() + b"][blocksize:" + str(len(stored) + 2).encode()
           + b"][offset:1][md5file:" + md5(data).encode() + b"][md5cfile:" + md5c + b"]-->")
    return tag + b"\n" + stored + b"\n", stored


def section_marker(title, left, size, index, md5section, previousmd5, previousmarker):
    return (b"%<--! $TRAXO_SECTION [version:1.0][creator:make_fixtures.py][title:" + title + b"][left:"
            + str(left).encode() + b"][size:" + str(size).encode() + b"][index:" + str(index).encode()
            + b"][md5section:" + md5section + b"][previousmd5:" + previousmd5 + b"][previousmarker:"
            + (str(previousmarker).encode() if previousmarker is not None else b"") + b"]-->\n")


def add_section(container, body, title, index, previous, marker_prefix=b""):
    """Appends body and a section marker; previous is (position, md5) or None.
    marker_prefix puts bytes before the marker on its line."""
    start = len(container)
    marker_line_start = start + len(body) + len(marker_prefix)
    position = marker_line_start + 1
    prev_md5 = previous[1] if previous else b""
    prev_marker = position - previous[0] if previous else None
    size = 0
    for _ in range(5):  # the size holds its own digits
        line = section_marker(title, position - start, size, index, b"0" * 32, prev_md5, prev_marker)
        size = len(body) + len(marker_prefix) + len(line)
    line = section_marker(title, position - start, size, index, b"0" * 32, prev_md5, prev_marker)
    section_bytes = body + marker_prefix + line
    assert len(section_bytes) == size
    digest = md5(section_bytes).encode()
    container += body + marker_prefix + section_marker(title, position - start, size, index, digest, prev_md5,
                                                       prev_marker)
    return position, digest, start, size


def describe(name, container):
    print("==", name, "size", len(container), "md5", md5(container))


# two_sections.traxo: a loose file, two sections (the second with a comment
# line between its files), a loose file after the last section.
out = bytearray(HEADER)
loose, _ = file_marker(b"readme.txt", b"loose before\n", b"none")
print("file 0 readme.txt position", len(out) + 1)
out += loose
a_data = b"hello\n"
a_block, _ = file_marker(b"a.txt", a_data, b"none")
s_data = b"<workflowstep><title>one</title></workflowstep>\n"
s_block, s_stored = file_marker(b"ws_summary.xml", s_data, b"flate", filetype=b"text/xml")
body = a_block + s_block
print("file 1 a.txt position", len(out) + 1, "md5file", md5(a_data))
print("file 2 ws_summary.xml position", len(out) + len(a_block) + 1, "cfilesize", len(s_stored), "md5cfile",
      md5(s_stored), "md5file", md5(s_data))
first = add_section(out, body, b"first \\] step", 0, None)
print("section 1 position", first[0], "md5section", first[1].decode(), "start", first[2], "size", first[3])
b_data = bytes(range(256)) * 40  # binary, with line feeds, 10240 bytes
b_block, b_stored = file_marker(b"b.dat", b_data, b"flate", filetype=b"application/octet-stream")
s2_data = b"<workflowstep><title>two</title></workflowstep>\n"
s2_block, _ = file_marker(b"ws_summary.xml", s2_data, b"none", filetype=b"text/xml")
body = b_block + b"% a comment line inside the section\n" + s2_block
print("file 3 b.dat position", len(out) + 1, "cfilesize", len(b_stored), "md5cfile", md5(b_stored), "md5file",
      md5(b_data))
second = add_section(out, body, b"second", 1, first[:2])
print("section 0 position", second[0], "md5section", second[1].decode(), "start", second[2], "size", second[3],
      "previousmarker", second[0] - first[0])
after, _ = file_marker(b"after.txt", b"", b"flate")
print("file 5 after.txt position", len(out) + 1)
out += after
describe("two_sections.traxo", out)
open("two_sections.traxo", "wb").write(out)

# The same container cut in the middle of the stored data of b.dat.
b_position = first[2] + first[3] + 1
b_data_start = b_position + b_block.index(b"-->") + 2 + 1
print("b.dat data start", b_data_start)
cut = out[:b_data_start + 100]
describe("cut_in_block.traxo", cut)
open("cut_in_block.traxo", "wb").write(cut)

# The same container with the older section's md5section in upper case: that
# marker no longer matches, so the chain breaks after the newest section.
broken = bytes(out).replace(b"[md5section:" + first[1] + b"]", b"[md5section:" + first[1].upper() + b"]")
assert len(broken) == len(out) and broken != bytes(out)
describe("broken_chain.traxo", broken)
open("broken_chain.traxo", "wb").write(broken)

# pdf_tail.pdf: a PDF header, the container header as second line, PDF body
# lines, and a section whose marker follows "%%EOF " on the same line.
out = bytearray(b"%PDF-1.4\n" + HEADER + b"1 0 obj\n<< /Type /Catalog >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n")
p_data = b"plot data 1 2 3\n"
p_block, _ = file_marker(b"plot.csv", p_data, b"none", filetype=b"text/csv")
print("pdf file 0 position", len(out) + 1)
tail = add_section(out, p_block, b"figure", 0, None, marker_prefix=b"%%EOF ")
print("pdf section position", tail[0], "md5section", tail[1].decode(), "start", tail[2], "size", tail[3])
describe("pdf_tail.pdf", out)
open("pdf_tail.pdf", "wb").write(out)
