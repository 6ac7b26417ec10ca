#!/usr/bin/env python3
"""Hostile and huge inputs for scanimport: the largest case of each kind,
made here, converted once each, with the file's size, the exit status, the
wall and CPU time, the peak resident memory and the bytes written printed
(where thousands of scan files are written, most of the wall time is the
disk's, making them). Not a test: the figures are printed, not judged.

Usage: bench/hostile.py SCANIMPORT [WORKDIR]
"""
import io
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile


def ras_range(k, rows, step_time="1.0", axes=0):
    head = ["*RAS_HEADER_START", '*FILE_SAMPLE "bench %d"' % k,
            '*MEAS_SCAN_AXIS_X "TwoThetaTheta"', '*MEAS_SCAN_MODE "STEP"',
            '*MEAS_SCAN_START "10.0000"', '*MEAS_SCAN_STEP "0.0005"',
            '*MEAS_SCAN_STOP "%.4f"' % (10 + 0.0005 * (rows - 1)),
            '*MEAS_SCAN_SPEED "%s"' % step_time, '*MEAS_SCAN_SPEED_UNIT "sec"',
            '*MEAS_SCAN_UNIT_Y "counts"']
    for a in range(axes):
        head.append('*MEAS_COND_AXIS_NAME-%d "Axis%d"' % (a, a))
        head.append('*MEAS_COND_AXIS_POSITION-%d "%d"' % (a, a))
    head += ["*RAS_HEADER_END", "*RAS_INT_START"]
    head += ["%.4f %d 1.0000" % (10 + 0.0005 * i, 100 + i % 37) for i in range(rows)]
    return head + ["*RAS_INT_END"]


def ras(ranges, rows, axes=0):
    lines = ["*RAS_DATA_START"]
    for k in range(ranges):
        lines += ras_range(k, rows, axes=axes)
    return ("\r\n".join(lines + ["*RAS_DATA_END", ""])).encode()


def conditions(rows):
    return ("<?xml version=\"1.0\"?><MeasurementConditions><ScanInformation>"
            "<AxisName>TwoTheta</AxisName><Mode>STEP</Mode><Start>10</Start>"
            "<Stop>%.4f</Stop><Step>0.0005</Step><Speed>1</Speed><SpeedUnit>sec</SpeedUnit>"
            "<IntensityUnit>counts</IntensityUnit><DataCount>%d</DataCount>"
            "</ScanInformation></MeasurementConditions>" % (10 + 0.0005 * (rows - 1), rows))


def profile(rows):
    return "".join("%.4f %d 1.0000\n" % (10 + 0.0005 * i, 100 + i % 37) for i in range(rows))


def archive(members):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in members:
            z.writestr(name, text)
    return buf.getvalue()


def rasx(ranges, rows):
    m = []
    for k in range(ranges):
        m.append(("Data%d/Profile%d.txt" % (k, k), profile(rows)))
        m.append(("Data%d/MesurementConditions%d.xml" % (k, k), conditions(rows)))
    return archive(m)


def rawdata(rows):
    head = ("<?xml version=\"1.0\"?><RawData xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
            "<DataRoutes><DataRoute RouteFlag=\"Measured\"><ScanInformation ScanName=\"Coupled\">"
            "<TimePerStep>1</TimePerStep><ScanAxes><ScanAxisInfo AxisId=\"TwoTheta\">"
            "<Start>10</Start><Stop>%.4f</Stop><Increment>0.0005</Increment></ScanAxisInfo>"
            "</ScanAxes></ScanInformation><DataViews>"
            "<RawDataView xsi:type=\"VaryingRawDataView\" Start=\"0\" Length=\"1\"><Varying>"
            "<FieldDefinitions AxisId=\"TwoTheta\"/></Varying></RawDataView>"
            "<RawDataView xsi:type=\"RecordedRawDataView\" Start=\"1\" Length=\"1\">"
            "<Recording LogicName=\"Counter\"><Unit Base=\"Counts\"/></Recording></RawDataView>"
            "</DataViews>" % (10 + 0.0005 * (rows - 1)))
    body = "".join("<Datum>%.4f,%d</Datum>\n" % (10 + 0.0005 * i, 100 + i % 37) for i in range(rows))
    return head + body + "</DataRoute></DataRoutes></RawData>\n"


def brml(names, members):
    listing = "".join("<string>%s</string>" % n for n in names)
    container = ("<DataContainer><RawDataReferenceList>%s</RawDataReferenceList></DataContainer>"
                 % listing)
    return archive([("Experiment0/DataContainer.xml", container)] + members)


def declared(data, name, size):
    """The archive with name's uncompressed size set to size in both headers."""
    b = bytearray(data)
    n = name.encode()
    at = 0
    while (at := b.find(b"PK\x03\x04", at)) >= 0:
        if b[at + 30:at + 30 + len(n)] == n:
            b[at + 22:at + 26] = size.to_bytes(4, "little")
        at += 4
    at = 0
    while (at := b.find(b"PK\x01\x02", at)) >= 0:
        if b[at + 46:at + 46 + len(n)] == n:
            b[at + 24:at + 28] = size.to_bytes(4, "little")
        at += 4
    return bytes(b)


def cases():
    """(kind, name, extension, bytes, ulimit -n or None)"""
    # 9: memory
    yield "memory", "member declaring 256 MiB", "rasx", declared(
        rasx(1, 3), "Data0/Profile0.txt", 256 << 20), None
    yield "memory", "one 20001-row RawData listed 3000 times", "brml", brml(
        ["Experiment0/RawData0.xml"] * 3000, [("Experiment0/RawData0.xml", rawdata(20001))]), None
    yield "memory", "empty XML elements", "brml", brml(
        ["Experiment0/RawData0.xml"], [("Experiment0/RawData0.xml", "<a/>" * 60_000_000)]), None
    yield "memory", "zip bomb: one row repeated", "rasx", archive(
        [("Data0/Profile0.txt", "10.0000 1 1.0000\n" * 15_000_000),
         ("Data0/MesurementConditions0.xml", conditions(15_000_000))]), None
    # 10: time
    yield "time", "4000 ranges", "rasx", rasx(4000, 20), None
    yield "time", "2000 RawData members", "brml", brml(
        ["Experiment0/RawData%d.xml" % k for k in range(2000)],
        [("Experiment0/RawData%d.xml" % k, rawdata(20)) for k in range(2000)]), None
    yield "time", "a header of 128000 axes", "ras", ras(1, 20, axes=128000), None
    yield "time", "2 MB of rows", "ras", ras(1, 100000), None
    yield "time", "2 MB of rows", "rasx", rasx(1, 300000), None
    yield "time", "2 MB of rows", "brml", brml(
        ["Experiment0/RawData0.xml"], [("Experiment0/RawData0.xml", rawdata(200000))]), None
    # 11: open files
    yield "files", "15000 ranges, ulimit -n 1024", "ras", ras(15000, 5), 1024


def main():
    prog = os.path.abspath(sys.argv[1])
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
    os.makedirs(work, exist_ok=True)
    print("%-7s %-44s %10s %6s %7s %7s %9s %10s  %s" % (
        "kind", "case", "bytes", "status", "wall s", "cpu s", "peak KiB", "out bytes", "message"))
    for n, (kind, name, ext, data, nofile) in enumerate(cases()):
        path = os.path.join(work, "case%02d.%s" % (n, ext))
        out = os.path.join(work, "out%02d" % n)
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        with open(path, "wb") as f:
            f.write(data)
        del data

        def limit(nofile=nofile):
            if nofile:
                resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))

        start = time.monotonic()
        p = subprocess.Popen([prog, "-o", out, path], stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, preexec_fn=limit)
        err = p.stderr.read().decode(errors="replace")
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.monotonic() - start
        p.returncode = os.waitstatus_to_exitcode(status)
        written = sum(os.path.getsize(os.path.join(out, f)) for f in os.listdir(out))
        first = err.splitlines()[0] if err else ""
        print("%-7s %-44s %10d %6d %7.2f %7.2f %9d %10d  %s" % (
            kind, name + " (" + ext + ")", os.path.getsize(path), p.returncode, wall,
            usage.ru_utime + usage.ru_stime, usage.ru_maxrss, written, first[:100]))
        sys.stdout.flush()
        os.remove(path)
        shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    main()
