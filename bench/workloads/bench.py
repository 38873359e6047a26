#!/usr/bin/env python3
"""Every benchmark workload beside its peers, in one run, in one table.

Called by bench/run.sh, which installs the peers, builds the program and the
corpus. Each workload is done by quorvel-cli (or, for the older scripts, by
the engine they drive) and by the peer tools on the same files on the same
machine, one after the other. Seconds are wall-clock for the whole batch,
process start-up included; every tool works on -j files at once (ours with
-j, each peer as that many processes, each with its own default threading).
Bytes are the outputs' total. Similarity is computed by imgsim for every
tool alike: PSNR over RGB and mean SSIM of luma against the source (an
output smaller than the source is scaled back up first).

Peak memory (MB) is the largest resident set (/usr/bin/time -f %M) of a
second, separate pass that gives every tool the first file alone (ours with
-j 1), so that it reads as memory per file for every tool alike.

The older benchmark scripts (bench/gif, bench/pdf, bench/codec) are run as
they are and their printed results folded into the table.

Usage: bench.py --build DIR --corpus DIR --work DIR --jobs N [--quick] [--runs N] [--cli PATH]
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

ROWS = []  # dicts: workload, tool, seconds, bytes, psnr, ssim, note


def log(text):
    print(text, file=sys.stderr, flush=True)


def row(workload, tool, seconds=None, size=None, psnr=None, ssim=None, note="", rss=None):
    ROWS.append(dict(workload=workload, tool=tool, seconds=seconds, bytes=size, psnr=psnr,
                     ssim=ssim, note=note, rss=rss))


def folder_bytes(path):
    total = 0
    for root, _, files in os.walk(path):
        total += sum(os.path.getsize(os.path.join(root, f)) for f in files)
    return total


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def run_batch(commands, jobs):
    """Runs the commands, at most jobs at once; wall-clock seconds for all."""
    return run_measured(commands, jobs)[0]


def run_measured(commands, jobs):
    """Runs the commands, at most jobs at once, each under /usr/bin/time;
    (wall-clock seconds for all, largest peak resident set of one command in MB)."""
    start = time.perf_counter()
    running = []
    pending = list(commands)
    peak_kb = 0
    while pending or running:
        while pending and len(running) < jobs:
            fd, report = tempfile.mkstemp(prefix="rss-")
            os.close(fd)
            command = ["/usr/bin/time", "-f", "%M", "-o", report] + pending.pop(0)
            running.append((subprocess.Popen(command, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.PIPE), report))
        process, report = running.pop(0)
        _, err = process.communicate()
        if process.returncode != 0:
            raise RuntimeError("failed: %s\n%s" % (" ".join(process.args), err.decode(errors="replace")))
        with open(report) as f:
            lines = [l for l in f.read().split() if l.isdigit()]
        os.remove(report)
        if lines:
            peak_kb = max(peak_kb, int(lines[-1]))
    return time.perf_counter() - start, peak_kb / 1024.0


def similarity(imgsim, reference, candidate):
    out = subprocess.run([imgsim, reference, candidate], capture_output=True, text=True)
    if out.returncode != 0:
        return None, None
    # The HEIF decoder prints a line or two of its own on standard output.
    fields = dict(kv.split("=", 1) for kv in out.stdout.split() if "=" in kv)
    return float(fields["psnr"]), float(fields["ssim"])


def mean(values):
    values = [v for v in values if v is not None]
    return sum(values) / len(values) if values else None


class Bench:
    def __init__(self, opts):
        self.opts = opts
        self.cli = opts.cli or os.path.join(opts.build, "quorvel-cli")
        self.imgsim = os.path.join(opts.build, "imgsim")
        self.jobs = opts.jobs
        self.runs = max(1, opts.runs)
        self.corpus = opts.corpus
        self.work = opts.work

    def ours(self, args, out):
        """quorvel-cli with -j and -o; seconds."""
        fresh(out)
        return run_batch([[self.cli] + args + ["-j", str(self.jobs), "-o", out]], 1)

    def judge(self, pairs):
        """Mean PSNR and SSIM over (source, output) pairs."""
        scores = [similarity(self.imgsim, s, o) for s, o in pairs]
        return mean([p for p, _ in scores]), mean([s for _, s in scores])

    # --- one workload, every tool, time and memory ------------------------------------------
    def ours_tool(self, args):
        """Our command line as a tool: one process working on -j files."""
        def make(files, out, jobs):
            return [[self.cli] + args + files + ["-j", str(jobs), "-o", out]], 1
        return make

    @staticmethod
    def per_file(command):
        """A peer as a tool: command(file, out) for every file, -j processes at once."""
        def make(files, out, jobs):
            return [command(f, out) for f in files], jobs
        return make

    def measure(self, workload, tools, files, key):
        """Runs every tool on files (median seconds of --runs), then on the first file
        alone for its peak memory. key names the folder; returns {tool: (out, seconds, MB)}."""
        log(workload)
        results = {}
        for name, make in tools:
            out = os.path.join(self.work, key, name)
            times = []
            for _ in range(self.runs):
                fresh(out)
                commands, concurrency = make(files, out, self.jobs)
                times.append(run_measured(commands, concurrency)[0])
            probe = fresh(os.path.join(self.work, key, name + "-1"))
            commands, concurrency = make(files[:1], probe, 1)
            rss = run_measured(commands, concurrency)[1]
            results[name] = (out, statistics.median(times), rss)
        return results

    # --- conversion (issue 5): each source set to each output format -------------------
    def conversion(self, label, sources, judge_first_only=True, formats=None, heif_peer=False):
        peer_options = {
            # Same work as ours where the formats allow: JPEG at quality 100 with 4:2:0
            # chroma, WebP lossless, TIFF uncompressed; PNG and BMP at each tool's default.
            "jpg": ("[Q=100,subsample-mode=on,background=255]",
                    ["-background", "white", "-flatten", "-quality", "100", "-sampling-factor", "2x2"]),
            "png": ("", []),
            "bmp": ("[background=255]", ["-background", "white", "-flatten"]),
            "webp": ("[lossless]", ["-define", "webp:lossless=true"]),
            "tif": ("", ["-compress", "none"]),
        }
        for fmt, (vips_opt, im_opt) in peer_options.items():
            if formats and fmt not in formats:
                continue
            if self.opts.formats and fmt not in self.opts.formats.split(","):
                continue
            workload = "convert %s -> %s (%d files)" % (label, fmt, len(sources))
            tools = [
                ("ours", self.ours_tool(["convert", "--to", fmt])),
                ("vips", self.per_file(lambda s, out, o=vips_opt, f=fmt: [
                    "vips", "copy", s, os.path.join(out, self.stem(s) + "." + f + o)])),
                ("imagemagick", self.per_file(lambda s, out, o=im_opt, f=fmt: [
                    "/usr/bin/convert", s + "[0]"] + o + [os.path.join(out, self.stem(s) + "." + f)])),
            ]
            if heif_peer and fmt == "jpg":
                # The decode floor: libheif's own converter, quality 100.
                tools.append(("heif-convert", self.per_file(lambda s, out: [
                    "heif-convert", "-q", "100", s, os.path.join(out, self.stem(s) + ".jpg")])))
            results = self.measure(workload, tools, sources, "conv")
            for tool, (out, seconds, rss) in results.items():
                judged = sources[:1] if judge_first_only else sources
                pairs = [(s, os.path.join(out, self.stem(s) + "." + fmt)) for s in judged]
                psnr, ssim = self.judge(pairs)
                note = "similarity of the first file" if judge_first_only and len(sources) > 1 else ""
                row(workload, tool, seconds, folder_bytes(out), psnr, ssim, note, rss)

    @staticmethod
    def stem(path):
        return os.path.splitext(os.path.basename(path))[0]

    # --- PNG with alpha onto white ---------------------------------------------------------
    def alpha_png(self, count):
        """count copies of the corpus's PNG with alpha, to JPG on white (copies, not
        links: the command line takes a file reached by two names once)."""
        folder = os.path.join(self.corpus, "alpha")
        os.makedirs(folder, exist_ok=True)
        source = os.path.join(self.corpus, "mixed", "cutout.png")
        files = []
        for i in range(count):
            path = os.path.join(folder, "cutout%02d.png" % i)
            if os.path.islink(path):
                os.remove(path)
            if not os.path.exists(path):
                shutil.copyfile(source, path)
            files.append(path)
        self.conversion("PNG with alpha", files, formats=["jpg"])

    # --- camera RAW --------------------------------------------------------------------------
    def dng(self, count):
        """Synthetic 12 MP DNGs (the codec tests' maker) to JPG, beside LibRaw's own
        dcraw_emu piped into cjpeg at quality 100."""
        folder = os.path.join(self.corpus, "dng")
        os.makedirs(folder, exist_ok=True)
        files = []
        for i in range(count):
            path = os.path.join(folder, "raw%02d.dng" % i)
            if not os.path.exists(path):
                subprocess.run([os.path.join(self.opts.build, "codecbench"), "--dng", path,
                                "4032", "3024"], check=True)
            files.append(path)
        workload = "convert 12 MP DNG -> jpg (%d files)" % count
        tools = [
            ("ours", self.ours_tool(["convert", "--to", "jpg"])),
            ("dcraw_emu + cjpeg", self.per_file(lambda s, out: [
                "sh", "-c", 'dcraw_emu -w -Z - "$1" | cjpeg -quality 100 -outfile "$2"', "sh", s,
                os.path.join(out, self.stem(s) + ".jpg")])),
        ]
        results = self.measure(workload, tools, files, "dng")
        for tool, (out, seconds, rss) in results.items():
            row(workload, tool, seconds, folder_bytes(out), note="synthetic DNG; similarity not comparable "
                "(different development)", rss=rss)

    # --- 200 KB target (issue 6) ----------------------------------------------------------
    def compress(self, photos):
        workload = "below 200 KB, 12 MP JPEG (%d files)" % len(photos)
        tools = [
            ("ours", self.ours_tool(["compress", "--max-size", "200K"])),
            ("jpegoptim", self.per_file(lambda p, out: [
                "jpegoptim", "--size=200k", "--strip-all", "-q", "-d", out, p])),
        ]
        results = self.measure(workload, tools, photos, "compress")
        for tool, (out, seconds, rss) in results.items():
            self.compress_row(workload, tool, photos, out, seconds, rss)

    def compress_row(self, workload, tool, photos, out, seconds, rss=None):
        pairs = [(p, os.path.join(out, os.path.basename(p))) for p in photos]
        psnr, ssim = self.judge(pairs)
        sizes = [os.path.getsize(o) for _, o in pairs]
        within = sum(1 for s in sizes if s < 200 * 1024)
        dims = []
        for _, o in pairs:
            w, h = subprocess.run(["identify", "-format", "%w %h", o], capture_output=True,
                                  text=True).stdout.split()
            dims.append(int(w) * int(h) / 1e6)
        note = "%d/%d below 204800 B; %.1f MP on average" % (within, len(sizes), sum(dims) / len(dims))
        row(workload, tool, seconds, sum(sizes), psnr, ssim, note, rss)

    # --- batch resize and rotate (issue 8) ------------------------------------------------
    def resize_rotate(self, photos):
        jpeg_opts = ["-quality", "100", "-sampling-factor", "2x2"]
        vips_jpeg = "[Q=100,subsample-mode=on]"
        workload = "resize to 1600 px wide, JPEG (%d files)" % len(photos)
        tools = [
            ("ours", self.ours_tool(["resize", "--width", "1600", "--to", "jpg"])),
            ("vips", self.per_file(lambda p, out: [
                "vipsthumbnail", p, "-s", "1600x", "-o", os.path.join(out, "%s.jpg" + vips_jpeg)])),
            ("imagemagick", self.per_file(lambda p, out: [
                "/usr/bin/convert", p, "-resize", "1600x"] + jpeg_opts + [os.path.join(out, self.stem(p) + ".jpg")])),
        ]
        results = self.measure(workload, tools, photos, "resize")
        for tool, (out, seconds, rss) in results.items():
            psnr, ssim = self.judge([(photos[0], os.path.join(out, self.stem(photos[0]) + ".jpg"))])
            row(workload, tool, seconds, folder_bytes(out), psnr, ssim,
                "similarity of the first file, scaled back to 12 MP", rss)

        workload = "rotate 90 left, JPEG (%d files)" % len(photos)
        tools = [
            ("ours", self.ours_tool(["rotate", "--left", "--to", "jpg"])),
            ("jpegtran", self.per_file(lambda p, out: [
                "jpegtran", "-copy", "all", "-perfect", "-rotate", "270", "-outfile",
                os.path.join(out, self.stem(p) + ".jpg"), p])),
            ("vips", self.per_file(lambda p, out: [
                "vips", "rot", p, os.path.join(out, self.stem(p) + ".jpg" + vips_jpeg), "d270"])),
            ("imagemagick", self.per_file(lambda p, out: [
                "/usr/bin/convert", p, "-rotate", "-90"] + jpeg_opts + [os.path.join(out, self.stem(p) + ".jpg")])),
        ]
        results = self.measure(workload, tools, photos, "rotate")
        for tool, (out, seconds, rss) in results.items():
            note = "lossless" if tool == "jpegtran" else ""
            row(workload, tool, seconds, folder_bytes(out), note=note, rss=rss)

    # --- GIF through the command-line tool ------------------------------------------------
    def gif_cli(self, gifs):
        """200 px wide, half the palette, every other frame (the tool's --drop 5)."""
        workload = "GIF: 200 px wide, half the colours, half the frames (%d files)" % len(gifs)

        def gifsicle(src, out):
            info = subprocess.run(["gifsicle", "-I", src], capture_output=True, text=True).stdout
            frames = int(re.search(r"(\d+) images?", info).group(1))
            table = re.search(r"global color table \[(\d+)\]", info)
            colours = max(2, (int(table.group(1)) if table else 256) // 2)
            dropped = ["#%d" % i for i in range(2, frames - 1, 2)]
            command = ["gifsicle", "-O3", "--colors", str(colours), "--resize-width", "200", src]
            if dropped:
                command += ["--delete"] + dropped
            # The corpus's GIF and bench/gif's share names (pan.gif): the
            # folder keeps every output apart, as ours numbers its own.
            folder = os.path.basename(os.path.dirname(src))
            return command + ["-o", os.path.join(out, "%s-%s.gif" % (folder, self.stem(src)))]
        tools = [
            ("ours", self.ours_tool(["gif", "--width", "200", "--colors-percent", "50", "--drop", "5"])),
            ("gifsicle -O3", self.per_file(gifsicle)),
        ]
        results = self.measure(workload, tools, gifs, "gifcli")
        for tool, (out, seconds, rss) in results.items():
            row(workload, tool, seconds, folder_bytes(out), rss=rss)

    # --- PDFs through the command-line tool -----------------------------------------------
    def pdf_cli(self, photos):
        workload = "%d photos -> one PDF" % len(photos)
        log(workload)
        out = os.path.join(self.work, "topdf", "ours")
        row(workload, "ours", self.ours(["topdf", "--combined"] + photos, out), folder_bytes(out))
        out = fresh(os.path.join(self.work, "topdf", "img2pdf"))
        seconds = run_batch([["img2pdf", "-o", os.path.join(out, "photos.pdf")] + photos], 1)
        row(workload, "img2pdf", seconds, folder_bytes(out), note="one process")

        pdf = os.path.join(self.corpus, "pdf", "photos.pdf")
        workload = "8-page photo PDF -> PNG, 150 dpi"
        log(workload)
        out = os.path.join(self.work, "frompdf", "ours")
        row(workload, "ours", self.ours(["frompdf", "--to", "png", pdf], out), folder_bytes(out))
        out = fresh(os.path.join(self.work, "frompdf", "pdftoppm"))
        seconds = run_batch([["pdftoppm", "-r", "150", "-png", pdf, os.path.join(out, "p")]], 1)
        row(workload, "pdftoppm", seconds, folder_bytes(out), note="one process")
        out = fresh(os.path.join(self.work, "frompdf", "mutool"))
        seconds = run_batch([["mutool", "draw", "-q", "-r", "150", "-o", os.path.join(out, "p%d.png"), pdf]], 1)
        row(workload, "mutool", seconds, folder_bytes(out), note="one process")

    # --- the older scripts ----------------------------------------------------------------
    def gif_script(self):
        log("bench/gif/run_bench.py")
        text = subprocess.run(
            ["python3", os.path.join(REPO, "bench", "gif", "run_bench.py"), "--lib",
             os.path.join(self.opts.build, "libqvgifconv.so"), "--corpus",
             os.path.join(self.opts.build, "bench-gif-corpus"), "--work", os.path.join(self.work, "gif"),
             "--runs", "1"], check=True, capture_output=True, text=True).stdout
        self.save("gif.md", text)
        cells = [line.strip("|").split("|") for line in text.splitlines()
                 if line.startswith("| ") and ".gif" in line.split("|")[1]]
        cells = [[c.strip() for c in line] for line in cells if len(line) >= 11]
        if not cells:
            return
        workload = "GIF: 6 animations x 4 settings (bench/gif)"
        for tool, b, s, p, q in (("ours (library)", 3, 5, 7, 9), ("gifsicle -O3", 4, 6, 8, 10)):
            row(workload, tool, sum(float(c[s]) for c in cells), sum(int(c[b]) for c in cells),
                mean([float(c[p]) for c in cells]), mean([float(c[q]) for c in cells]),
                "library call only" if tool.startswith("ours") else "whole process")

    def pdf_script(self):
        log("bench/pdf/run.sh")
        text = subprocess.run(["bash", os.path.join(REPO, "bench", "pdf", "run.sh"), self.opts.build],
                              check=True, capture_output=True, text=True, cwd=REPO).stdout
        self.save("pdf.txt", text)
        workload = "20 JPEGs -> one PDF (bench/pdf)"
        for tool in ("ours", "img2pdf"):
            m = re.search(r"^%s\s+(\d+) bytes\s+([\d.]+) s" % tool, text, re.M)
            if m:
                row(workload, tool, float(m.group(2)), int(m.group(1)), note="best of 3")
        totals = {}
        for kind in ("PNG", "JPG"):
            m = re.search(r"^%s bytes, all pages: (.*)$" % kind, text, re.M)
            if m:
                for tool, value in re.findall(r"(\w+) (\d+)", m.group(1)):
                    totals[(kind, tool)] = int(value)
        for key, name in (("ours_png", "ours"), ("pdftoppm_png", "pdftoppm"), ("mutool_png", "mutool"),
                          ("ours_jpg", "ours"), ("pdftoppm_jpg", "pdftoppm")):
            m = re.search(r"^%s\s+[\d.]+ pages/s\s+\(([\d.]+) s\)" % key, text, re.M)
            kind = key.split("_")[1].upper()
            if m:
                row("20-page PDF -> %s, 150 dpi (bench/pdf)" % kind, name, float(m.group(1)),
                    totals.get((kind, name)), note="one thread each")

    def codec_script(self):
        log("bench/codec/run.sh")
        text = subprocess.run(["bash", os.path.join(REPO, "bench", "codec", "run.sh"), self.opts.build, "1"],
                              check=True, capture_output=True, text=True, cwd=REPO).stdout
        self.save("codec.txt", text)
        for line in text.splitlines():
            m = re.match(r"^(\w+)\s+(\S+)\s+([\d.]+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)", line)
            if m:
                decoder, name, _, _, load, jpg, png = m.groups()
                row("decode %s (%s) (bench/codec)" % (name, decoder), "ours", int(load) / 1000.0, None,
                    note="then JPG save %s ms, PNG save %s ms; no peer" % (jpg, png))

    def save(self, name, text):
        with open(os.path.join(self.work, name), "w") as f:
            f.write(text)


def fmt(value, kind):
    if value is None:
        return ""
    if kind == "s":
        return "%.2f" % value
    if kind == "b":
        return str(value)
    if kind == "p":
        return "%.2f" % value
    if kind == "q":
        return "%.4f" % value
    if kind == "m":
        return "%.0f" % value
    return str(value)


def table():
    header = ["workload", "tool", "seconds", "bytes", "peak MB", "PSNR dB", "SSIM", "s ours/best",
              "bytes ours/best", "MB ours/best", "note"]
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join(["---", "---"] + ["---:"] * 8 + ["---"]) + "|"]
    workloads = []
    for r in ROWS:
        if r["workload"] not in workloads:
            workloads.append(r["workload"])
    for w in workloads:
        rows = [r for r in ROWS if r["workload"] == w]
        peers = [r for r in rows if not r["tool"].startswith("ours")]
        for r in rows:
            ratio_s = ratio_b = ratio_m = ""
            if r["tool"].startswith("ours") and peers:
                best_s = min((p["seconds"] for p in peers if p["seconds"]), default=None)
                best_b = min((p["bytes"] for p in peers if p["bytes"]), default=None)
                best_m = min((p["rss"] for p in peers if p["rss"]), default=None)
                if best_s and r["seconds"] is not None:
                    ratio_s = "%.2f" % (r["seconds"] / best_s)
                if best_b and r["bytes"]:
                    ratio_b = "%.2f" % (r["bytes"] / best_b)
                if best_m and r["rss"]:
                    ratio_m = "%.2f" % (r["rss"] / best_m)
            lines.append("| " + " | ".join([w, r["tool"], fmt(r["seconds"], "s"), fmt(r["bytes"], "b"),
                                            fmt(r["rss"], "m"), fmt(r["psnr"], "p"), fmt(r["ssim"], "q"),
                                            ratio_s, ratio_b, ratio_m, r["note"]]) + " |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--jobs", type=int, default=os.cpu_count())
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--runs", type=int, default=1, help="timing runs per tool (median)")
    parser.add_argument("--cli", default="", help="another quorvel-cli to measure (a base build)")
    parser.add_argument("--formats", default="", help="conversion outputs to run (default all): "
                        "jpg,png,bmp,webp,tif")
    parser.add_argument("--only", default="", help="comma-separated workload groups: jpeg,heic,"
                        "mixed,alpha,dng,compress,resize,pdf,gif,scripts")
    opts = parser.parse_args()
    # Absolute: vipsthumbnail takes a relative output path from the input's folder.
    opts.build = os.path.abspath(opts.build)
    opts.corpus = os.path.abspath(opts.corpus)
    opts.work = os.path.abspath(opts.work)
    os.makedirs(opts.work, exist_ok=True)
    bench = Bench(opts)

    photos = sorted(glob.glob(os.path.join(opts.corpus, "photos", "*.jpg")))
    heics = sorted(glob.glob(os.path.join(opts.corpus, "heic", "*.heic")))
    mixed = sorted(glob.glob(os.path.join(opts.corpus, "mixed", "*")))
    started = time.perf_counter()
    only = set(filter(None, opts.only.split(",")))

    def wanted(group):
        return not only or group in only

    def guarded(name, work, *args):
        """A workload that fails is named in the log; the others still run."""
        try:
            work(*args)
        except Exception as error:  # noqa: BLE001 - any failure of a tool run
            log("%s failed: %s" % (name, error))

    if wanted("jpeg"):
        guarded("jpeg", bench.conversion, "12 MP JPEG", photos)
    if wanted("heic"):
        guarded("heic", bench.conversion, "12 MP HEIC", heics, True, None, True)
    if wanted("mixed"):
        guarded("mixed", bench.conversion, "PNG+alpha/TIFF/WebP/GIF", mixed)
    if wanted("alpha"):
        guarded("alpha", bench.alpha_png, 2 * len(photos))
    if wanted("dng"):
        guarded("dng", bench.dng, 2 if not opts.quick else 1)
    if wanted("compress"):
        guarded("compress", bench.compress, photos)
    if wanted("resize"):
        guarded("resize", bench.resize_rotate, photos)
    if wanted("pdf"):
        guarded("pdf", bench.pdf_cli, photos)
    if wanted("scripts"):
        guarded("gif script", bench.gif_script)
        guarded("pdf script", bench.pdf_script)
    if wanted("gif"):
        gifs = [os.path.join(opts.corpus, "mixed", "pan.gif")]
        gifs += sorted(glob.glob(os.path.join(opts.build, "bench-gif-corpus", "*.gif")))[:2]
        guarded("gif", bench.gif_cli, gifs)
    if wanted("scripts") and not opts.quick:
        guarded("codec script", bench.codec_script)

    text = table()
    with open(os.path.join(opts.work, "table.md"), "w") as f:
        f.write(text + "\n")
    print(text)
    print("\n%d workloads in %.0f s, %d jobs; table also in %s" % (
        len({r["workload"] for r in ROWS}), time.perf_counter() - started, opts.jobs,
        os.path.join(opts.work, "table.md")))


if __name__ == "__main__":
    main()
