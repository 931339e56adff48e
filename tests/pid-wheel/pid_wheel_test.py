"""The PID wheel's descriptor read back against its report table and hid-pidff's rules, and the
device's answers to reports, one row per case."""
import sys

import pid_wheel as pid


def read_descriptor(data):
    """{(kind, report id): [(usages, bits, logical min, max, collection)]}."""
    reports, state, usages, collections, i = {}, {}, [], [], 0
    while i < len(data):
        prefix, size = data[i], (0, 1, 2, 4)[data[i] & 3]
        raw = data[i + 1:i + 1 + size]
        value, signed = int.from_bytes(raw, "little"), int.from_bytes(raw, "little", signed=True)
        i += 1 + size
        tag = prefix & 0xFC
        if tag in (0x04, 0x84, 0x74, 0x94, 0x14, 0x24):  # logical min and max signed
            state[tag] = signed if tag in (0x14, 0x24) else value
        elif tag == 0x08:
            usages.append(state[0x04] << 16 | value)
        elif tag == 0xA0:
            collections.append(usages[-1] if usages else None)
            usages = []
        elif tag == 0xC0:
            collections.pop()
        elif tag in (0x80, 0x90, 0xB0):
            kind = (0x80, 0x90, 0xB0).index(tag) + 1
            reports.setdefault((kind, state[0x84]), []).append(
                (tuple(usages), state[0x74], state[0x14], state[0x24], collections[-1]))
            usages = []
    assert not collections, "collections left open"
    return reports


def check_descriptor():
    read = read_descriptor(pid.descriptor())
    for name, (report_id, kind, report_usage, fields) in pid.REPORTS.items():
        got = read.pop((kind, report_id))
        assert len(got) == len(fields), name
        for (usages, bits, low, high, parent), (field, use, width, lo, hi, *_) in zip(got, fields):
            inside = isinstance(use, tuple)
            items = use[1] if inside else (use,) if use else ()
            want = tuple(u if u > 0xFFFF else 0xF0000 | u for u in items)
            assert (usages, bits, low, high) == (want, width, lo, hi), f"{name} {field}: {got}"
            # hid-pidff finds a report by its first field's collection, and an array by its own.
            collection = use[0] if inside else report_usage
            assert parent == (0xF0000 | collection if collection else 0x10004), f"{name} {field}"
            assert len(items) < 2 or low == 1, f"{name} {field}: an array starts at 1"
    assert not read, f"reports the table lacks: {read}"
    assert pid.REPORTS["create"][3][0][1] == pid.REPORTS["set effect"][3][1][1], "type lists differ"


def rows():
    """(reports sent, the answer the case checks, expected): the device's state after them."""
    e = pid.encode
    create = lambda kind: e("create", type=pid.TYPES.index(kind) + 1)
    load = lambda device: pid.decode(device.feature(13), strict=False)[1]
    refusal = lambda device: device.log[-1][3]
    constant = e("constant", block=1, magnitude=-419)
    playing = [e("device control", control=1), create("constant"), constant,
               e("operation", block=1, operation=1, **{"loop count": 1})]
    return (
        dict(sent=[create("constant")], got=load, want={"block": 1, "status": 1, "pool available": 1}),
        dict(sent=[create("sine")] * 2 + [create("damper")], got=load, want={"block": 0, "status": 2, "pool available": 0}),
        dict(sent=[constant], got=refusal, want="block 1 was not created"),
        dict(sent=[constant[:-1]], got=refusal, want="3 bytes, not 4"),
        dict(sent=[b"\x63"], got=refusal, want="unknown report 63"),
        dict(sent=[create("constant"), e("constant", block=1, magnitude=-10001)], got=refusal,
             want="magnitude -10001 outside -10000..10000"),
        dict(sent=[create("constant"), create("sine"), e("set effect", block=1, type=4)], got=refusal,
             want="type sine for the constant in block 1"),
        dict(sent=[e("create", type=12)], got=load, want={"block": 0, "status": 3, "pool available": 0}),
        dict(sent=playing + [e("device gain", gain=51)], got=lambda d: round(d.force()), want=-84),
        dict(sent=playing + [e("device control", control=3)], got=lambda d: (d.force(), d.playing()), want=(0.0, {})),
    )


def main():
    check_descriptor()
    failed = 0
    for row in rows():
        device = pid.Device(blocks=2)
        for report in row["sent"]:
            device.output(report)
        got = row["got"](device)
        if got != row["want"]:
            failed += 1
            print(f"FAILED: after {[r.hex() for r in row['sent']]}: {got!r}, not {row['want']!r}")
    print(f"descriptor ok, {len(rows()) - failed} of {len(rows())} report cases ok")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
