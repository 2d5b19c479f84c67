#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""make sign's signing step on a release zip of the built programs, with a throw-away certificate.

Each program in the zip comes out with a signature osslsigncode verifies against that certificate;
the other entries come out byte for byte as they went in; an unsigned program and a signed one
changed by one byte after signing both fail verification, so the check can tell.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import zipfile

parser = argparse.ArgumentParser()
parser.add_argument("--sign-windows", required=True, help="packaging/sign-windows")
parser.add_argument("--programs", nargs="+", required=True)
ARGS = parser.parse_args()

failures = []


def verify(certificate, program):
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, "-in", program],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return result.returncode == 0 and "Signature verification: ok" in result.stdout, result.stdout


with tempfile.TemporaryDirectory() as work:
    key = os.path.join(work, "publisher.key")
    certificate = os.path.join(work, "publisher.crt")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Vextra test publisher", "-addext", "extendedKeyUsage=codeSigning",
                    "-keyout", key, "-out", certificate], check=True, stderr=subprocess.DEVNULL)

    # Laid out as CPack lays out the Windows zip: one folder, the programs beside a read-me.
    release = os.path.join(work, "vextra-test-win.zip")
    originals = {"vextra/README.txt": b"Read me.\r\n"}
    for program in ARGS.programs:
        with open(program, "rb") as built:
            originals["vextra/" + os.path.basename(program)] = built.read()
    with zipfile.ZipFile(release, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in originals.items():
            archive.writestr(name, data)

    subprocess.run([sys.executable, ARGS.sign_windows, "--key", key, "--cert", certificate, release], check=True)

    with zipfile.ZipFile(release) as archive:
        names = archive.namelist()
        if names != list(originals):
            failures.append(f"entries changed: {names} instead of {list(originals)}")
        for name in names:
            data = archive.read(name)
            if not name.endswith(".exe"):
                if data != originals[name]:
                    failures.append(f"{name} changed by signing")
                continue
            signed = os.path.join(work, os.path.basename(name))
            with open(signed, "wb") as out:
                out.write(data)
            ok, report = verify(certificate, signed)
            if not ok:
                failures.append(f"{name}: signature not verified:\n{report}")
            unsigned = signed + ".unsigned.exe"
            with open(unsigned, "wb") as out:
                out.write(originals[name])
            if verify(certificate, unsigned)[0]:
                failures.append(f"{name}: the unsigned program passes verification")
            # One byte of code changed after signing: the digest no longer matches.
            tampered = bytearray(data)
            tampered[0x400] ^= 0xFF
            tampered_path = signed + ".tampered.exe"
            with open(tampered_path, "wb") as out:
                out.write(tampered)
            if verify(certificate, tampered_path)[0]:
                failures.append(f"{name}: a program changed after signing passes verification")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
