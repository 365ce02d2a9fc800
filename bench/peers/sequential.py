#!/usr/bin/python3
"""The plain way to scrape a list of pages: one page after the other with
requests, the first table's cells with lxml, every table row a record in
SQLite, one transaction per page.

Usage: sequential.py URL-PATTERN COUNT DATABASE
(*) in the pattern runs from 1 to COUNT. Prints "pages N, records R".
"""
import sys

import requests
from lxml import html

import peerstore


def main():
    pattern, count, database = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    store = peerstore.Store(database)
    session = requests.Session()
    for n in range(1, count + 1):
        response = session.get(pattern.replace("(*)", str(n)), timeout=30)
        response.raise_for_status()
        document = html.fromstring(response.content)
        rows = [[cell.text_content().strip() for cell in row.xpath("./td|./th")]
                for row in document.xpath("(//table)[1]//tr")]
        store.add_page(rows)
    print(f"pages {store.pages}, records {store.records}")


if __name__ == "__main__":
    main()
