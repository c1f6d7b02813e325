"""The zip a Windows user unpacks holds the program, the listing tool, the link page and the readme,
each as the build made it, and nothing else.

    check_zip.py QUOVAR-VERSION.zip DIST_FOLDER"""
import os
import struct
import sys
import zipfile

WANTED = {"Quovar/quovar.exe", "Quovar/tool/Drovik.exe", "Quovar/EnumLinks.html", "Quovar/readme.txt"}


def machine(data):
    """The machine field of a PE file's header, or None for anything else."""
    if data[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


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
    machines = {machine(contents.get(n, b"")) for n in ("Quovar/quovar.exe", "Quovar/tool/Drovik.exe")}
    if len(machines) != 1 or None in machines:
        failures.append("the two programs are not Windows programs of one machine: %r" % machines)
    readme = contents.get("Quovar/readme.txt", b"")
    try:
        text = readme.decode("cp932")
        if "\n" in text.replace("\r\n", "") or "始め方" not in text or "Getting started" not in text:
            failures.append("the readme is not Japanese then English with CR LF line ends")
    except UnicodeDecodeError:
        failures.append("the readme is not in code page 932")
    page = contents.get("Quovar/EnumLinks.html", b"")
    if not page.isascii() or b"QuovarLinks" not in page:
        failures.append("the link page is not the project's")
    if failures:
        sys.exit("zip %s:\n  %s" % (path, "\n  ".join(failures)))
    print("zip %s: %s" % (os.path.basename(path), ", ".join(sorted(WANTED))))


if __name__ == "__main__":
    main()
