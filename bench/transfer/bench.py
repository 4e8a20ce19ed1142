#!/usr/bin/env python3
"""tunelix-get beside aria2c and axel over loopback nginx mirrors (driven by run.sh).

setup: test files, nginx.conf and a program folder whose catalogue holds one row per
       (scenario, file) with the scenario's mirrors as its links, in order.
run:   interleaved runs (rep -> scenario -> file -> tool), /usr/bin/time figures, MD5
       check, requests and bytes served per run from the access log (split by a unique
       User-Agent), bytes on the wire from tc; results.csv and a median table.
"""
import argparse, csv, hashlib, os, random, re, shutil, statistics, subprocess, sys, time

D = os.environ.get("BENCH_DIR", "/tmp/tunelix-bench-transfer")
WWW, LOGS, OUT, PF = (os.path.join(D, x) for x in ("www", "logs", "out", "pf"))
LOG = os.path.join(LOGS, "access.log")

PLAIN = "http://127.0.0.1:8081"                       # unshaped
FAST, MED, SLOW = "http://127.0.0.1:8091", "http://127.0.0.2:8092", "http://127.0.0.3:8093"
DEAD = "http://127.0.0.4:8084"                        # nothing listens
RATE = {FAST: 1048576, MED: 524288, SLOW: 49152}
TC_CLASS = {"1:1": FAST, "1:2": MED, "1:3": SLOW}
SCEN = {
    "a_one_unshaped": ([PLAIN], ["s52428800.mp3"]),
    "b_3live": ([FAST, MED, SLOW], ["s1048577.mp3", "s5000000.mp3", "s10485763.mp3"]),
    "c_deadfirst": ([DEAD, FAST, MED, SLOW], ["s1048577.mp3", "s5000000.mp3", "s10485763.mp3"]),
    "c_deadlast": ([FAST, MED, SLOW, DEAD], ["s1048577.mp3", "s5000000.mp3", "s10485763.mp3"]),
}
SIZES = [1048577, 5000000, 10485763, 52428800]

NGINX = """worker_processes 1;
pid run/nginx.pid;
events { worker_connections 1024; }
http {
    default_type application/octet-stream;
    sendfile on;
    keepalive_timeout 30s;
    keepalive_requests 10000;
    log_format bench '$msec $server_port $status $request_method "$http_range" '
                     '$body_bytes_sent $request_time $connection $connection_requests '
                     '"$http_user_agent" $uri';
    access_log logs/access.log bench;
    client_body_temp_path tmp; proxy_temp_path tmp; fastcgi_temp_path tmp; uwsgi_temp_path tmp; scgi_temp_path tmp;
    root www;
    server { listen 127.0.0.1:8081; }
    server { listen 127.0.0.1:8091; }
    server { listen 127.0.0.2:8092; }
    server { listen 127.0.0.3:8093; }
}
"""

def md5(path):
    h = hashlib.md5()
    with open(path, "rb") as f:
        for b in iter(lambda: f.read(1 << 20), b""):
            h.update(b)
    return h.hexdigest()

def setup(a):
    os.makedirs(WWW, exist_ok=True)
    sums = {}
    for size in SIZES:
        p = os.path.join(WWW, f"s{size}.mp3")
        if not os.path.exists(p) or os.path.getsize(p) != size:
            with open(p, "wb") as f:
                f.write(random.Random(size).randbytes(size))
        sums[f"s{size}.mp3"] = md5(p)
    with open(os.path.join(D, "MD5SUMS"), "w") as f:
        for k, v in sums.items():
            f.write(f"{v}  {k}\n")
    conf = NGINX
    if os.geteuid() == 0:
        conf = "user root;\n" + conf
    open(os.path.join(D, "nginx.conf"), "w").write(conf)
    shutil.rmtree(PF, ignore_errors=True)
    os.makedirs(os.path.join(PF, "Ring"))
    lines, fid = [], 1000
    for scen, (mirrors, files) in SCEN.items():
        for fn in files:
            fid += 1
            urls = " ".join(m + "/" + fn for m in mirrors)
            lines.append(f"{fid} {fn} {os.path.getsize(os.path.join(WWW, fn))} {sums[fn]} {urls}")
    subprocess.run([os.path.join(a.bin, "transfer-bench-catalogue"), os.path.join(PF, "local.mdb")],
                   input="\n".join(lines) + "\n", text=True, check=True)
    open(os.path.join(D, "ids.txt"), "w").write("\n".join(lines) + "\n")

def row_ids():
    ids = {}
    fid = 1000
    for scen, (mirrors, files) in SCEN.items():
        for fn in files:
            fid += 1
            ids[(scen, fn)] = fid
    return ids

def tc_sent():
    txt = subprocess.run(["tc", "-s", "class", "show", "dev", "lo"], capture_output=True, text=True).stdout
    return {TC_CLASS[m.group(1)]: int(m.group(2))
            for m in re.finditer(r"class htb (\d+:\d+) .*?Sent (\d+) bytes", txt, re.S) if m.group(1) in TC_CLASS}

def log_rows(ua):
    rows = []
    if os.path.exists(LOG):
        for line in open(LOG, errors="replace"):
            if f'"{ua}"' in line:
                p = line.split()
                rows.append({"port": p[1], "status": p[2], "method": p[3], "bytes": int(p[5])})
    return rows

def command(tool, a, scen, fn, urls, out, ua, fid):
    n = str(len(urls))
    if tool == "aria2c":   # as the bench kit runs it: one connection per mirror
        return ["aria2c", "--no-conf=true", "-d", os.path.dirname(out), "-o", os.path.basename(out),
                "--allow-overwrite=true", "--auto-file-renaming=false", "--file-allocation=none",
                "--show-console-readout=false", "--summary-interval=0", "--console-log-level=error",
                "-U", ua, "-s", n, "-x", "1", "-k", "1M", "--connect-timeout=3", "--timeout=10",
                "--max-tries=3", "--retry-wait=1", "--checksum=md5=" + md5sum(fn)] + urls
    if tool == "axel":
        return ["axel", "-q", "-n", n, "-T", "10", "-U", ua, "-o", out] + urls
    if tool in ("tunelix", "tunelix_tuned"):
        # tuned: the end-game take-over and no pause between segments, to measure
        # what those two rules cost
        extra = ["--end-game-take-over", "--segment-pause-ms", "0"] if tool == "tunelix_tuned" else []
        return [os.path.join(a.bin, "tunelix-get"), "--folder", PF, "--quiet", "--attempts", "1",
                "--user-agent", ua] + extra + [str(fid)]
    raise SystemExit("unknown tool " + tool)

_sums = None
def md5sum(fn):
    global _sums
    if _sums is None:
        _sums = dict(reversed(l.split()) for l in open(os.path.join(D, "MD5SUMS")))
    return _sums[fn]

def one(tool, a, scen, fn, rep, fid):
    mirrors, _ = SCEN[scen]
    urls = [m + "/" + fn for m in mirrors]
    size = os.path.getsize(os.path.join(WWW, fn))
    ua = f"bench-{tool}-{scen}-{fn}-{rep}-{time.time_ns()}"
    out = os.path.join(PF, "Ring", fn) if tool.startswith("tunelix") else os.path.join(OUT, f"{tool}.{fn}")
    for p in (out, out + ".st", out + ".aria2", out + ".map", out + ".data"):
        if os.path.exists(p):
            os.remove(p)
    tc0 = tc_sent()
    cmd = ["/usr/bin/time", "-f", "TIME %e %U %S %M"] + command(tool, a, scen, fn, urls, out, ua, fid)
    try:
        r = subprocess.run(cmd, capture_output=True, text=True, timeout=a.timeout)
        rc, err = r.returncode, r.stderr
    except subprocess.TimeoutExpired as e:
        rc, err = "timeout", (e.stderr.decode() if isinstance(e.stderr, bytes) else (e.stderr or ""))
    t = [l for l in err.splitlines() if l.startswith("TIME ")]
    wall, user, sys_, rss = (t[-1].split()[1:] if t else ["", "", "", ""])
    ok = os.path.exists(out) and md5(out) == md5sum(fn)
    time.sleep(1.5)   # let nginx log aborted requests
    rows = log_rows(ua)
    tc1 = tc_sent()
    wire = sum(tc1.get(k, 0) - tc0.get(k, 0) for k in tc1) if scen != "a_one_unshaped" else ""
    served = sum(x["bytes"] for x in rows if x["status"] in ("200", "206"))
    live = sum(RATE.get(m, 0) for m in mirrors)
    phys = size / live if live else 0
    return {"tool": tool, "scenario": scen, "file": fn, "size": size, "rep": rep, "rc": rc, "md5_ok": ok,
            "wall_s": wall, "user_s": user, "sys_s": sys_, "maxrss_kb": rss, "requests": len(rows),
            "served_bytes": served, "wire_bytes_tc": wire,
            "phys_limit_s": round(phys, 3) if phys else "",
            "efficiency": round(phys / float(wall), 3) if phys and wall and ok else "",
            "err": err.strip().replace("\n", " | ")[:200] if not ok else ""}

def run(a):
    ids = row_ids()
    os.makedirs(OUT, exist_ok=True)
    res = []
    path = os.path.join(D, "results.csv")
    with open(path, "w", newline="") as f:
        w = None
        for rep in range(a.repeats):
            for scen in a.scenarios.split(","):
                for fn in SCEN[scen][1]:
                    for tool in a.tools.split(","):
                        row = one(tool, a, scen, fn, rep, ids[(scen, fn)])
                        if w is None:
                            w = csv.DictWriter(f, fieldnames=list(row)); w.writeheader()
                        w.writerow(row); f.flush(); res.append(row)
                        print(",".join(str(row[k]) for k in ("tool", "scenario", "file", "rc", "md5_ok", "wall_s",
                                                             "efficiency", "requests")), file=sys.stderr)
    summarize(res)

def summarize(rows):
    order = {"aria2c": 0, "axel": 1, "tunelix": 2, "tunelix_tuned": 3}
    keys = sorted({(r["scenario"], int(r["size"]), r["tool"]) for r in rows}, key=lambda k: (k[0], k[1], order.get(k[2], 9)))
    print("| scenario | size B | tool | ok/runs | median wall s | phys. limit s | median eff. | median CPU s | max RSS MB | median req. | wire/size | served/size |")
    print("|---|---:|---|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for s, size, t in keys:
        rr = [r for r in rows if (r["scenario"], int(r["size"]), r["tool"]) == (s, size, t)]
        ok = [r for r in rr if str(r["md5_ok"]) == "True"]
        med = lambda fn: statistics.median(fn(r) for r in ok) if ok else None
        wall = med(lambda r: float(r["wall_s"]))
        eff = med(lambda r: float(r["efficiency"])) if ok and ok[0]["efficiency"] != "" else None
        cpu = med(lambda r: float(r["user_s"]) + float(r["sys_s"]))
        rss = max((int(r["maxrss_kb"]) for r in rr if r["maxrss_kb"]), default=0) / 1024
        req = statistics.median(int(r["requests"]) for r in rr)
        if ok and ok[0]["wire_bytes_tc"] != "":
            ratio = med(lambda r: int(r["wire_bytes_tc"]) / size)
        else:
            ratio = med(lambda r: int(r["served_bytes"]) / size)
        served = med(lambda r: int(r["served_bytes"]) / size)
        rcs = sorted({str(r["rc"]) for r in rr if str(r["md5_ok"]) != "True"})
        f = lambda v, p: "-" if v is None else f"{v:.{p}f}"
        print(f"| {s} | {size} | {t} | {len(ok)}/{len(rr)}{' rc=' + '/'.join(rcs) if rcs else ''} | {f(wall, 2)} | "
              f"{rr[0]['phys_limit_s'] or '-'} | {f(eff, 2)} | {f(cpu, 2)} | {rss:.1f} | {req:g} | {f(ratio, 3)} | {f(served, 4)} |")

def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("mode", choices=["setup", "run", "summary"])
    ap.add_argument("--bin", required=False, default="")
    ap.add_argument("--tools", default="aria2c,axel,tunelix")
    ap.add_argument("--scenarios", default="a_one_unshaped,b_3live,c_deadfirst,c_deadlast")
    ap.add_argument("--repeats", type=int, default=3)
    ap.add_argument("--timeout", type=float, default=120)
    a = ap.parse_args()
    if a.mode == "setup":
        setup(a)
    elif a.mode == "run":
        run(a)
    else:
        summarize(list(csv.DictReader(open(os.path.join(D, "results.csv")))))

if __name__ == "__main__":
    main()
