#!/usr/bin/python3
"""requests as its users run it on many pages at once: 16 threads, each with
a Session of its own that keeps its connection, the first table's cells with
lxml in the thread that loaded the page, every table row a record in SQLite
from the main thread, one transaction per page.

Usage: threaded16.py URL-PATTERN COUNT DATABASE
(*) in the pattern runs from 1 to COUNT. Prints "pages N, records R".
Certificates are trusted as requests does by itself (REQUESTS_CA_BUNDLE).
"""
import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import requests
from lxml import html

import peerstore

THREADS = 16

local = threading.local()


def page_rows(url):
    if not hasattr(local, "session"):
        local.session = requests.Session()
    response = local.session.get(url, timeout=30)
    response.raise_for_status()
    document = html.fromstring(response.content)
    return [[cell.text_content().strip() for cell in row.xpath("./td|./th")]
            for row in document.xpath("(//table)[1]//tr")]


def main():
    pattern, count, database = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    store = peerstore.Store(database)
    urls = (pattern.replace("(*)", str(n)) for n in range(1, count + 1))
    with ThreadPoolExecutor(max_workers=THREADS) as pool:
        for rows in pool.map(page_rows, urls):
            store.add_page(rows)
    print(f"pages {store.pages}, records {store.records}")


if __name__ == "__main__":
    main()
