#!/usr/bin/python3
"""Times Close List after an accessibility client has read the task grid's cells over AT-SPI.

Starts close_list_harness on a list file, finds its task grid through the accessibility bus (as a
screen reader does), reads the name of every cell of the first ROWS rows (all rows by default),
then asks the harness to close the list and prints what it measured.

Needs an X display, a D-Bus session bus and pyatspi (Debian: xvfb, dbus, at-spi2-core,
python3-pyatspi; run with Debian's own /usr/bin/python3). bench/close_list_with_reader.sh sets
these up; run that one.
"""

import argparse
import os
import subprocess
import sys
import time

import pyatspi

APP_NAME = "close_list_harness"


def find_application(deadline):
    desktop = pyatspi.Registry.getDesktop(0)
    while time.monotonic() < deadline:
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == APP_NAME:
                return app
        time.sleep(0.2)
    raise SystemExit("the harness never showed up on the accessibility bus")


def find_table(node):
    """The first table under node, depth first, without walking into any table's cells."""
    if node.getRole() == pyatspi.ROLE_TABLE:
        return node
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is None:
            continue
        found = find_table(child)
        if found is not None:
            return found
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("harness")
    parser.add_argument("list")
    parser.add_argument("--rows", type=int, default=0,
                        help="rows to read (0: every row; below 0: none, to time the close alone)")
    args = parser.parse_args()

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    harness = subprocess.Popen([args.harness, args.list], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, text=True, env=env)
    try:
        if harness.stdout.readline().strip() != "ready":
            raise SystemExit("the harness did not open the list")
        app = find_application(time.monotonic() + 60)
        table = None
        deadline = time.monotonic() + 60
        while table is None and time.monotonic() < deadline:
            table = find_table(app)
            if table is None:
                time.sleep(0.2)
        if table is None:
            raise SystemExit("no table found in the harness's window")
        cells = table.queryTable()
        total_rows = cells.nRows
        rows = total_rows if args.rows == 0 else max(0, min(args.rows, total_rows))
        columns = cells.nColumns

        started = time.monotonic()
        read = 0
        kept = []  # cells asked about again while and after the list closes
        for row in range(rows):
            for column in range(columns):
                cell = cells.getAccessibleAt(row, column)
                if cell is not None:
                    cell.name  # what a screen reader speaks
                    read += 1
                    if read % 97 == 1 and len(kept) < 500:
                        kept.append(cell)
        walk = time.monotonic() - started

        harness.stdin.write("close\n")
        harness.stdin.flush()
        # Questions about cells read before: they reach the harness as it closes the list.
        gone = 0
        for cell in kept:
            try:
                cell.name
                cell.getRole()
            except Exception:
                gone += 1
        answer = harness.stdout.readline().split()
        if len(answer) != 4 or answer[0] != "closed":
            raise SystemExit("the harness did not close the list: %r" % answer)
        print("grid %d rows x %d columns; read %d cells in %.1f s; Close List %s ms (%s ms of "
              "processor time), then %s ms until the event queue was empty; %d cells asked about "
              "again as the list closed, %d of them answered as gone"
              % (total_rows, columns, read, walk, answer[1], answer[2], answer[3], len(kept), gone))
        sys.stdout.flush()
    finally:
        if harness.poll() is None:
            harness.stdin.close()
            try:
                harness.wait(timeout=60)
            except subprocess.TimeoutExpired:
                harness.kill()
    if harness.returncode != 0:
        raise SystemExit("the harness ended with status %d" % harness.returncode)


if __name__ == "__main__":
    main()
