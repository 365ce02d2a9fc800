#!/usr/bin/env python3
"""make bench BENCH=scale: 1, 2, 4 and 8 pagrion-cli processes sharing one run
on a result server, against a site that answers after 100 ms, two requests at
once each. Prints, per number of processes: the whole run's seconds and pages
per second; the steady rate (the middle 80% of the pages, by when the server
stored them) and its speed-up over one process; the seconds from publishing
to the first page stored; and the CPU milliseconds per page of the processes,
the server and the site. Nothing checks them (targets: 4 processes at least
3.5 times one, 8 at least 6 times). The load average beside each line tells
what else the machine was doing.

usage: scale.py BUILD_DIR SOURCE_DIR [PAGES [PROCESSES...]]
"""
import http.server
import os
import pwd
import shutil
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

PG_BIN = "/usr/lib/postgresql/15/bin"
DELAY_S = 0.1
PROCESSES = (1, 2, 4, 8)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class SlowSite(http.server.BaseHTTPRequestHandler):
    """Every /pN.html is a table of 20 rows, sent after DELAY_S, as a distant site answers."""

    protocol_version = "HTTP/1.1"
    # The header and the body go out in two writes: with Nagle's algorithm the
    # body would wait for the client's delayed ACK, some 40 ms more per page.
    disable_nagle_algorithm = True

    def do_GET(self):
        time.sleep(DELAY_S)
        number = self.path.rsplit("/p", 1)[-1].split(".")[0]
        rows = "".join(f"<tr><td>物品{number}-{r}</td><td>{r * 10}</td></tr>" for r in range(20))
        body = f"<html><body><table><tr><th>名称</th><th>价格</th></tr>{rows}</table></body></html>".encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class ThreadingServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class Cluster:
    """A throwaway PostgreSQL cluster in a temporary folder, as nobody under root."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="pagrion-scale-")
        self.port = free_port()
        self.as_nobody = os.geteuid() == 0
        if self.as_nobody:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.dir, nobody.pw_uid, nobody.pw_gid)
        self.run("initdb", "-D", f"{self.dir}/data", "-U", "pagrion", "--auth=trust", "--no-sync", "-E", "UTF8",
                 "--locale=C")
        self.run("pg_ctl", "-D", f"{self.dir}/data", "-l", f"{self.dir}/log", "-w", "-o",
                 f"-p {self.port} -k {self.dir} -c listen_addresses=127.0.0.1 -c max_connections=200", "start")

    def run(self, program, *arguments):
        command = [f"{PG_BIN}/{program}", *arguments]
        if self.as_nobody:
            command = ["runuser", "-u", "nobody", "--", *command]
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, cwd=self.dir)

    def uri(self, database):
        return f"postgresql://pagrion@127.0.0.1:{self.port}/{database}"

    def sql(self, database, statement):
        done = subprocess.run(["psql", "-X", "-A", "-t", "-q", "-d", self.uri(database), "-c", statement],
                              capture_output=True, text=True)
        return done.stdout.strip()

    def cpu_seconds(self):
        """User and system time of the postmaster and its children (the backends that have ended included)."""
        with open(f"{self.dir}/data/postmaster.pid") as pid_file:
            postmaster = int(pid_file.readline())
        ticks = os.sysconf("SC_CLK_TCK")
        total = 0
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(entry) == postmaster:
                # utime, stime, and those of the children it waited for.
                total += sum(int(f) for f in fields[11:15])
            elif int(fields[1]) == postmaster:
                total += int(fields[11]) + int(fields[12])
        return total / ticks

    def close(self):
        try:
            self.run("pg_ctl", "-D", f"{self.dir}/data", "-m", "immediate", "-w", "stop")
        finally:
            shutil.rmtree(self.dir, ignore_errors=True)


def wait_all(processes):
    """Exit codes and the CPU seconds (user and system) of the processes, as they end."""
    codes, cpu = {}, 0.0
    while len(codes) < len(processes):
        pid, status, usage = os.wait4(-1, 0)
        codes[pid] = os.waitstatus_to_exitcode(status)
        cpu += usage.ru_utime + usage.ru_stime
    for process in processes:
        process.returncode = codes[process.pid]
    return [codes[p.pid] for p in processes], cpu


def measure(cli, program_folder, empty_folder, cluster, site, processes, pages):
    database = f"scale{processes}"
    cluster.sql("postgres", f"create database {database}")
    uri = cluster.uri(database)
    common = ["--engine=static", "--server", uri, "--concurrency", "2"]
    load = os.getloadavg()[0]
    cpu_before = cluster.cpu_seconds()
    site_before = os.times()
    started = time.monotonic()
    publisher = subprocess.Popen([cli, "batch", "--data", program_folder, *common, "--every-row", "--tables",
                                  "TableName0", "--pattern", f"{site}/p(*).html", "--from", "1", "--to", str(pages)],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while cluster.sql(database, "select count(*) from pagrion_run") not in ("1",):
        time.sleep(0.02)
    workers = [subprocess.Popen([cli, "worker", "--data", empty_folder, *common], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL) for _ in range(processes - 1)]
    codes, process_cpu = wait_all([publisher, *workers])
    seconds = time.monotonic() - started
    site_after = os.times()
    cpu = cluster.cpu_seconds() - cpu_before
    # The site is this script's own threads (its psql children are not counted).
    site_cpu = site_after.user + site_after.system - site_before.user - site_before.system
    stored = int(cluster.sql(database, "select count(*) from pagrion_page where state = 'stored'") or 0)
    span, first = cluster.sql(database,
                              "select extract(epoch from percentile_disc(0.9) within group (order by done_at)"
                              " - percentile_disc(0.1) within group (order by done_at)),"
                              " extract(epoch from min(done_at) - (select published from pagrion_run))"
                              " from pagrion_page where state = 'stored'").split("|")
    return {"seconds": seconds, "stored": stored, "steady": 0.8 * stored / max(float(span or 0), 1e-3),
            "first": float(first or 0), "server": cpu, "processes": process_cpu, "site": site_cpu, "codes": codes,
            "load": load}


def main():
    build, source = sys.argv[1], sys.argv[2]
    pages = int(sys.argv[3]) if len(sys.argv) > 3 else 960
    counts = [int(n) for n in sys.argv[4:]] or list(PROCESSES)
    cli = f"{build}/bin/pagrion-cli"
    if not os.path.exists(f"{PG_BIN}/initdb"):
        print("scale: PostgreSQL 15 is missing (scripts/install-deps installs it); skipped")
        return
    site_server = ThreadingServer(("127.0.0.1", 0), SlowSite)
    threading.Thread(target=site_server.serve_forever, daemon=True).start()
    site = f"http://127.0.0.1:{site_server.server_address[1]}"
    cluster = Cluster()
    work = tempfile.mkdtemp(prefix="pagrion-scale-folders-")
    try:
        program_folder = f"{work}/publisher"
        empty_folder = f"{work}/empty"
        os.makedirs(empty_folder)
        subprocess.run([f"{build}/tools/pagrion-initdb", program_folder, f"{source}/data/schema.sql",
                        f"{source}/data/seed.sql"], check=True, stdout=subprocess.DEVNULL)
        print(f"scale: {pages} pages answered after {DELAY_S * 1000:.0f} ms, --concurrency 2 per process "
              f"(at most {2 / DELAY_S:.0f} pages/s each), {os.cpu_count()} cores")
        print(f"{'processes':>9} {'seconds':>7} {'pages/s':>7} {'steady/s':>8} {'speed-up':>8} {'1st page s':>10}"
              f" {'CPU ms/page: processes':>22} {'server':>6} {'site':>5} {'load':>5}  exit")
        first = None
        for processes in counts:
            m = measure(cli, program_folder, empty_folder, cluster, site, processes, pages)
            per_page = 1000 / max(m["stored"], 1)
            first = first or m["steady"]
            print(f"{processes:>9} {m['seconds']:>7.1f} {m['stored'] / m['seconds']:>7.1f} {m['steady']:>8.1f}"
                  f" {m['steady'] / first:>7.2f}x {m['first']:>10.2f} {m['processes'] * per_page:>22.2f}"
                  f" {m['server'] * per_page:>6.2f} {m['site'] * per_page:>5.2f} {m['load']:>5.2f}"
                  f"  {','.join(map(str, m['codes']))}", flush=True)
        print("targets: 4 processes >= 3.5x, 8 processes >= 6x (on a machine with the cores for them)")
    finally:
        cluster.close()
        site_server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
