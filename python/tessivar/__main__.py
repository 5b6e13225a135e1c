"""python3 -m tessivar batch RECORD... (see tessivar.batch.main)."""
import sys

from .batch import main

if __name__ == "__main__":
    args = sys.argv[1:]
    if not args or args[0] != "batch":
        sys.stderr.write("usage: python3 -m tessivar batch RECORD... [--scheduler ADDRESS] [--workers N]\n")
        sys.exit(2)
    sys.exit(main(args[1:]))
