"""The zip a Windows user unpacks holds the program and the listing tool without debug information,
the link page, the browser extension and the readme, each as the build made it, and nothing else.

    check_zip.py QUOVAR-VERSION.zip DIST_FOLDER"""
import json
import os
import re
import struct
import sys
import zipfile

PROGRAMS = ("Quovar/quovar.exe", "Quovar/tool/Drovik.exe")
ICON_SIZES = (16, 32, 48, 128)
EXTENSION = {"Quovar/browser/" + name for name in (
    "manifest.json", "background.js", "list.html", "list.js", "links.js", "read.js", "_locales/ja/messages.json",
    "_locales/en/messages.json", *("icons/quovar-%d.png" % size for size in ICON_SIZES))}
WANTED = {*PROGRAMS, "Quovar/EnumLinks.html", "Quovar/readme.txt", *EXTENSION}


def pe_header(data):
    """The offset of a PE file's COFF header, or None for anything else."""
    if data[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", data, 0x3C)[0] + 4
    return offset if data[offset - 4:offset] == b"PE\0\0" else None


def machine(data):
    """The machine field of a PE file's header, or None for anything else."""
    header = pe_header(data)
    return None if header is None else struct.unpack_from("<H", data, header)[0]


def section_names(data):
    """The names of a PE file's sections; a long name ("/N") read from the string table."""
    header = pe_header(data)
    count, symbols_at, symbols, optional = struct.unpack_from("<H4xIIH", data, header + 2)
    strings = symbols_at + 18 * symbols
    names = []
    for n in range(count):
        name = data[header + 20 + optional + 40 * n:][:8].rstrip(b"\0").decode("latin-1")
        if name.startswith("/") and name[1:].isdigit() and symbols_at:
            start = strings + int(name[1:])
            name = data[start:data.index(b"\0", start)].decode("latin-1")
        names.append(name)
    return names


def main():
    path, dist = sys.argv[1], sys.argv[2]
    failures = []
    with zipfile.ZipFile(path) as z:
        files = {i.filename for i in z.infolist() if not i.is_dir()}
        if files != WANTED:
            failures.append("files: %s" % sorted(files))
        contents = {name: z.read(name) for name in files & WANTED}
    for name, data in contents.items():
        with open(os.path.join(dist, name[len("Quovar/"):]), "rb") as f:
            if f.read() != data:
                failures.append("%s differs from the build's" % name)
    machines = {machine(contents.get(n, b"")) for n in PROGRAMS}
    if len(machines) != 1 or None in machines:
        failures.append("the two programs are not Windows programs of one machine: %r" % machines)
    else:
        for name in PROGRAMS:
            # A long section name that cannot be read counts too: the symbol table went, the name stayed.
            left = [s for s in section_names(contents[name]) if s.startswith((".debug_", "/"))]
            if left:
                failures.append("%s still has %s" % (name, ", ".join(left)))
    readme = contents.get("Quovar/readme.txt", b"")
    try:
        text = readme.decode("cp932")
        if "\n" in text.replace("\r\n", "") or "始め方" not in text or "Getting started" not in text:
            failures.append("the readme is not Japanese then English with CR LF line ends")
    except UnicodeDecodeError:
        failures.append("the readme is not in code page 932")
    page = contents.get("Quovar/EnumLinks.html", b"")
    script = contents.get("Quovar/browser/links.js", b"")
    if not page.isascii() or not script or script not in page or b'src="../browser/links.js"' in page:
        failures.append("the link page is not the project's with the extension's list script inside")
    try:
        manifest = json.loads(contents.get("Quovar/browser/manifest.json", b"{}"))
        version = re.search(r"quovar-([0-9.]+)\.zip$", path).group(1)
        if manifest.get("version") != version:
            failures.append("the extension's version %r is not the zip's %s" % (manifest.get("version"), version))
        # The build draws the icons; each must be a PNG of the size the manifest gives it.
        for size, icon in manifest.get("icons", {}).items():
            data = contents.get("Quovar/browser/" + icon, b"")
            if data[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack_from(">II", data, 16) != (int(size), int(size)):
                failures.append("the extension's icon %s is no %s-pixel PNG" % (icon, size))
        if set(manifest.get("icons", {})) != {str(size) for size in ICON_SIZES}:
            failures.append("the extension's icons: %r" % manifest.get("icons"))
    except (ValueError, struct.error):
        failures.append("the extension's manifest is no JSON")
    if failures:
        sys.exit("zip %s:\n  %s" % (path, "\n  ".join(failures)))
    print("zip %s: %s; no debug sections" % (os.path.basename(path), ", ".join(sorted(WANTED))))


if __name__ == "__main__":
    main()
