"""The result table the peer scrapers fill, kept as Pagrion keeps its own:
write-ahead log, a page's records in one transaction, no sync per page."""
import sqlite3

COLUMNS = 6


class Store:
    def __init__(self, path):
        self.db = sqlite3.connect(path)
        self.db.execute("pragma journal_mode = wal")
        self.db.execute("pragma synchronous = normal")
        columns = ", ".join(f"c{i} text" for i in range(1, COLUMNS + 1))
        self.db.execute(f"create table if not exists datalist (id integer primary key, {columns})")
        names = ", ".join(f"c{i}" for i in range(1, COLUMNS + 1))
        self.insert = f"insert into datalist ({names}) values ({', '.join('?' * COLUMNS)})"
        self.pages = 0
        self.records = 0

    def add_page(self, rows):
        rows = [(row + [""] * COLUMNS)[:COLUMNS] for row in rows]
        with self.db:
            self.db.executemany(self.insert, rows)
        self.pages += 1
        self.records += len(rows)
