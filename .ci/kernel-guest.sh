#!/usr/bin/env bash
# Boots Debian's own kernel (package linux-image-amd64) under QEMU and runs one job in it, as root,
# for the tests that need a real kernel: uinput, evdev and ff-core. This machine's root
# filesystem is the guest's, shared read-only over virtio-9p under a tmpfs overlay, so the job
# runs the build's binaries, python3 and their libraries in place. RESULTS is shared writable at
# its own path; the guest powers off when the job ends.
#
#   bash .ci/kernel-guest.sh RESULTS JOB-SCRIPT
#
# The job's output lands in RESULTS/job.log (shown here), the guest console in RESULTS/console.log,
# and this script ends with the job's exit code. A boot that prints nothing for a minute (TCG hangs
# about once in thirty boots) is killed and tried once more.
set -euo pipefail
results="$(realpath "$1")"
job="$(realpath "$2")"
[ -d "${results}" ] && [ -f "${job}" ] || { echo "usage: $0 RESULTS JOB-SCRIPT" >&2; exit 2; }

# The newest installed kernel that has the uinput module (the cloud kernel has none).
version=""
for image in $(ls -v /boot/vmlinuz-* 2>/dev/null); do
    candidate="${image#/boot/vmlinuz-}"
    [ -z "$(find "/lib/modules/${candidate}" -name 'uinput.ko*' 2>/dev/null)" ] || version="${candidate}"
done
[ -n "${version}" ] || { echo "kernel: no /boot/vmlinuz-* with a uinput module (apt-get install linux-image-amd64)" >&2; exit 1; }

# The initramfs: busybox, the modules the guest needs in dependency order, and the init below.
initrd="${results}/initrd.cpio.gz"
tree="$(mktemp -d)"
trap 'rm -rf "${tree}"' EXIT
mkdir -p "${tree}"/{bin,proc,sys,dev,lower,rw,root,modules}
cp /bin/busybox "${tree}/bin/busybox"
# USB/IP's virtual host controller and the HID drivers take the emulated USB PID wheel.
for module in virtio_ring virtio_pci_modern_dev virtio_pci_legacy_dev virtio virtio_pci 9pnet \
    9pnet_virtio netfs fscache 9p overlay evdev uinput usb-common usbcore usbip-core vhci-hcd hid \
    hid-generic usbhid; do
    options=""
    [ "${module}" != vhci-hcd ] || options="nr_hcs=1" # one virtual controller is enough
    file="$(find "/lib/modules/${version}" -name "${module}.ko*" | head -n 1)"
    [ -n "${file}" ] || continue # built in
    case "${file}" in
        *.xz) xz -dc "${file}" ;;
        *.zst) zstd -qdc "${file}" ;;
        *) cat "${file}" ;;
    esac >"${tree}/modules/${module}.ko"
    echo "${module} ${options}" >>"${tree}/modules/order"
done
cat >"${tree}/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
echo "guest: kernel $(uname -r) up"
ip link set lo up
while read -r module options; do
    insmod "/modules/${module}.ko" ${options} || echo "guest: insmod ${module} failed"
done </modules/order
results="$(sed -n 's/.*torvane.results=\([^ ]*\).*/\1/p' /proc/cmdline)"
job="$(sed -n 's/.*torvane.job=\([^ ]*\).*/\1/p' /proc/cmdline)"
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000,cache=loose hostroot /lower
mount -t tmpfs -o size=768m tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work /root
mount -t proc proc /root/proc
mount -t sysfs sysfs /root/sys
mount -t devtmpfs devtmpfs /root/dev
mkdir -p /root/dev/pts /root/dev/shm
mount -t devpts devpts /root/dev/pts
mount -t tmpfs tmpfs /root/dev/shm
mount -t tmpfs tmpfs /root/run
# /tmp stays the host's under the overlay (writes land in the tmpfs above it): a checkout, and so
# the build this job runs, may live there.
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 results "/root${results}"
chroot /root /bin/sh -c "cd /tmp && HOME=/root /bin/sh '${job}' >'${results}/job.log' 2>&1; echo \$? >'${results}/exit-code'"
sync
echo "guest: job ended with exit code $(cat "/root${results}/exit-code")"
umount "/root${results}"
poweroff -f
EOF
chmod +x "${tree}/init"
(cd "${tree}" && find . | cpio -o -H newc --quiet | gzip -1) >"${initrd}"

boot() {
    rm -f "${results}/console.log" "${results}/job.log" "${results}/exit-code"
    : >"${results}/console.log"
    # KVM here belongs to a hypervisor that runs only its own guests: TCG. No SMAP: QEMU 7.2's
    # TCG with SMAP oopses on Wine's processes. No PS/2 devices: Wine 8.0's winebus takes input
    # devices without a USB parent for one device, and the keyboard came first.
    qemu-system-x86_64 -accel tcg,thread=multi -cpu max,-smap -m 1536 -smp 2 -nodefaults \
        -display none -no-reboot -serial "file:${results}/console.log" \
        -kernel "/boot/vmlinuz-${version}" -initrd "${initrd}" \
        -append "console=ttyS0 quiet panic=-1 i8042.nokbd i8042.noaux torvane.results=${results} torvane.job=${job}" \
        -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
        -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
        -fsdev "local,id=results,path=${results},security_model=none,multidevs=remap" \
        -device virtio-9p-pci,fsdev=results,mount_tag=results &
    local qemu=$! waited=0
    while [ ! -s "${results}/console.log" ] && kill -0 "${qemu}" 2>/dev/null; do
        if [ "${waited}" -ge 60 ]; then
            echo "kernel: the guest printed nothing in ${waited} s; killing it" >&2
            kill "${qemu}"
            wait "${qemu}" || true
            return 1
        fi
        sleep 1
        waited=$((waited + 1))
    done
    # The whole job's limit; the job's own steps have shorter ones.
    local limit=600
    while kill -0 "${qemu}" 2>/dev/null && [ "${limit}" -gt 0 ]; do
        sleep 1
        limit=$((limit - 1))
    done
    if kill -0 "${qemu}" 2>/dev/null; then
        echo "kernel: the guest did not power off; killing it" >&2
        kill "${qemu}"
    fi
    wait "${qemu}" || true
    return 0
}

boot || boot || { echo "kernel: the guest did not boot twice" >&2; exit 1; }
[ ! -f "${results}/job.log" ] || cat "${results}/job.log"
if [ ! -f "${results}/exit-code" ]; then
    echo "kernel: the job did not end; the guest console:" >&2
    tail -n 40 "${results}/console.log" >&2
    exit 1
fi
exit "$(cat "${results}/exit-code")"
