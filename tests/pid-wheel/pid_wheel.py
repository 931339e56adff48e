"""A USB HID PID wheel base on USB/IP (vhci-hcd) for hid-pidff or Wine's DirectInput. Strict: a
report for a block not created, out of range, of the wrong length or a Set Effect of another type
stalls and is logged as refused; Block Load answers "full" when the blocks are used up."""
import os
import socket
import struct
import threading
import time
import types

VHCI = "/sys/devices/platform/vhci_hcd.0"
TYPES = ("constant", "ramp", "square", "sine", "triangle", "saw up", "saw down", "spring",
         "damper", "inertia", "friction")
TYPE_USAGES = (0x26, 0x27, 0x30, 0x31, 0x32, 0x33, 0x34, 0x40, 0x41, 0x42, 0x43)
MS, DEGREES = (0x1003, -3), (0x14, -2)  # units as wheel bases declare them: ms, 1/100 degree
BLOCK = ("block", 0x22, 8, 1, 40)
TIME, LEVEL, SIGNED = (16, 0, 65535, MS), (16, 0, 10000), (16, -10000, 10000)
# name: (report id, kind (1 input, 2 output, 3 feature), usage, fields (name, usage, bits, min,
# max[, unit])). A tuple usage (collection, items) is a logical collection of its own, an array
# (value n: the n-th item) when it has more than one item.
REPORTS = {
    "input": (1, 1, None, (("x", 0x10030, 16, -32767, 32767), ("y", 0x10031, 16, 0, 32767),
        ("z", 0x10032, 16, 0, 32767), *((f"button {n}", 0x90000 + n, 1, 0, 1) for n in range(1, 17))
    )),
    "set effect": (2, 2, 0x21, (BLOCK, ("type", (0x25, TYPE_USAGES), 8, 1, 11),
        ("duration", 0x50, *TIME), ("trigger repeat", 0x54, *TIME), ("sample period", 0x51, *TIME),
        ("start delay", 0xA7, *TIME), ("gain", 0x52, 8, 0, 255),
        ("trigger button", 0x53, 8, 0, 255),
        ("axis x", (0x55, (0x10030,)), 1, 0, 1), ("direction enable", 0x56, 1, 0, 1),
        (None, None, 6, 0, 0), ("direction", (0x57, (0xA0001,)), 16, 0, 35999, DEGREES))),
    "envelope": (3, 2, 0x5A, (BLOCK, ("attack level", 0x5B, *LEVEL), ("fade level", 0x5D, *LEVEL),
        ("attack time", 0x5C, *TIME), ("fade time", 0x5E, *TIME))),
    "condition": (4, 2, 0x5F, (BLOCK, ("offset", 0x23, 8, 0, 1), ("centre", 0x60, *SIGNED),
        ("positive coefficient", 0x61, *SIGNED), ("negative coefficient", 0x62, *SIGNED),
        ("positive saturation", 0x63, *LEVEL), ("negative saturation", 0x64, *LEVEL),
        ("dead band", 0x65, *LEVEL))),
    "periodic": (5, 2, 0x6E, (BLOCK, ("magnitude", 0x70, *LEVEL), ("offset", 0x6F, *SIGNED),
        ("phase", 0x71, 16, 0, 35999, DEGREES), ("period", 0x72, *TIME))),
    "constant": (6, 2, 0x73, (BLOCK, ("magnitude", 0x70, *SIGNED))),
    "ramp": (7, 2, 0x74, (BLOCK, ("start", 0x75, *SIGNED), ("end", 0x76, *SIGNED))),
    "operation": (8, 2, 0x77, (BLOCK, ("operation", (0x78, (0x79, 0x7A, 0x7B)), 8, 1, 3),
        ("loop count", 0x7C, 8, 0, 255))),
    "block free": (9, 2, 0x90, (BLOCK,)),
    "device control": (10, 2, 0x95, (("control", (0x96, tuple(range(0x97, 0x9D))), 8, 1, 6),)),
    "device gain": (11, 2, 0x7D, (("gain", 0x7E, 8, 0, 255),)),
    "create": (12, 3, 0xAB, (("type", (0x25, TYPE_USAGES), 8, 1, 11),)),
    "block load": (13, 3, 0x89, (BLOCK, ("status", (0x8B, (0x8C, 0x8D, 0x8E)), 8, 1, 3),
        ("pool available", 0xAC, 16, 0, 65535))),
    "pool": (14, 3, 0x7F, (("pool size", 0x80, 16, 0, 65535), ("simultaneous", 0x83, 8, 0, 255),
        ("device managed", 0xA9, 1, 0, 1), ("shared", 0xAA, 1, 0, 1), (None, None, 6, 0, 0))),
}
BY_ID = {spec[0]: (name, spec) for name, spec in REPORTS.items()}
OPERATIONS, CONTROLS = ("start", "start solo", "stop"), (
    "enable actuators", "disable actuators", "stop all", "reset", "pause", "continue")


def item(prefix, value=0, unsigned=False):
    """One short HID item, its value in as few bytes as it takes (signed unless told)."""
    for size, code in ((0, 0), (1, 1), (2, 2), (4, 3)):
        bound = 1 << (8 * size - (0 if unsigned else 1)) if size else 1
        if (value == 0 and size == 0) or (size and -bound * (not unsigned) <= value < bound):
            return bytes([prefix | code]) + (value & ((1 << 8 * size) - 1)).to_bytes(size, "little")
    raise ValueError(value)


def usage(full, page):
    """Usage `full` (page << 16 | id), after a Usage Page item if the page changes."""
    return (item(0x04, full >> 16, True) if full >> 16 != page else b"") + item(
        0x08, full & 0xFFFF, True)


def descriptor():
    """A joystick (a wheel, two pedals, 16 buttons) with the PID reports."""
    out = bytearray(item(0x04, 1) + item(0x08, 4) + item(0xA0, 1))  # Application: Joystick
    for report_id, kind, report_usage, fields in REPORTS.values():
        main, page = (0x80, 0x90, 0xB0)[kind - 1], 0x0F
        out += item(0x04, 0x0F)
        if report_usage:
            out += item(0x08, report_usage) + item(0xA0, 2)  # Logical collection
        out += item(0x84, report_id)
        for name, use, bits, low, high, *unit in fields:
            unit, inside = unit[0] if unit else (0, 0), isinstance(use, tuple)
            if inside:
                out += usage(0xF0000 | use[0], page) + item(0xA0, 2)
                page = 0x0F
            for each in (use[1] if inside else (use,) if use else ()):
                out += usage(each if each > 0xFFFF else 0xF0000 | each, page)
                page = each >> 16 if each > 0xFFFF else 0x0F
            out += (item(0x14, low) + item(0x24, high) + item(0x64, unit[0], True) +
                    item(0x54, unit[1]) + item(0x74, bits) + item(0x94, 1) +
                    item(main, 3 if name is None else 0 if inside and len(use[1]) > 1 else 2))
            out += item(0xC0) if inside else b""
        out += item(0xC0) if report_usage else b""
    return bytes(out + item(0xC0))


def decode(data, strict=True):
    """A report (id byte first) as (name, {field: value}), or (name or None, problem)."""
    name, spec = BY_ID.get(data[0] if data else 0, (None, None))
    if spec is None:
        return None, f"unknown report {data[:1].hex()}"
    fields, offset, bits = {}, 0, int.from_bytes(data[1:], "little")
    size = 1 + sum(field[2] for field in spec[3]) // 8
    if len(data) != size:
        return name, f"{len(data)} bytes, not {size}"
    for field, _, width, low, high, *_ in spec[3]:
        value = bits >> offset & ((1 << width) - 1)
        offset += width
        if low < 0 and value >= 1 << (width - 1):
            value -= 1 << width
        if strict and field and not low <= value <= high:
            return name, f"{field} {value} outside {low}..{high}"
        if field:
            fields[field] = value
    return name, fields


def encode(name, **values):
    """The report `name` with the given field values (the others 0), id byte first."""
    report_id, _, _, fields = REPORTS[name]
    bits, offset = 0, 0
    for field, _, width, *_ in fields:
        bits |= (values.get(field, 0) & ((1 << width) - 1)) << offset
        offset += width
    return bytes([report_id]) + bits.to_bytes(offset // 8, "little")


class Device:
    """The PID state machine apart from USB."""

    def __init__(self, blocks):
        self.blocks, self.effects = blocks, {}
        self.load = encode("block load", status=3)
        self.input = {"x": 0, "y": 0, "z": 0}
        self.log, self.lock = [], threading.Lock()

    def record(self, name, fields, refused=None):  # log: (time, report, fields, refusal)
        self.log.append((time.monotonic(), name, fields, refused))

    def output(self, data):
        """Applies an output or feature report; False when refused."""
        name, fields = decode(data)
        with self.lock:
            problem = fields if isinstance(fields, str) else self.apply(name, fields)
            if name == "create" and problem:
                self.load = encode("block load", status=3)  # Block Load "error"
            self.record(name, fields, problem)
        return problem is None

    def apply(self, name, fields):
        if REPORTS[name][1] == 1 or name in ("block load", "pool"):
            return "not a report the host sends"
        block = fields.get("block")
        effect = self.effects.get(block)
        if block is not None and effect is None:
            return f"block {block} was not created"
        if name == "create":
            free = [n for n in range(1, self.blocks + 1) if n not in self.effects]
            if free:
                self.effects[free[0]] = types.SimpleNamespace(type=TYPES[fields["type"] - 1],
                                                              playing=False, parameters={})
            self.load = encode("block load", block=free[0] if free else 0, status=1 if free else 2,
                               **{"pool available": len(free) - 1 if free else 0})
        elif name == "set effect":
            if TYPES[fields["type"] - 1] != effect.type:
                return f"type {TYPES[fields['type'] - 1]} for the {effect.type} in block {block}"
            effect.parameters.update(fields)
        elif name == "condition":
            effect.parameters[fields["offset"]] = fields
        elif name in ("envelope", "periodic", "constant", "ramp"):
            effect.parameters[name] = fields
        elif name == "operation":
            operation = OPERATIONS[fields["operation"] - 1]
            if operation == "start solo":
                for other in self.effects.values():
                    other.playing = False
            effect.playing = operation != "stop"
        elif name == "block free":
            del self.effects[block]
        elif name == "device control":  # of the controls only these change the effects
            control = CONTROLS[fields["control"] - 1]
            for effect in self.effects.values() if control == "stop all" else ():
                effect.playing = False
            if control == "reset":
                self.effects = {}
        return None

    def feature(self, report_id):
        """The answer to GET_REPORT Feature, or None (a stall)."""
        with self.lock:
            if report_id == REPORTS["pool"][0]:
                answer = encode("pool", **{"pool size": 65535, "simultaneous": self.blocks,
                                           "device managed": 1})
            elif report_id == REPORTS["block load"][0]:
                answer = self.load
            else:
                return None
            self.record(BY_ID[report_id][0], decode(answer, strict=False)[1])
            return answer

    def playing(self):
        """{block: (type, parameters)} of the effects that play."""
        with self.lock:
            return {n: (e.type, e.parameters) for n, e in self.effects.items() if e.playing}


def usb_descriptors(report):
    """{(type, index): bytes} of a full-speed HID device with an interrupt IN and OUT endpoint."""
    device = struct.pack("<BBHBBBBHHHBBBB", 18, 1, 0x0200, 0, 0, 0, 64, 0x1209, 0x0F0F, 0x0100,
                         1, 2, 3, 1)
    interface = struct.pack("<BBBBBBBBB", 9, 4, 0, 0, 2, 3, 0, 0, 0)
    hid = struct.pack("<BBHBBBH", 9, 0x21, 0x0111, 0, 1, 0x22, len(report))
    endpoints = b"".join(struct.pack("<BBBBHB", 7, 5, address, 3, 64, 1) for address in (0x81, 1))
    body = interface + hid + endpoints
    config = struct.pack("<BBHBBBBB", 9, 2, 9 + len(body), 1, 1, 0, 0x80, 50) + body
    strings = [b"\x09\x04"] + [s.encode("utf-16-le") for s in ("Torvane", "PID Test Wheel",
                                                                "PID0001")]
    table = {(1, 0): device, (2, 0): config, (0x22, 0): report}
    table.update({(3, i): bytes([2 + len(s), 3]) + s for i, s in enumerate(strings)})
    return table


class PidWheel(Device):
    ECONNRESET, EPIPE = -104, -32

    def __init__(self, blocks=16):
        super().__init__(blocks)
        self.descriptors, self.send_lock = usb_descriptors(descriptor()), threading.Lock()

    def plug(self):
        """Attaches a fresh device at port 0, as after power-up; the log goes on."""
        log = self.log
        Device.__init__(self, self.blocks)
        self.log = log
        ours, kernel = socket.socketpair()
        self.connection, self.pending, self.dirty = ours, [], True
        with open(f"{VHCI}/attach", "w") as attach:
            attach.write(f"0 {kernel.fileno()} 65538 2")  # full speed
        kernel.close()
        threading.Thread(target=self.serve, args=(ours,), daemon=True).start()

    def unplug(self):
        with open(f"{VHCI}/detach", "w") as detach:
            detach.write("0")
        for _ in range(1000):
            if not wait_node(seconds=0.01)[0]:
                break

    def move(self, **values):
        """Sets input fields ("x", "button 2"...) and sends the input report."""
        with self.lock:
            self.input.update(values)
            self.record("input", dict(values))
            self.dirty = True
            pending = self.pending.pop(0) if self.pending else None
        if pending is not None:
            self.reply(pending, 0, self.report())

    def report(self):
        self.dirty = False
        return encode("input", **self.input)

    def reply(self, seqnum, status, data=b"", length=None):
        header = struct.pack(">IIIIIiiiii8x", 3, seqnum, 0, 0, 0, status,
                             len(data) if length is None else length, 0, 0, 0)
        with self.send_lock:
            self.connection.sendall(header + data)

    def serve(self, connection):
        def read(size):
            data = b""
            while len(data) < size:
                chunk = connection.recv(size - len(data))
                if not chunk:
                    raise EOFError
                data += chunk
            return data
        try:
            while True:
                command, seqnum, _, direction, endpoint, rest = struct.unpack(">IIIII28s", read(48))
                if command == 2:  # CMD_UNLINK: the interrupt IN request held open, at close
                    target = struct.unpack(">I", rest[:4])[0]
                    with self.lock:
                        held = target in self.pending and not self.pending.remove(target)
                    with self.send_lock:
                        connection.sendall(struct.pack(">IIIIIi24x", 4, seqnum, 0, 0, 0,
                                                       self.ECONNRESET if held else 0))
                    continue
                _, length, _, _, _, setup = struct.unpack(">IiIII8s", rest)
                data = read(length) if direction == 0 else b""
                if endpoint == 0:
                    answer = self.control(setup, data)
                    self.reply(seqnum, self.EPIPE if answer is None else 0, answer or b"",
                               length if direction == 0 and answer is not None else None)
                elif direction == 0:
                    self.reply(seqnum, 0 if self.output(data) else self.EPIPE, length=length)
                else:
                    with self.lock:
                        now = self.dirty
                        if not now:
                            self.pending.append(seqnum)
                    if now:
                        self.reply(seqnum, 0, self.report())
        except (EOFError, OSError):
            connection.close()

    def control(self, setup, data):
        """A control request's answer (b"": a status-only success), or None to stall it."""
        kind, request, value, index, length = struct.unpack("<BBHHH", setup)
        found = None
        if request == 6 and kind in (0x80, 0x81):  # GET_DESCRIPTOR (standard, or the HID report)
            found = self.descriptors.get((value >> 8, (value & 0xFF) if value >> 8 == 3 else 0))
        elif kind == 0x21 and request == 0x09:  # SET_REPORT: output or feature, id byte first
            return b"" if self.output(data) else None
        elif kind == 0xA1 and request == 0x01 and value >> 8 == 3:  # GET_REPORT feature
            found = self.feature(value & 0xFF)
        elif kind == 0x80 and request == 0x00:  # GET_STATUS
            found = b"\0\0"
        elif kind in (0x00, 0x01, 0x02, 0x21) and request in (0x01, 0x03, 0x09, 0x0A, 0x0B):
            return b""  # CLEAR/SET_FEATURE, SET_CONFIGURATION, SET_IDLE, SET_INTERFACE
        return found[:length] if found else None


def wait_node(name="Torvane PID Test Wheel", seconds=30):
    """The wheel's event node once it has force feedback, and the time it was seen."""
    deadline = time.monotonic() + seconds
    while True:
        for node in os.listdir("/sys/class/input"):
            try:
                with open(f"/sys/class/input/{node}/device/name") as text, \
                        open(f"/sys/class/input/{node}/device/capabilities/ev") as events:
                    # hid-pidff adds EV_FF just after the node appears, its handlers a moment later
                    ff = int(events.read(), 16) >> 0x15 & 1
                    if node.startswith("event") and text.read().strip() == name and ff:
                        found = time.monotonic()
                        time.sleep(0.05)
                        return f"/dev/input/{node}", found
            except OSError:
                pass
        if time.monotonic() > deadline:
            return None, None
        time.sleep(0.005)
