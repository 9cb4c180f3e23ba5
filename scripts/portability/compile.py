"""Compiles every product source that macOS builds, without linking, with
another system's toolchain: Zig's (macOS's C library, system headers and
libc++, for aarch64 and x86_64) or clang 16 against libc++ 16, the library of
the oldest Xcode the launcher supports.

The flags of each source come from the build's compile_commands.json, so
every source is checked with the definitions and include folders it is
really built with. Qt's headers are this machine's: macOS's Qt differs in
its configuration header only.
"""

import concurrent.futures
import fnmatch
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile

import linux_calls

PRODUCT = ("app/", "core/", "net/", "update/", "compat/", "client/", "selfupdate/",
           "model/", "ui/", "platform/", "tools/")
# The tests, for the "tests" toolchain: what a Mac builds with the product.
# Left out: what CMake builds on Linux only.
TESTS = ("tests/",)
LINUX_ONLY_TESTS = ["tests/app/*", "tests/reliability/full_disk_test.cpp"]
ZIG = [sys.executable, "-m", "ziglang", "c++"]
CLANG16 = ["/usr/bin/clang++-16", "-stdlib=libc++", "-fsyntax-only"]
# What the macOS build defines (CMakeLists.txt): no Qt API that 6.4 deprecates.
QT_FLAGS = ["-DQT_DISABLE_DEPRECATED_BEFORE=0x060400", "-DQT_DISABLE_DEPRECATED_UP_TO=0x060400"]
# Xcode 15's clang warns about what clang 16 does; Zig's newer clang warns
# about more, and about flags it passes itself.
ZIG_FLAGS = ["-Wno-unused-command-line-argument"]

# Zig sees only its own system headers: the libraries' headers it needs are
# linked into a folder of their own, never /usr/include itself, whose glibc
# headers would hide macOS's.
SHADOWED = {
    "curl": "/usr/include/x86_64-linux-gnu/curl",
    "archive.h": "/usr/include/archive.h",
    "archive_entry.h": "/usr/include/archive_entry.h",
    "openssl": "/usr/include/openssl",
    "openssl/opensslconf.h": "/usr/include/x86_64-linux-gnu/openssl/opensslconf.h",
    "openssl/configuration.h": "/usr/include/x86_64-linux-gnu/openssl/configuration.h",
    "gtest": "/usr/include/gtest",
    "gmock": "/usr/include/gmock",
    "httplib.h": "/usr/include/httplib.h",
    "brotli": "/usr/include/brotli",
    "benchmark": "/usr/include/benchmark",
}


def product_entries(root, build, folders=PRODUCT, skipped=()):
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    chosen = {}
    for e in entries:
        rel = os.path.relpath(e["file"], root)
        if rel.startswith("..") or not rel.startswith(folders):
            continue
        if any(fnmatch.fnmatch(rel, p) for p in linux_calls.LINUX_ONLY_FILES + list(skipped)):
            continue
        chosen.setdefault(rel, e)
    # Sources only macOS builds are not in Linux's list: each is compiled
    # with the flags of a source of its folder that is.
    if folders == PRODUCT:
        mac_only = subprocess.run(["git", "-C", root, "ls-files", "*_mac.cpp"],
                                  capture_output=True, text=True, check=True).stdout.split()
        for rel in mac_only:
            sibling = next((e for k, e in chosen.items()
                            if os.path.dirname(k) == os.path.dirname(rel)), None)
            if rel.startswith(PRODUCT) and rel not in chosen and sibling:
                chosen[rel] = dict(sibling, file=os.path.join(root, rel))
    return [chosen[k] for k in sorted(chosen)]


def own_flags(entry):
    """The entry's definitions, include folders, language and warnings."""
    words = shlex.split(entry["command"]) if "command" in entry else entry["arguments"]
    flags = []
    it = iter(words[1:])
    for w in it:
        if w in ("-o", "-c"):
            if w == "-o":
                next(it, None)
            continue
        if w == "-isystem":
            folder = next(it)
            # Linux's platform definitions of Qt; no source of ours reads them.
            if "/mkspecs/" not in folder:
                flags += ["-isystem", folder]
        elif w.startswith(("-D", "-I", "-std=", "-W")):
            flags.append(w)
    return flags


def shadow_include(work):
    """A folder of links to the headers in SHADOWED. openssl/ is a folder of
    its own: its header links sit beside the two per-architecture ones."""
    folder = os.path.join(work, "include")
    os.makedirs(os.path.join(folder, "openssl"), exist_ok=True)
    for header in os.listdir(SHADOWED["openssl"]):
        dest = os.path.join(folder, "openssl", header)
        if not os.path.lexists(dest):
            os.symlink(os.path.join(SHADOWED["openssl"], header), dest)
    for name, target in SHADOWED.items():
        link = os.path.join(folder, name)
        if name == "openssl":
            continue
        if not os.path.exists(target):
            raise SystemExit(f"compile: {target} is missing (scripts/packages.txt installs it)")
        if os.path.islink(link) and os.readlink(link) != target:
            os.remove(link)
        if not os.path.lexists(link):
            os.symlink(target, link)
    return folder


def make_mocs(root, entries, work, moc):
    """Runs moc for sources that include their own "<name>.moc"."""
    folder = os.path.join(work, "moc")
    os.makedirs(folder, exist_ok=True)
    pattern = re.compile(r'^#include "(\w+)\.moc"', re.M)
    for e in entries:
        with open(e["file"], encoding="utf-8") as f:
            for name in pattern.findall(f.read()):
                out = os.path.join(folder, name + ".moc")
                subprocess.run([moc, e["file"], "-o", out], check=True)
    return folder


def command(toolchain, entry, extra):
    flags = own_flags(entry) + QT_FLAGS + extra
    if toolchain == "libc++16":
        return CLANG16 + flags + [entry["file"]]
    target = {"aarch64": "aarch64-macos.11.0", "x86_64": "x86_64-macos.11.0",
              "tests": "aarch64-macos.11.0"}[toolchain]
    # Zig cannot stop after parsing (-fsyntax-only); an unoptimised object
    # thrown away costs little more.
    out = os.path.join(tempfile.gettempdir(), "qh-portability-%d.o" % os.getpid())
    return ZIG + ["-target", target, "-g0"] + ZIG_FLAGS + flags + ["-c", entry["file"], "-o", out]


def zig_environment():
    """The environment Zig runs in: scripts/setup installs it into a folder
    of its own when the system's Python has none."""
    env = dict(os.environ)
    own = os.environ.get("QH_ZIG_DIR", os.path.expanduser("~/.cache/quellhaven/python"))
    env["PYTHONPATH"] = os.pathsep.join(p for p in (own, env.get("PYTHONPATH")) if p)
    return env


ENVIRONMENT = zig_environment()


def run_one(args):
    name, cmd = args
    r = subprocess.run(cmd, capture_output=True, text=True, env=ENVIRONMENT)
    return name, r.returncode, r.stdout + r.stderr


def main():
    root = os.path.abspath(sys.argv[1])
    build = os.path.abspath(sys.argv[2])
    toolchains = sys.argv[3].split(",")
    jobs = int(os.environ.get("JOBS", "2"))
    work = os.path.join(build, "portability")
    if any(tc != "libc++16" for tc in toolchains):
        probe = subprocess.run([sys.executable, "-c", "import ziglang"], env=ENVIRONMENT)
        if probe.returncode != 0:
            print("zig: Python's ziglang is not installed (scripts/setup installs it)")
            return 1
    if "libc++16" in toolchains and not os.path.exists("/usr/include/c++/v1/version"):
        print("libc++16: libc++ 16 is not installed (libc++-16-dev)")
        return 1
    if toolchains == ["tests"]:
        entries = product_entries(root, build, TESTS, LINUX_ONLY_TESTS)
    else:
        entries = product_entries(root, build)
    # ONLY=<regex> narrows the sources, for a quick look at one of them.
    if os.environ.get("ONLY"):
        entries = [e for e in entries if re.search(os.environ["ONLY"], e["file"])]
    moc = os.environ.get("QH_MOC", "/usr/lib/qt6/libexec/moc")
    extra = ["-I" + make_mocs(root, entries, work, moc)]
    zig_extra = extra + ["-isystem", shadow_include(work)]
    tasks = []
    for tc in toolchains:
        for e in entries:
            rel = os.path.relpath(e["file"], root)
            # Linux's headers under libc++: a macOS-only source cannot build there.
            if tc == "libc++16" and rel.endswith("_mac.cpp"):
                continue
            tasks.append((f"{tc} {rel}", command(tc, e, extra if tc == "libc++16" else zig_extra)))
    failed = 0
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for name, rc, output in pool.map(run_one, tasks):
            if rc != 0:
                failed += 1
                print(f"== {name}: failed\n{output}", flush=True)
    for tc in toolchains:
        print(f"{tc}: {len(entries)} sources", "" if not failed else "(see failures above)")
    if failed:
        print(f"compile: {failed} of {len(tasks)} compilations failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
