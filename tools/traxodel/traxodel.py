#!/usr/bin/env python3
"""Starts the traxodel program that lies beside this script.

The runners start "python traxodel.py"; the work is done by the compiled program,
which gets the same arguments, standard input and output, and whose exit code
is this script's.
"""
import os
import subprocess
import sys


def main():
    here = os.path.dirname(os.path.realpath(__file__))
    program = os.path.join(here, "traxodel" + (".exe" if os.name == "nt" else ""))
    if not os.path.isfile(program):
        print("***ERROR cannot find the traxodel program beside " + os.path.realpath(__file__))
        return 127
    sys.stdout.flush()
    if os.name == "posix":
        try:
            os.execv(program, [program] + sys.argv[1:])
        except OSError as error:
            print("***ERROR cannot start %s: %s" % (program, error))
            return 126
    return subprocess.call([program] + sys.argv[1:])


if __name__ == "__main__":
    sys.exit(main())
