#pragma once

namespace pagrion::bench {

// Batch runs against a distant HTTPS site: nginx offering HTTP/2, with a
// certificate from an authority made for the run, behind a relay that
// delays each way by 25 ms and then by 50 ms, serving pages of 10 KB and of
// 80 KB. Pagrion's static engine 16 pages at once, over HTTP/2 and over
// HTTP/1.1 alone, beside a 16-thread requests script and Scrapy with 16
// requests at once. Prints a row per run: pages per second, CPU time per
// page, and the TCP connections and TLS handshakes per page that nginx
// logged; then Pagrion's ratios to the width's own limit and to the peers.
// False when a run that did start did not do what it should.
bool runTlsSiteTable();

} // namespace pagrion::bench
