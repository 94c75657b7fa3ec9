import sys

from kesa_ui.demo import main

if __name__ == "__main__":
    sys.exit(main())
