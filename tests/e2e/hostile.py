#!/usr/bin/env python3
"""A hostile machine for the end-to-end run: uninstall entries with malformed values of every
field and icon files that are not what their names promise, among clean entries whose rows
are known exactly.

  hostile.py seed DRIVE_C OUT_DIR SEED [NOTEPAD REGEDIT ICONLESS]
      writes OUT_DIR/hostile.reg (UTF-8), the icon files under DRIVE_C/Hostile and
      OUT_DIR/expected.json
  hostile.py check OUT_DIR DRIVER_OUTPUT
      compares the rows and images the driver printed with expected.json; prints one
      "ok: ..." or "FAILED: ..." line per check and exits 1 on any failure
"""
import json
import os
import random
import shutil
import struct
import sys

UNINSTALL = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
WOW = r"SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
ROOTS = [("HKEY_LOCAL_MACHINE", UNINSTALL), ("HKEY_LOCAL_MACHINE", WOW),
         ("HKEY_CURRENT_USER", UNINSTALL)]
HOSTILE = "C:\\Hostile"

# Names in many scripts, with the characters that break naive quoting.
NAMES = ["Контур Офис", "Ελληνικά Εργαλεία", "日本語エディタ", "中文输入法", "한국어 사전",
         "العربية برنامج", "עברית כלי", "हिन्दी उपकरण", "ไทย โปรแกรม", "Café, \"Deluxe\" & Co",
         "Emoji 🎉 Party", "Zalgo Z̷a̷l̷g̷o", "Path C:\\Like\\Name", "Percent %PATH% 100%",
         "Semicolon; Comma, Quote'", "Tab-free [Brackets] {Braces}"]


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def hex_value(kind, data):
    body = ",".join("%02x" % b for b in data)
    return "hex(%x):%s" % (kind, body) if kind != 3 else "hex:" + body


def utf16(text, terminate=True):
    data = text.encode("utf-16-le", "surrogatepass")
    return data + (b"\0\0" if terminate else b"")


def ico(sizes=(16, 32)):
    """A valid icon file: 32-bit images with their masks."""
    images = []
    for size in sizes:
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = bytes([0x20, 0x80, 0xE0, 0xFF]) * size * size
        mask = bytes(((size + 31) // 32 * 4) * size)
        images.append(header + pixels + mask)
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                                 offset)
        offset += len(image)
    return directory + b"".join(images)


def malformed_files(notepad):
    """The icon files of a hostile machine: name -> bytes."""
    rng = random.Random(7)
    noise = bytes(rng.randrange(256) for _ in range(4096))
    valid = ico()
    program = open(notepad, "rb").read() if notepad else b""
    pe_at = struct.unpack_from("<I", program, 0x3C)[0] if program else 0
    files = {
        "empty.exe": b"",
        "text.exe": b"This is not a program.\r\n",
        "mz-only.exe": b"MZ",
        "mz-header.exe": b"MZ" + bytes(58) + struct.pack("<I", 0xFFFFFF00),
        "pe-offset-past-end.exe": b"MZ" + bytes(58) + struct.pack("<I", 0x7FFFFFF0) + bytes(200),
        "noise.ico": noise,
        "empty.ico": b"",
        # A header that claims 2,000 images in 100 bytes, and 65,535 in 4 KB.
        "count2000.ico": bytes([0, 0, 1, 0, 0xD0, 0x07]) + bytes(94),
        "count65535.ico": bytes([0, 0, 1, 0, 0xFF, 0xFF]) + bytes(4090),
        "cut.ico": valid[: len(valid) // 2],
        "offset-past-end.ico": valid[:18] + struct.pack("<I", 0x7FFFFF00) + valid[22:],
        "noise.dll": noise,
    }
    if program:
        files["cut-download.exe"] = program[: len(program) // 3]
        # Sections that claim ten times the data the file holds.
        grown = bytearray(program)
        sections = pe_at + 24 + struct.unpack_from("<H", program, pe_at + 20)[0]
        for i in range(struct.unpack_from("<H", program, pe_at + 6)[0]):
            at = sections + 40 * i + 16
            struct.pack_into("<I", grown, at, struct.unpack_from("<I", grown, at)[0] * 10 + 4096)
        files["sections-past-end.exe"] = bytes(grown)
    return files


def seed(drive_c, out, seed_text, notepad=None, regedit=None, iconless=None):
    rng = random.Random(int(seed_text))
    folder = os.path.join(drive_c, "Hostile")
    os.makedirs(os.path.join(folder, "Bad"), exist_ok=True)
    os.makedirs(os.path.join(folder, "Good"), exist_ok=True)
    os.makedirs(os.path.join(folder, "folder.ico"), exist_ok=True)
    for name, data in malformed_files(notepad).items():
        with open(os.path.join(folder, "Bad", name), "wb") as f:
            f.write(data)
    with open(os.path.join(folder, "Good", "app.ico"), "wb") as f:
        f.write(ico())
    good = {"ico": HOSTILE + "\\Good\\app.ico"}
    for kind, source in (("notepad", notepad), ("regedit", regedit), ("iconless", iconless)):
        if source:
            shutil.copyfile(source, os.path.join(folder, "Good", kind + ".exe"))
            good[kind] = HOSTILE + "\\Good\\" + kind + ".exe"

    bad_paths = [HOSTILE + "\\Bad\\" + name for name in sorted(malformed_files(notepad))]
    # Names that are no file, and a long path name the list finds only as written: the list
    # shows the placeholder or the default icon for them.
    no_files = ["\\\\?\\C:\\Hostile\\Bad\\count2000.ico", HOSTILE + "\\folder.ico", HOSTILE + "\\nul.ico", "CON", HOSTILE + "\\com1.exe",
                "\\\\server\\share\\app.ico", "\\\\.\\pipe\\icons"]

    def icon_forms(path):
        # Unquoted and quoted, with and without an icon index, a negative resource id too.
        return [path, path + ",0", '"%s"' % path, '"%s",0' % path, path + ",-101"]

    entries = []  # (root, parent, key, [lines])
    expected = {"clean": [], "icons": {}}

    def add(root_index, key, values):
        root, parent = ROOTS[root_index]
        entries.append((root, parent, key, values))
        return root, parent

    # Clean entries: exact texts in every column but the date and the icon source.
    clean = 0
    for kind, icon in sorted(good.items()):
        for form in icon_forms(icon):
            for name in NAMES[: 6 if kind != "ico" else len(NAMES)]:
                clean += 1
                caption = "%s %03d" % (name, clean)
                root, parent = add(clean % 3, "Clean %03d" % clean, [
                    ("DisplayName", quote(caption)),
                    ("Publisher", quote("Издатель, \"%d\"" % clean)),
                    ("DisplayVersion", quote("%d.%d" % (clean, clean * 7 % 100))),
                    ("InstallLocation", quote("C:\\Program Files\\%s\\" % caption)),
                    ("UninstallString", quote('"C:\\Program Files\\%s\\unins.exe" /S' % caption)),
                    ("URLInfoAbout", quote("https://example.com/%d?a=1,b=2" % clean)),
                    ("DisplayIcon", quote(form)),
                ])
                expected["clean"].append([caption, "Издатель, \"%d\"" % clean,
                                          "%d.%d" % (clean, clean * 7 % 100),
                                          "C:\\Program Files\\%s\\" % caption,
                                          '"C:\\Program Files\\%s\\unins.exe" /S' % caption, root,
                                          "\\" + parent + "\\Clean %03d" % clean,
                                          "https://example.com/%d?a=1,b=2" % clean])
                expected["icons"][caption] = kind

    # Entries whose icon file is malformed, in every form the value takes.
    for n, path in enumerate(bad_paths + no_files):
        for m, form in enumerate(icon_forms(path)):
            caption = "Broken Icon %02d.%d" % (n, m)
            add((n + m) % 3, caption, [("DisplayName", quote(caption)),
                                       ("UninstallString", quote("C:\\Hostile\\unins.exe")),
                                       ("DisplayIcon", quote(form))])
            expected["icons"][caption] = "default" if path in bad_paths else "nofile"
    expected["icons"]["No Icon File"] = "placeholder"
    add(2, "No Icon File", [("DisplayName", quote("No Icon File")),
                            ("UninstallString", quote("C:\\Gone\\unins.exe"))])

    # Malformed values of every field: wrong types, odd byte counts, no terminating NUL, control
    # characters, lone surrogates, huge texts.
    fields = ["DisplayName", "UninstallString", "Publisher", "DisplayVersion", "InstallLocation",
              "URLInfoAbout", "DisplayIcon", "InstallDate", "EstimatedSize", "SystemComponent",
              "IsMinorUpgrade", "ReleaseType", "ParentDisplayName", "QuietUninstallString",
              "WindowsInstaller", "NoRemove", "ModifyPath"]
    weird_texts = ["", " ", "\t\r\n", "\x01\x02\x1b[31m", "\ud800 lone", "tail \udfff",
                   "x" * 70000, "C:\\" + "deep\\" * 400 + "a.exe", "\"\"\"", ",,,", "%SystemRoot%",
                   "C:\\Hostile\\Bad\\count2000.ico,-99999999999", "rundll32.exe ,", "msiexec /x{"]

    def weird_value():
        kind = rng.randrange(9)
        if kind == 0:
            return "dword:%08x" % rng.randrange(1 << 32)
        if kind == 1:
            return hex_value(3, bytes(rng.randrange(256) for _ in range(rng.randrange(0, 40))))
        if kind == 2:
            # An odd byte count. (Wine's import tool cannot take a single byte of text.)
            return hex_value(1, utf16("x" + rng.choice(weird_texts), terminate=False) + b"\x41")
        if kind == 3:
            return hex_value(7, utf16("a\0b\0") + b"\0\0")
        if kind == 4:
            return hex_value(0xB, struct.pack("<Q", rng.randrange(1 << 64)))
        if kind == 5:
            return hex_value(2, utf16("%" + "x" * rng.randrange(1, 300) + "%\\app.ico"))
        if kind == 6:
            return hex_value(1, utf16(rng.choice(weird_texts)))
        if kind == 7:
            return hex_value(0x2A, bytes(rng.randrange(256) for _ in range(7)))
        return hex_value(1, b"")

    total = 1800
    n = 0
    while len(entries) < total:
        n += 1
        caption = "Odd %04d %s" % (n, rng.choice(NAMES))
        values = {"DisplayName": quote(caption), "UninstallString": quote("C:\\Odd\\unins.exe"),
                  "DisplayIcon": quote(rng.choice(bad_paths + no_files))}
        for field in rng.sample(fields, rng.randrange(1, 5)):
            values[field] = weird_value()
        add(n % 3, "Odd %04d" % n, list(values.items()))

    with open(os.path.join(out, "hostile.reg"), "w", encoding="utf-8", newline="") as f:
        f.write("Windows Registry Editor Version 5.00\r\n\r\n")
        for root, parent, key, values in entries:
            f.write("[%s\\%s\\%s]\r\n" % (root, parent, key))
            for name, value in values:
                f.write("%s=%s\r\n" % (quote(name), value))
            f.write("\r\n")
    with open(os.path.join(out, "expected.json"), "w", encoding="utf-8") as f:
        json.dump(expected, f, ensure_ascii=False)


def check(out, driver_output):
    expected = json.load(open(os.path.join(out, "expected.json"), encoding="utf-8"))
    lines = open(driver_output, encoding="utf-8", errors="surrogateescape").read().split("\n")
    rows = [line.split("\t")[1:] for line in lines if line.startswith("row\t")]
    images = {}
    for line in lines:
        if line.startswith("image\t"):
            _, caption, index = line.split("\t")[:3]
            images.setdefault(caption, set()).add(index)
    failures = 0

    def report(ok, text):
        nonlocal failures
        print(("ok: " if ok else "FAILED: ") + text)
        failures += 0 if ok else 1

    # Columns: caption, publisher, version, date, folder, uninstall, root, key, URL, icon.
    listed = {}
    for row in rows:
        if len(row) >= 9:
            listed.setdefault(row[0], []).append(row[:3] + row[4:9])
    wrong = [c for c in expected["clean"] if listed.get(c[0]) != [c]]
    report(not wrong, "%d clean entries listed once with their exact texts%s" % (
        len(expected["clean"]), "; first wrong: %s" % wrong[:1] if wrong else ""))

    slots = {}
    for caption, kind in expected["icons"].items():
        slots.setdefault(kind, set()).update(images.get(caption, set()))
    unshown = [c for c in expected["icons"] if len(images.get(c, ())) != 1]
    report(not unshown, "every entry shows one picture%s" % (
        "; not: %d, among them %s" % (len(unshown), unshown[:3]) if unshown else ""))
    nofile = slots.pop("nofile", set())
    for kind, shown in sorted(slots.items()):
        report(len(shown) == 1, "every %s icon shows one picture: %s" % (kind, sorted(shown)))
    report(nofile <= slots.get("placeholder", set()) | slots.get("default", set()),
           "names that are no file show the placeholder or the default: %s" % sorted(nofile))
    pictures = [next(iter(slots[k])) for k in ("ico", "notepad", "regedit", "placeholder", "default")
                if len(slots.get(k, ())) == 1]
    report(len(set(pictures)) == len(pictures) == 5,
           "own icons, the placeholder and the default are five pictures: %s" % pictures)
    if "iconless" in slots:
        report(len(slots["iconless"]) == 1 and slots["iconless"] == slots.get("default"),
               "a malformed file shows what a program without an icon shows")
    return failures


if __name__ == "__main__":
    if sys.argv[1] == "seed":
        seed(*sys.argv[2:])
    else:
        sys.exit(1 if check(sys.argv[2], sys.argv[3]) else 0)
