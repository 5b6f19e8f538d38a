#!/usr/bin/env python3
# Reads every row of a CSV file with the standard csv module and writes them all again, every
# value quoted, lines ending in CR LF. The reference time for the table's CSV save and load.
import csv
import sys


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, newline='', encoding='latin-1') as f:
        rows = list(csv.reader(f))
    with open(target, 'w', newline='', encoding='latin-1') as f:
        csv.writer(f, quoting=csv.QUOTE_ALL, lineterminator='\r\n').writerows(rows)


if __name__ == '__main__':
    main()
