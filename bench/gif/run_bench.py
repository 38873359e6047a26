#!/usr/bin/env python3
"""Benchmark of the GIF converter library against gifsicle -O3.

For every GIF of the corpus and every setting, both tools get the same resize,
frame deletions and colour count. Reported: output bytes, seconds (best of
--runs) and the similarity of the output frames to the source frames, computed by
gifsim for both tools against the same reference (the source coalesced and scaled
by ImageMagick). gifsicle is a benchmark peer only; the program never calls it.

Usage: run_bench.py --lib build/libqvgifconv.so [--corpus DIR] [--work DIR] [--runs N]
"""
import argparse
import ctypes
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# name, size (function of source w, h), colours, frame option (as the program's
# "remove 10% .. 50%" menu: 0 none, 2 = 20 %, 5 = 50 %)
SETTINGS = [
    ("half, 128 col, -20%", lambda w, h: (w // 2, h // 2), 128, 2),
    ("same, 64 col", lambda w, h: (w, h), 64, 0),
    ("200 wide, 256 col, -50%", lambda w, h: (200, int(200 * h / w)), 256, 5),
    ("same, 16 col, -10%", lambda w, h: (w, h), 16, 1),
]


class Result(ctypes.Structure):
    _fields_ = [("bytes", ctypes.POINTER(ctypes.c_ubyte)), ("count", ctypes.c_int)]


def dropped_frames(count, option):
    """Same sequences as the program builds: indices below count - 1."""
    if option in (1, 2, 5):
        step = 10 // option
        return list(range(step, count - 1, step))
    return []


def frame_info(path):
    out = subprocess.run(["identify", "-format", "%W %H\n", path], check=True,
                         capture_output=True, text=True).stdout.split("\n")
    lines = [l for l in out if l.strip()]
    w, h = map(int, lines[0].split())
    return w, h, len(lines)


def run_ours(lib, src, size, colours, dropped, dst):
    args = [b"", src.encode(), b"--resize", f"{size[0]}x{size[1]}".encode(),
            b"--colors", str(colours).encode()]
    if dropped:
        args += [b"--delete"] + [f"#{i}".encode() for i in dropped]
    argv = (ctypes.c_char_p * len(args))(*args)
    start = time.perf_counter()
    result = lib.GifConverter(len(args), argv)
    seconds = time.perf_counter() - start
    count = result.contents.count
    if count:
        with open(dst, "wb") as f:
            f.write(ctypes.string_at(result.contents.bytes, count))
    lib.Release()
    return count, seconds


def run_gifsicle(src, size, colours, dropped, dst):
    cmd = ["gifsicle", "-O3", "--colors", str(colours), "--resize", f"{size[0]}x{size[1]}", src]
    if dropped:
        cmd += ["--delete"] + [f"#{i}" for i in dropped]
    cmd += ["-o", dst]
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    return os.path.getsize(dst), seconds


def similarity(gifsim, ref, out, kept):
    text = subprocess.run([gifsim, ref, out, ",".join(map(str, kept))], check=True,
                          capture_output=True, text=True).stdout
    fields = dict(kv.split("=") for kv in text.split())
    return float(fields["psnr"]), float(fields["ssim"])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lib", required=True)
    parser.add_argument("--corpus", default="/tmp/qvgif-bench/corpus")
    parser.add_argument("--work", default="/tmp/qvgif-bench/work")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--only", default="")
    opts = parser.parse_args()

    os.makedirs(opts.work, exist_ok=True)
    if not os.path.isdir(opts.corpus) or not os.listdir(opts.corpus):
        subprocess.run([os.path.join(HERE, "make_corpus.sh"), opts.corpus], check=True)
    gifsim = os.path.join(opts.work, "gifsim")
    subprocess.run(["g++", "-O2", "-std=c++17", "-o", gifsim, os.path.join(HERE, "gifsim.cpp"),
                    "-lgif"], check=True)

    lib = ctypes.CDLL(os.path.abspath(opts.lib))
    lib.GifConverter.restype = ctypes.POINTER(Result)
    lib.GifConverter.argtypes = [ctypes.c_int, ctypes.POINTER(ctypes.c_char_p)]

    print("| GIF | setting | source bytes | ours bytes | gifsicle bytes | ours s | gifsicle s "
          "| ours PSNR | gifsicle PSNR | ours SSIM | gifsicle SSIM |")
    print("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    totals = [0, 0, 0.0, 0.0]
    for name in sorted(os.listdir(opts.corpus)):
        if not name.endswith(".gif") or (opts.only and opts.only not in name):
            continue
        src = os.path.join(opts.corpus, name)
        w, h, frames = frame_info(src)
        for label, sizer, colours, option in SETTINGS:
            size = sizer(w, h)
            dropped = dropped_frames(frames, option)
            kept = [i for i in range(frames) if i not in dropped]
            tag = f"{name[:-4]}-{size[0]}x{size[1]}-{colours}-{option}"
            ref = os.path.join(opts.work, tag + ".rgba")
            if not os.path.exists(ref):
                subprocess.run(["convert", src, "-coalesce", "-resize", f"{size[0]}x{size[1]}!",
                                "-depth", "8", "rgba:" + ref], check=True)
            ours_out = os.path.join(opts.work, tag + "-ours.gif")
            theirs_out = os.path.join(opts.work, tag + "-gifsicle.gif")
            ours = min((run_ours(lib, src, size, colours, dropped, ours_out) for _ in range(opts.runs)),
                       key=lambda r: r[1])
            theirs = min((run_gifsicle(src, size, colours, dropped, theirs_out) for _ in range(opts.runs)),
                         key=lambda r: r[1])
            if ours[0] == 0:
                print(f"| {name} | {label} | conversion failed |")
                continue
            ours_sim = similarity(gifsim, ref, ours_out, kept)
            theirs_sim = similarity(gifsim, ref, theirs_out, kept)
            totals[0] += ours[0]
            totals[1] += theirs[0]
            totals[2] += ours[1]
            totals[3] += theirs[1]
            print(f"| {name} | {label} | {os.path.getsize(src)} | {ours[0]} | {theirs[0]} | "
                  f"{ours[1]:.3f} | {theirs[1]:.3f} | {ours_sim[0]:.2f} | {theirs_sim[0]:.2f} | "
                  f"{ours_sim[1]:.4f} | {theirs_sim[1]:.4f} |")
            sys.stdout.flush()
    print(f"| total | | | {totals[0]} | {totals[1]} | {totals[2]:.3f} | {totals[3]:.3f} | | | | |")


if __name__ == "__main__":
    main()
