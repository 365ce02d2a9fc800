#!/usr/bin/env python3
"""make bench BENCH=scale: 1, 2, 4 and 8 pagrion-cli processes sharing one run
on a result server, against a site that answers after 100 ms, two requests at
once each. Prints pages per second, the speed-up over one process and the
server's own CPU time per page; nothing checks them (targets: 4 processes at
least 3.5 times one, 8 at least 6 times).

usage: scale.py BUILD_DIR SOURCE_DIR [PAGES]
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


def measure(cli, program_folder, empty_folder, cluster, site, processes, pages):
    database = f"scale{processes}"
    cluster.sql("postgres", f"create database {database}")
    uri = cluster.uri(database)
    common = ["--engine=static", "--server", uri, "--concurrency", "2"]
    cpu_before = cluster.cpu_seconds()
    started = time.monotonic()
    publisher = subprocess.Popen([cli, "batch", "--data", program_folder, *common, "--every-row", "--tables",
                                  "TableName0", "--pattern", f"{site}/p(*).html", "--from", "1", "--to", str(pages)],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while cluster.sql(database, "select count(*) from pagrion_run") not in ("1",):
        time.sleep(0.02)
    workers = [subprocess.Popen([cli, "worker", "--data", empty_folder, *common], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL) for _ in range(processes - 1)]
    codes = [publisher.wait()] + [worker.wait() for worker in workers]
    seconds = time.monotonic() - started
    cpu = cluster.cpu_seconds() - cpu_before
    stored = int(cluster.sql(database, "select count(*) from pagrion_page where state = 'stored'") or 0)
    return seconds, stored, cpu, codes


def main():
    build, source = sys.argv[1], sys.argv[2]
    pages = int(sys.argv[3]) if len(sys.argv) > 3 else 480
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
        print(f"scale: {pages} pages answered after {DELAY_S * 1000:.0f} ms, --concurrency 2 per process, "
              f"{os.cpu_count()} cores")
        print(f"{'processes':>9} {'seconds':>8} {'pages/s':>8} {'speed-up':>8} {'server CPU ms/page':>19}  exit")
        first = None
        for processes in PROCESSES:
            seconds, stored, cpu, codes = measure(cli, program_folder, empty_folder, cluster, site, processes, pages)
            rate = stored / seconds
            first = first or rate
            print(f"{processes:>9} {seconds:>8.1f} {rate:>8.1f} {rate / first:>7.2f}x {cpu * 1000 / max(stored, 1):>19.2f}"
                  f"  {','.join(map(str, codes))}")
        print("targets: 4 processes >= 3.5x, 8 processes >= 6x (on a machine with the cores for them)")
    finally:
        cluster.close()
        site_server.shutdown()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
