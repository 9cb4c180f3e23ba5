"""Syntax-checks the Objective-C++ sources against GNUstep's Foundation and
AppKit, the only Cocoa headers that install on Linux. What GNUstep lacks and
the sources use is declared in gnustep/apple_only.h, from Apple's pages;
everything else is checked against GNUstep's own declarations.
"""

import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CLANG = "/usr/bin/clang++-16"
# Debian builds GNUstep on GCC's Objective-C runtime, whose headers sit
# beside GCC's own.
GCC_OBJC = sorted(glob.glob("/usr/lib/gcc/x86_64-linux-gnu/*/include/objc/objc.h"))


def flags(root):
    if not GCC_OBJC:
        raise SystemExit("objc: GCC's Objective-C runtime headers are missing (libobjc-12-dev)")
    runtime = os.path.dirname(os.path.dirname(GCC_OBJC[-1]))
    return [
        CLANG, "-x", "objective-c++", "-std=c++20", "-fsyntax-only",
        "-fobjc-runtime=gcc", "-fobjc-exceptions", "-fconstant-string-class=NSConstantString",
        "-DGNUSTEP", "-DGNUSTEP_BASE_LIBRARY=1", "-DGNU_GUI_LIBRARY=1", "-DGNU_RUNTIME=1",
        "-Wall", "-Wextra", "-Werror",
        # GNUstep's headers declare what they return loosely (id<NSMenuItem>).
        "-Wno-incompatible-pointer-types",
        "-I" + os.path.join(HERE, "gnustep"), "-I/usr/include/GNUstep", "-isystem", runtime,
        "-I" + root, "-I" + os.path.join(root, "build", "generated"),
        "-isystem", "/usr/include/x86_64-linux-gnu/qt6",
        "-isystem", "/usr/include/x86_64-linux-gnu/qt6/QtCore",
        "-include", os.path.join(HERE, "gnustep", "apple_only.h"),
    ]


def main():
    root = os.path.abspath(sys.argv[1])
    sources = sys.argv[2:]
    failed = 0
    for source in sources:
        r = subprocess.run(flags(root) + [source], capture_output=True, text=True)
        if r.returncode != 0:
            failed += 1
            print(f"== objc {source}: failed\n{r.stdout}{r.stderr}", flush=True)
    print(f"objc: {len(sources)} sources against GNUstep, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
