"""The PID wheel's refusals, on which the kernel stage relies to see a wrong report: each row goes
to a fresh device after a Create New Effect (block 1). Its descriptor is read by hid-pidff there."""
import sys

import pid_wheel as pid

e = pid.encode
ROWS = (
    dict(sent=e("constant", block=2, magnitude=-419), refusal="block 2 was not created"),
    dict(sent=e("constant", block=1)[:-1], refusal="3 bytes, not 4"),
    dict(sent=b"\x63", refusal="unknown report 63"),
    dict(sent=e("constant", block=1, magnitude=-10001), refusal="magnitude -10001 outside -10000..10000"),
    dict(sent=e("pool"), refusal="not a report the host sends"),
)

failed = 0
for row in ROWS:
    device = pid.Device(blocks=2)
    device.output(e("create", type=1))
    if device.output(row["sent"]) or device.log[-1][3] != row["refusal"]:
        failed += 1
        print(f"FAILED: {row['sent'].hex()}: {device.log[-1][3]!r}, not {row['refusal']!r}")
print(f"{len(ROWS) - failed} of {len(ROWS)} refusals ok")
sys.exit(1 if failed else 0)
