#!/usr/bin/env python3
"""Builds the engine tests' fixture files.

    make_fixtures.py resources OUTDIR   versioned.rc (GBK text, for windres -c 936) and icon.ico
    make_fixtures.py sign EXE OUTDIR    signed.exe and tampered.exe from EXE, signed with a
                                        fresh self-signed certificate (openssl, osslsigncode)
    make_fixtures.py zlib OUTDIR        plain.txt, packed.z (ratio below 10), dense.z (above 10)
"""
import os
import struct
import subprocess
import sys
import zlib

SIGNER = "瓦纳克测试签名"
COMPANY = "瓦纳克测试公司"
LONG_DESCRIPTION = "长" * 200  # 400 bytes in GBK: cut to 258 bytes by the engine


def icon_bytes():
    """A 32x32 32-bit icon: opaque red square with a transparent 4-pixel border."""
    w = h = 32
    xor = bytearray()
    for y in range(h):  # bottom-up rows
        for x in range(w):
            inside = 4 <= x < 28 and 4 <= y < 28
            xor += bytes((0, 0, 255, 255)) if inside else bytes((0, 0, 0, 0))
    and_rows = bytearray()
    for y in range(h):
        bits = 0
        for x in range(w):
            inside = 4 <= x < 28 and 4 <= y < 28
            bits = (bits << 1) | (0 if inside else 1)
        and_rows += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(and_rows), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(and_rows)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 22) + image


def resources(out):
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "icon.ico"), "wb") as f:
        f.write(icon_bytes())
    rc = f"""1 ICON "icon.ico"
1 VERSIONINFO
FILEVERSION 1,2,3,4
PRODUCTVERSION 1,2,3,4
FILEOS 0x4
FILETYPE 0x1
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "080404b0"
    BEGIN
      VALUE "CompanyName", "{COMPANY}"
      VALUE "FileDescription", "{LONG_DESCRIPTION}"
      VALUE "FileVersion", "9.9.9.9"
      VALUE "ProductName", "Varnak fixture"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x804, 1200
  END
END
"""
    with open(os.path.join(out, "versioned.rc"), "wb") as f:
        f.write(rc.encode("gbk"))


def text_section_offset(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + opt_size
    for i in range(sections):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0")
        raw_size, raw_ptr = struct.unpack_from("<II", data, entry + 16)
        if name == b".text":
            return raw_ptr + raw_size // 2
    raise SystemExit("no .text section")


def sign(exe, out):
    os.makedirs(out, exist_ok=True)
    key = os.path.join(out, "signer.key")
    cert = os.path.join(out, "signer.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-utf8", "-days", "3650",
                    "-subj", "/CN=" + SIGNER, "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    signed = os.path.join(out, "signed.exe")
    if os.path.exists(signed):
        os.remove(signed)
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Varnak fixture",
                    "-in", exe, "-out", signed], check=True, stdout=subprocess.DEVNULL)
    data = bytearray(open(signed, "rb").read())
    at = text_section_offset(data)
    data[at] ^= 0xFF
    with open(os.path.join(out, "tampered.exe"), "wb") as f:
        f.write(data)


def zlib_files(out):
    os.makedirs(out, exist_ok=True)
    plain = "".join("第%d行 line %d of the plain fixture\r\n" % (i, i * 7919 % 1009) for i in range(400)).encode("gbk")
    with open(os.path.join(out, "plain.txt"), "wb") as f:
        f.write(plain)
    packed = zlib.compress(plain)
    assert len(plain) <= 10 * len(packed), "packed.z must stay within the ratio"
    with open(os.path.join(out, "packed.z"), "wb") as f:
        f.write(packed)
    dense = zlib.compress(b"\0" * 100000)
    assert 100000 > 10 * len(dense)
    with open(os.path.join(out, "dense.z"), "wb") as f:
        f.write(dense)


def main(argv):
    if len(argv) >= 3 and argv[1] == "resources":
        resources(argv[2])
    elif len(argv) >= 4 and argv[1] == "sign":
        sign(argv[2], argv[3])
    elif len(argv) >= 3 and argv[1] == "zlib":
        zlib_files(argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
