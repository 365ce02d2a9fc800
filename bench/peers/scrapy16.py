#!/usr/bin/python3
"""Scrapy as its users run it on a list of pages: 16 requests in flight, the
first table's cells through Scrapy's selectors, every table row a record in
SQLite from an item pipeline, one transaction per page.

Usage: scrapy16.py URL-PATTERN COUNT DATABASE
(*) in the pattern runs from 1 to COUNT. Prints "pages N, records R".
Scrapy checks no server certificate unless told to, so an https:// pattern
needs nothing more.
"""
import sys

import scrapy
from scrapy.crawler import CrawlerProcess

import peerstore


class PageSpider(scrapy.Spider):
    name = "pages"

    def __init__(self, pattern, count, **kwargs):
        super().__init__(**kwargs)
        self.pattern = pattern
        self.count = count

    def start_requests(self):
        for n in range(1, self.count + 1):
            yield scrapy.Request(self.pattern.replace("(*)", str(n)), dont_filter=True)

    def parse(self, response):
        rows = [["".join(cell.xpath(".//text()").getall()).strip() for cell in row.xpath("./td|./th")]
                for row in response.xpath("(//table)[1]//tr")]
        yield {"rows": rows}


class StorePipeline:
    def open_spider(self, spider):
        self.store = peerstore.Store(spider.settings.get("PEER_DATABASE"))

    def process_item(self, item, spider):
        self.store.add_page(item["rows"])
        return item

    def close_spider(self, spider):
        print(f"pages {self.store.pages}, records {self.store.records}")


def main():
    pattern, count, database = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    process = CrawlerProcess(settings={
        "CONCURRENT_REQUESTS": 16,
        "CONCURRENT_REQUESTS_PER_DOMAIN": 16,
        "ROBOTSTXT_OBEY": False,
        "COOKIES_ENABLED": False,
        "RETRY_ENABLED": False,
        "TELNETCONSOLE_ENABLED": False,
        "LOG_LEVEL": "ERROR",
        "REQUEST_FINGERPRINTER_IMPLEMENTATION": "2.7",
        "ITEM_PIPELINES": {"__main__.StorePipeline": 100},
        "PEER_DATABASE": database,
    })
    process.crawl(PageSpider, pattern=pattern, count=count)
    process.start()


if __name__ == "__main__":
    main()
