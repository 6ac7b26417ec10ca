"""scanplot end to end: tiny scans whose agreement is worked out by hand, the
shipped example, the picture, and what scanplot refuses."""

import math
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

SCANPLOT = os.environ["SCANPLOT"]
SCANMERGE = os.environ["SCANMERGE"]
EXAMPLES = os.environ["EXAMPLES_DIR"]


def writescan(path, rows, columns="tth cts mon tim", decimals=3):
    """A scan: 10 lines, line 11 naming it, 12 and 13, the column line,
    rows of (tth, cts, mon, tim)."""
    head = ["header line %d" % n for n in range(1, 11)]
    head += ["Sample of " + os.path.basename(path), "conditions", "----",
             columns]
    with open(path, "w") as f:
        f.write("\n".join(head) + "\n")
        for row in rows:
            f.write("%.*f %d %d %d\n" % ((decimals,) + row))


# Counting times of 10^4 s keep the dead-time factor at exactly 1 in 32 bits,
# so every intensity is counts * 10^6 / monitor.  Scan a: monitor 10^6,
# counts p^2, so I = p^2 and sigma = p.  Scan b: monitor 4*10^6, counts 4q^2,
# so I = q^2 and sigma = q/2.  They share 11.0, 11.5 and 12.0 deg.
LONG = 10000000  # ms
A_ROWS = [(10.0, 80**2, 10**6, LONG), (10.5, 70**2, 10**6, LONG),
          (11.0, 100**2, 10**6, LONG), (11.5, 110**2, 10**6, LONG),
          (12.0, 90**2, 10**6, LONG)]
B_Q = [100, 111, 89, 60, 50]
B_ANGLES = [11.0, 11.5, 12.0, 12.5, 13.0]


def b_rows(monitor=4 * 10**6):
    return [(t, 4 * q * q, monitor, LONG) for t, q in zip(B_ANGLES, B_Q)]


def run(args, cwd):
    return subprocess.run([SCANPLOT] + args, cwd=cwd, capture_output=True,
                          text=True)


def pairline(text, first, second):
    """chi2 and ratio from the console line of the second scan's overlap
    with the first."""
    m = re.search(r"^%s on %s: \d+ points, .* reduced chi2 (\S+), "
                  r"intensity ratio (\S+)$" % (second, first), text, re.M)
    return float(m[1]), float(m[2])


class Case(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="scanplot-test-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, name):
        return os.path.join(self.dir, name)

    def listing(self):
        return sorted(os.listdir(self.dir))


class Agreement(Case):
    def test_hand_worked_pair(self):
        writescan(self.path("a.dat"), A_ROWS)
        writescan(self.path("b.dat"), b_rows())
        # given in any order, merged and told in the order of first angles
        r = run(["b.dat", "a.dat"], self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        # differences over sqrt(sigma_a^2 + sigma_b^2):
        #  11.0: 10000 - 10000 = 0
        #  11.5: 12100 - 12321 = -221, 110^2 + 55.5^2 = 15180.25, z^2 = 3.21740
        #  12.0:  8100 -  7921 =  179,  90^2 + 44.5^2 = 10080.25, z^2 = 3.17859
        # chi2 = 6.39599 / 3 = 2.132; ratio = 30242 / 30200 = 1.00139
        self.assertEqual(r.stdout,
                         "a.dat: 5 points, 10.0000 to 12.0000 deg\n"
                         "b.dat: 5 points, 11.0000 to 13.0000 deg\n"
                         "b.dat on a.dat: 3 points, 11.0000 to 12.0000 deg, "
                         "reduced chi2 2.13, intensity ratio 1.0014\n")
        self.assertEqual(self.listing(), ["a.dat", "b.dat", "merge.png"])

    def test_monitor_scaled_by_1_1(self):
        writescan(self.path("a.dat"), A_ROWS)
        writescan(self.path("b.dat"), b_rows())
        writescan(self.path("b11.dat"), b_rows(monitor=4400000))
        chi2, ratio = pairline(run(["a.dat", "b.dat"], self.dir).stdout,
                               "a.dat", "b.dat")
        r = run(["a.dat", "b11.dat"], self.dir)
        chi2_11, ratio_11 = pairline(r.stdout, "a.dat", "b11.dat")
        self.assertEqual(ratio_11, round(ratio / 1.1, 4))
        # 11.0 alone: (10000 - 9090.9) / sqrt(100^2 + 45.5^2) = 8.3, z^2 = 68
        self.assertGreater(chi2_11, 20)

    def test_low_counts_unrounded(self):
        # a few counts per step on monitors that make no round intensities:
        # the GDAT file's one decimal would move chi2 by 0.1
        ca, cb = [3, 1, 4, 1, 5, 9, 2, 6], [2, 7, 1, 8, 2, 8]
        ma, mb = 6000000, 9000000
        angles = [10.0 + 0.1 * k for k in range(8)]
        writescan(self.path("a.dat"), [(t, c, ma, LONG)
                                       for t, c in zip(angles, ca)])
        writescan(self.path("b.dat"), [(t, c, mb, LONG)
                                       for t, c in zip(angles[2:], cb)])

        def chi2(tenth):
            rounded = (lambda x: round(x, 1)) if tenth else (lambda x: x)
            total = 0
            for c1, c2 in zip(ca[2:], cb):
                i1, i2 = rounded(c1 * 1e6 / ma), rounded(c2 * 1e6 / mb)
                s1 = rounded(math.sqrt(c1) * 1e6 / ma)
                s2 = rounded(math.sqrt(c2) * 1e6 / mb)
                total += (i1 - i2) ** 2 / (s1 * s1 + s2 * s2)
            return total / len(cb)
        self.assertGreater(abs(chi2(True) - chi2(False)), 0.05)
        printed, _ = pairline(run(["a.dat", "b.dat"], self.dir).stdout,
                              "a.dat", "b.dat")
        self.assertLess(abs(printed - chi2(False)), 0.006)

    def test_scan_merged_off_its_angles(self):
        # one peak; the second scan starts half a step past a grid point
        # (exact in binary) and is merged half a step on, rounded up as
        # scanmerge rounds: it is told, drawn and compared there
        def counts(start, n):
            return [(start + 0.125 * k, round(100 + 5000 * math.exp(
                -0.5 * ((start + 0.125 * k - 11) / 0.15) ** 2)), 10**6,
                LONG) for k in range(n)]
        first, second = counts(10.0, 17), counts(10.0625, 16)
        writescan(self.path("s1.dat"), first)
        writescan(self.path("s2.dat"), second, decimals=4)
        r = run(["s1.dat", "s2.dat"], self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[:2], ["s1.dat: 17 points, 10.0000 to 12.0000 "
                                     "deg", "s2.dat: 16 points, 10.1250 to "
                                     "12.0000 deg"])
        # row k of s2 against row k + 1 of s1: I = counts, sigma^2 = counts
        z2 = [(a[1] - b[1]) ** 2 / (a[1] + b[1])
              for a, b in zip(first[1:], second)]
        chi2, ratio = pairline(r.stdout, "s1.dat", "s2.dat")
        self.assertTrue(lines[2].startswith("s2.dat on s1.dat: 16 points, "
                                            "10.1250 to 12.0000 deg"))
        self.assertEqual(chi2, round(sum(z2) / len(z2), 2))
        self.assertGreater(chi2, 10)

    def test_gap_no_pair_line_and_warnings(self):
        writescan(self.path("a.dat"), A_ROWS)
        writescan(self.path("b.dat"), b_rows())
        # 14.0 to 14.5: 13.5 deg (grid point 7) is reached by no scan
        writescan(self.path("c.dat"), [(14.0, 400, 10**6, 1000),
                                       (14.5, 400, 10**6, 1000)])
        r = run(["a.dat", "b.dat", "c.dat", "--sqrt"], self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[2], "c.dat: 2 points, 14.0000 to 14.5000 deg")
        self.assertTrue(lines[3].startswith("b.dat on a.dat: 3 points"))
        self.assertEqual(lines[4:],
                         ["HELP.  i, cts, mon = 7 0.000000 0.000000"])

    def test_one_scanmerge_run_per_picture(self):
        # a scanmerge that notes each run, then runs the real one
        log = self.path("runs")
        with open(self.path("counted"), "w") as f:
            f.write('#!/bin/sh\necho run >>"%s"\nexec "%s" "$@"\n'
                    % (log, SCANMERGE))
        os.chmod(self.path("counted"), 0o755)
        writescan(self.path("a.dat"), A_ROWS)
        writescan(self.path("b.dat"), b_rows())
        writescan(self.path("c.dat"), [(12.5, 400, 10**6, 1000),
                                       (13.0, 400, 10**6, 1000)])
        for extra in ([], ["--dead-time"], ["--dead-time", "--eiv", "1 20 5"]):
            if os.path.exists(log):
                os.unlink(log)
            r = run(["a.dat", "b.dat", "c.dat", "--scanmerge", "counted"]
                    + extra, self.dir)
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(log) as f:
                self.assertEqual(f.read(), "run\n", extra)

    def test_dead_time_warning_quotes_its_row(self):
        # 5 ms is too short for the dead-time correction
        writescan(self.path("a.dat"), [(10.0, 100, 10**6, 1000),
                                       (10.5, 100, 10**6, 5)])
        r = run(["a.dat", "--log"], self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.splitlines()[1:],
                         ["Cannot make dead time correction:",
                          "10.500 100 1000000 5"])

    def test_shipped_example(self):
        r = run([os.path.join(EXAMPLES, "si-scan%d.dat" % k)
                 for k in (1, 2, 3)] + ["--eiv", "1 20 5", "--dead-time"],
                self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        pairs = re.findall(r" on .*chi2 (\S+), intensity ratio (\S+)$",
                           r.stdout, re.M)
        self.assertEqual(len(pairs), 2, r.stdout)
        for chi2, ratio in pairs:
            self.assertTrue(0.5 < float(chi2) < 2, r.stdout)
            self.assertLess(abs(float(ratio) - 1), 0.01, r.stdout)
        # made with 3 us
        tau, sigma = deadtime(r.stdout)
        self.assertLess(abs(tau - 3), 3 * sigma, r.stdout)


class Picture(Case):
    def test_format_by_extension_png_of_the_asked_size(self):
        writescan(self.path("a.dat"), A_ROWS)
        for name, magic in (("p.png", b"\x89PNG\r\n\x1a\n"),
                            ("p.svg", b"<svg"), ("p.pdf", b"%PDF")):
            r = run(["a.dat", "-o", name, "--size", "640x480", "--title",
                     "$x_1"], self.dir)
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(self.path(name), "rb") as f:
                head = f.read(1000)
            self.assertIn(magic, head)
        # the IHDR chunk: width and height
        with open(self.path("p.png"), "rb") as f:
            ihdr = f.read(24)[12:]
        self.assertEqual(ihdr[:4], b"IHDR")
        self.assertEqual(struct.unpack(">II", ihdr[4:]), (640, 480))


class Failures(Case):
    def test_scan_as_output_refused_other_files_replaced(self):
        writescan(self.path("a.dat"), A_ROWS)
        os.mkdir(self.path("sub"))
        # an unmerged scan whose column line reads "TTHdeg ..."
        writescan(self.path("old.png"), A_ROWS, "cts TTHdeg mon tim")
        before = self.listing()
        for out, why in (("a.dat", "is the scan a.dat"),
                         ("sub/../a.dat", "is the scan a.dat"),
                         ("old.png", "is a scan file")):
            r = run(["a.dat", "-o", out], self.dir)
            self.assertEqual(r.returncode, 2, out)
            self.assertIn("scanplot: %s: %s" % (out, why), r.stderr)
        self.assertEqual(self.listing(), before)
        with open(self.path("old.png")) as f:
            self.assertIn("TTHdeg", f.read())
        # a column line without a 2theta name (Tth is mixed case)
        writescan(self.path("notes.png"), [], "Tth cts mon tim")
        r = run(["a.dat", "-o", "notes.png"], self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(self.path("notes.png"), "rb") as f:
            self.assertEqual(f.read(4), b"\x89PNG")

    def test_missing_scan(self):
        writescan(self.path("a.dat"), A_ROWS)
        r = run(["a.dat", "missing.dat"], self.dir)
        self.assertEqual(r.returncode, 1)
        self.assertIn("scanmerge: missing.dat: No such file or directory",
                      r.stderr)
        self.assertIn("scanplot: scanmerge ended with status 1", r.stderr)
        self.assertEqual(r.stdout, "")
        self.assertEqual(self.listing(), ["a.dat"])

    def test_refused_eiv(self):
        writescan(self.path("a.dat"), A_ROWS)
        writescan(self.path("b.dat"), b_rows())
        r = run(["a.dat", "b.dat", "--eiv", "0 20 5"], self.dir)
        self.assertEqual(r.returncode, 1)
        self.assertIn("scanmerge: --eiv 0,20,5: needs H,L,OSC", r.stderr)
        self.assertIn("scanplot: scanmerge refused the EIV answer '0,20,5' "
                      "(--eiv)", r.stderr)
        self.assertEqual(self.listing(), ["a.dat", "b.dat"])

    def test_usage_errors(self):
        writescan(self.path("a.dat"), A_ROWS)
        for args in ([], ["a.dat", "--sqrt", "--log"],
                     ["a.dat", "--eiv", "1 20"], ["a.dat", "--eiv", "1,,20,5"],
                     ["a.dat", "--eiv", "1 20 5 extra"],
                     ["a.dat", "--size", "0x5"],
                     ["a.dat", "-o", "p.jpg"], ["a.dat", "--bogus"]):
            r = run(args, self.dir)
            self.assertEqual(r.returncode, 2, args)
            # as scanmerge and scanimport tell one: no usage lines first
            self.assertRegex(r.stderr, r"^scanplot: [^\n]+\n"
                             r"Try 'scanplot --help'\.\n$")
        self.assertEqual(self.listing(), ["a.dat"])
        # the build put project()'s version in
        r = run(["--version"], self.dir)
        self.assertRegex(r.stdout, r"^scanplot \d+\.\d+\.\d+\n$")

    def test_scan_it_cannot_decode(self):
        writescan(self.path("a.dat"), A_ROWS)
        writescan(self.path("b.dat"), b_rows(), "")
        r = run(["a.dat", "b.dat"], self.dir)
        self.assertEqual(r.returncode, 1)
        self.assertIn("HELP! can't decode columns", r.stderr)
        self.assertIn("scanplot: b.dat: scanmerge merged no row of it",
                      r.stderr)
        self.assertEqual(self.listing(), ["a.dat", "b.dat"])

    def test_scanmerge_option(self):
        writescan(self.path("a.dat"), A_ROWS)
        r = run(["a.dat", "--scanmerge", "no-such-program"], self.dir)
        self.assertEqual(r.returncode, 1)
        self.assertIn("give scanmerge with --scanmerge", r.stderr)
        shutil.copy(SCANMERGE, self.path("sm"))
        r = run(["a.dat", "--scanmerge", "sm"], self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)


def deadtime(text):
    """The fitted dead time and its uncertainty (us) from the console."""
    m = re.search(r"^dead time from the overlaps: (\S+) \+- (\S+) us "
                  r"\(scanmerge corrects with 3\.00 us\), reduced chi2 \S+ "
                  r"there, \S+ at 3\.00 us$", text, re.M)
    return float(m[1]), float(m[2])


class DeadTime(Case):
    def generate(self, *args):
        subprocess.run([sys.executable, os.path.join(EXAMPLES, "generate.py"),
                        "--dir", self.dir] + list(args), check=True,
                       stdout=subprocess.DEVNULL)
        # 46.6 to 47.6 deg, across the 220 peak: 30 mA and 45 mA by default
        return run(["si-scan1.dat", "si-scan2.dat", "--dead-time"], self.dir)

    def test_known_dead_times(self):
        for tau in (1, 3, 6):
            r = self.generate("--tau", str(tau))
            self.assertEqual(r.returncode, 0, r.stderr)
            fit, sigma = deadtime(r.stdout)
            self.assertLess(sigma, 1, r.stdout)
            self.assertLess(abs(fit - tau), 3 * sigma, r.stdout)

    def test_alike_rates(self):
        r = self.generate("--currents", "30,30,30")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("dead time from the overlaps: not determined (the "
                      "overlapping scans count at alike rates)\n", r.stdout)


def started(folder, pattern, process):
    """Waits until a name matching pattern appears in folder."""
    while not any(re.fullmatch(pattern, n) for n in os.listdir(folder)):
        if process.poll() is not None:
            raise AssertionError("scanplot ended first")
        time.sleep(0.001)


class Signals(Case):
    def setUp(self):
        super().setUp()
        writescan(self.path("a.dat"), A_ROWS)
        self.tmp = self.path("tmp")
        os.mkdir(self.tmp)
        self.env = dict(os.environ, TMPDIR=self.tmp)

    def test_killed_while_saving(self):
        with open(self.path("old.png"), "wb") as f:
            f.write(b"old picture")
        for sig in (signal.SIGKILL, signal.SIGTERM):
            # a large picture: a long save
            p = subprocess.Popen([SCANPLOT, "a.dat", "-o", "old.png",
                                  "--size", "4000x3000"],
                                 cwd=self.dir, env=self.env,
                                 stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
            started(self.dir, r"\.scanplot-.*\.tmp", p)
            p.send_signal(sig)
            self.assertEqual(p.wait(), -sig)
            with open(self.path("old.png"), "rb") as f:
                self.assertEqual(f.read(), b"old picture")
        # SIGTERM removed its temporary file, SIGKILL could not
        self.assertEqual(len([n for n in self.listing()
                              if n.startswith(".scanplot-")]), 1)

    def test_killed_while_scanmerge_runs(self):
        # a scanmerge that says it started, then hangs
        with open(self.path("hang"), "w") as f:
            f.write("#!/bin/sh\ntouch \"$0.started\"\nexec sleep 60\n")
        os.chmod(self.path("hang"), 0o755)
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            p = subprocess.Popen([SCANPLOT, "a.dat", "--scanmerge", "hang"],
                                 cwd=self.dir, env=self.env,
                                 stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
            started(self.dir, r"hang\.started", p)
            os.unlink(self.path("hang.started"))
            p.send_signal(sig)
            self.assertEqual(p.wait(timeout=10), -sig)
            self.assertEqual(os.listdir(self.tmp), [])
        self.assertNotIn("merge.png", self.listing())


class Misuse(Case):
    """scanplot used as a hostile or unlucky user would: each failure one
    line, never a traceback, and no stray byte in the picture."""

    def oneline(self, r):
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertNotIn("Traceback", r.stderr)
        self.assertRegex(r.stderr, r"\Ascanplot: [^\n]*\n\Z")

    def test_closed_standard_streams(self):
        writescan(self.path("a.dat"), A_ROWS)
        writescan(self.path("b.dat"), b_rows())
        self.assertEqual(run(["a.dat", "b.dat", "-o", "want.png"],
                             self.dir).returncode, 0)
        with open(self.path("want.png"), "rb") as f:
            want = f.read()
        for closed in ("2>&-", ">&- 2>&-", "<&- >&- 2>&-"):
            r = subprocess.run("'%s' a.dat b.dat -o p.png %s" % (SCANPLOT,
                               closed), shell=True, cwd=self.dir)
            self.assertEqual(r.returncode, 0, closed)
            with open(self.path("p.png"), "rb") as f:
                self.assertEqual(f.read(), want, closed)
        self.assertEqual(self.listing(), ["a.dat", "b.dat", "p.png",
                                          "want.png"])

    def test_names_that_are_not_utf8_found_through_the_report(self):
        # an invalid sequence; Latin-1 e-acute, which the report spells as
        # the UTF-8 one; the UTF-8 one
        names = [b"\xff\xfe-\xf8\x80\x80-\xed\xa0\x80.dat", b"\xe9.dat",
                 "\xe9.dat".encode()]
        starts = [10.0, 13.0, 16.0]
        for name, start in zip(names, starts):
            rows = [(start + 0.5 * k, 100, 10**6, LONG) for k in range(4)]
            writescan(self.path("scan"), rows)
            os.rename(self.path("scan"),
                      os.path.join(os.fsencode(self.dir), name))
        r = subprocess.run([SCANPLOT] + [os.fsdecode(n) for n in
                                         reversed(names)],
                           cwd=self.dir, capture_output=True)
        self.assertEqual(r.returncode, 0, r.stderr)
        for name, start in zip(names, starts):
            self.assertIn(name + b": 4 points, %.4f to %.4f deg\n"
                          % (start, start + 1.5), r.stdout)

    def test_same_scan_twice_is_a_usage_error(self):
        writescan(self.path("a.dat"), A_ROWS)
        r = run(["a.dat", "./a.dat"], self.dir)
        self.assertEqual(r.returncode, 2)
        self.assertIn("scanplot: a.dat: named twice", r.stderr)
        self.assertEqual(self.listing(), ["a.dat"])

    def test_first_angle_nan(self):
        writescan(self.path("a.dat"), [(float("nan"), 100, 10**6, LONG),
                                       (10.5, 100, 10**6, LONG)])
        r = run(["a.dat"], self.dir)
        self.oneline(r)
        self.assertIn("a.dat: its first two angles give no grid", r.stderr)

    # AddressSanitizer reserves terabytes of address space at its start,
    # which no memory limit lets it have
    @unittest.skipIf(os.environ.get("SCANMERGE_SANITIZE") == "1",
                     "scanmerge is built with AddressSanitizer")
    def test_largest_picture_under_a_memory_limit(self):
        writescan(self.path("a.dat"), A_ROWS)
        # 20000 x 20000 pixels of 4 bytes: 1.6 GB, past the limit
        r = subprocess.run("ulimit -v 1200000; exec '%s' a.dat --size "
                           "20000x20000" % SCANPLOT, shell=True,
                           cwd=self.dir, capture_output=True, text=True)
        self.oneline(r)
        self.assertEqual(self.listing(), ["a.dat"])

    def test_overlap_rows_that_hold_nan(self):
        writescan(self.path("a.dat"), A_ROWS)
        with open(self.path("b.dat"), "w") as f:
            f.write("\n" * 13 + "tth cts mon tim\n")
            for t in B_ANGLES:  # a monitor of nan where they overlap
                f.write("%.3f 100 %s %d\n" % (t, "nan" if t <= 12 else
                                              "1000000", LONG))
        r = run(["a.dat", "b.dat", "--dead-time"], self.dir)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("b.dat on a.dat: 3 points", r.stdout)
        self.assertIn("dead time from the overlaps: not determined (no "
                      "overlap row holds finite values)\n", r.stdout)
        self.assertNotIn("no scans overlap", r.stdout)


if __name__ == "__main__":
    unittest.main()
