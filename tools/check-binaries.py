#!/usr/bin/env python3
"""Static checks on the built Windows binaries of one flavour folder.

  - every DLL exports exactly the names of its .def file, undecorated
    (a 32-bit __stdcall export would appear as Name@N and GetProcAddress
    by name would fail);
  - the main program and the script library import the one shared Lua
    runtime, lua52.dll (two static copies corrupt Lua states);
  - no binary needs a runtime DLL of the compiler (the install directory
    carries none);
  - in the 32-bit build, no binary of the install directory imports a routine that Windows XP lacks:
    those are looked up at run time instead.

usage: check-binaries.py <build folder> <objdump>
"""
import re
import subprocess
import sys
from pathlib import Path

# Routines of Vista or later (or absent from XP's kernel32/user32/ntdll).
XP_MISSING = [
    r"K32\w+", r"QueryFullProcessImageName[AW]", r"GetTickCount64", r"InitOnce\w+",
    r"ChangeWindowMessageFilter(Ex)?", r"RtlGetVersion", r"GetNativeSystemInfo",
    r"CreateSymbolicLink[AW]", r"GetFinalPathNameByHandle[AW]", r"InitializeConditionVariable",
    r"SleepConditionVariable\w*", r"WakeAllConditionVariable", r"WakeConditionVariable",
    r"InitializeSRWLock", r"AcquireSRWLock\w+", r"ReleaseSRWLock\w+", r"TryAcquireSRWLock\w+",
    r"GetErrorMode", r"CreateEventEx[AW]", r"CreateMutexEx[AW]", r"CreateSemaphoreEx[AW]",
    r"GetProductInfo", r"Wow64DisableWow64FsRedirection", r"Wow64RevertWow64FsRedirection",
    r"IsWow64Process", r"CancelIoEx", r"GetQueuedCompletionStatusEx",
    r"SetFileInformationByHandle", r"GetFileInformationByHandleEx", r"FlsAlloc", r"FlsGetValue",
    r"FlsSetValue", r"FlsFree", r"GetLocaleInfoEx", r"LCMapStringEx", r"CompareStringEx",
    r"GetUserDefaultLocaleName", r"RegGetValue[AW]", r"RegDeleteTree[AW]", r"inet_pton",
    r"inet_ntop", r"InetPton[AW]", r"InetNtop[AW]", r"if_nametoindex", r"GetIfEntry2",
    r"GetIpInterfaceEntry", r"SHGetKnownFolderPath", r"DwmExtendFrameIntoClientArea",
    r"SetProcessDPIAware", r"TaskDialog\w*",
]
XP_MISSING_RE = re.compile(r"^(" + "|".join(XP_MISSING) + r")$")
COMPILER_RUNTIMES = {"libgcc_s_dw2-1.dll", "libgcc_s_seh-1.dll", "libstdc++-6.dll",
                     "libwinpthread-1.dll"}


def objdump(tool, path):
    return subprocess.run([tool, "-p", str(path)], check=True, capture_output=True,
                          text=True, errors="replace").stdout


def exports(dump):
    """Names of the export name table."""
    names, inside = [], False
    for line in dump.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            inside = True
            continue
        if inside:
            m = re.match(r"\s+\[\s*\d+\]\s+(\S+)", line)
            if not m:
                break
            names.append(m.group(1))
    return names


def imports(dump):
    """{dll name (lower case): [function names]}"""
    result, current = {}, None
    for line in dump.splitlines():
        m = re.match(r"\s+DLL Name: (\S+)", line)
        if m:
            current = m.group(1).lower()
            result.setdefault(current, [])
            continue
        m = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if current and m:
            result[current].append(m.group(1))
    return result


def def_names(path):
    names, inside = [], False
    for raw in Path(path).read_text().splitlines():
        line = raw.split(";", 1)[0].strip()
        if not line:
            continue
        if line.upper() == "EXPORTS":
            inside = True
            continue
        if inside:
            names.append(re.split(r"[\s=@]", line)[0])
    return names


def main():
    build, tool = Path(sys.argv[1]), sys.argv[2]
    source = Path(__file__).resolve().parent.parent
    is32 = "i686" in tool
    bins = build / "bin"
    failures = []
    dlls = {"Orlimb.dll": source / "engine/orlimb.def", "Seskel.dll": source / "scripting/seskel.def"}
    binaries = {name: bins / name
                for name in ["Varnak.exe", "Orlimb.dll", "Seskel.dll", "lua52.dll", "Kelvane.exe"]}
    # everything else the install directory ships (tools of its own) too
    dist = build / "dist" / "Varnak"
    for path in sorted(dist.rglob("*")) if dist.is_dir() else []:
        if path.suffix.lower() in (".exe", ".dll") and path.name not in binaries:
            binaries[str(path.relative_to(dist))] = path
    dumps = {}
    for name, path in binaries.items():
        if not path.exists():
            failures.append(f"{name}: not built")
            continue
        dumps[name] = objdump(tool, path)
        want = "pei-i386" if is32 else "pei-x86-64"
        if f"file format {want}" not in dumps[name]:
            failures.append(f"{name}: not {want}")

    for dll, deffile in dlls.items():
        if dll not in dumps:
            continue
        got, want = exports(dumps[dll]), def_names(deffile)
        decorated = [n for n in got if "@" in n]
        if decorated:
            failures.append(f"{dll}: decorated exports {decorated[:5]}")
        missing = sorted(set(want) - set(got))
        extra = sorted(set(got) - set(want))
        if missing:
            failures.append(f"{dll}: missing exports {missing}")
        if extra:
            failures.append(f"{dll}: exports not in {deffile.name}: {extra}")
        print(f"{dll}: {len(got)} exports, all as listed in {deffile.name}" if not (missing or extra or decorated) else f"{dll}: export table differs")

    for name in ("Varnak.exe", "Seskel.dll"):
        if name in dumps and "lua52.dll" not in imports(dumps[name]):
            failures.append(f"{name}: does not import lua52.dll (must share the one Lua runtime)")

    for name, dump in dumps.items():
        imp = imports(dump)
        runtimes = sorted(set(imp) & COMPILER_RUNTIMES)
        if runtimes:
            failures.append(f"{name}: needs compiler runtime DLLs {runtimes}")
        if is32:
            bad = sorted({f for funcs in imp.values() for f in funcs if XP_MISSING_RE.match(f)})
            if bad:
                failures.append(f"{name}: imports routines Windows XP lacks: {bad}")

    for f in failures:
        print("FAIL:", f)
    print(f"binary checks ({build.name}): {'FAILED' if failures else 'passed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
