#!/usr/bin/env python3
"""Drives the simulated phone on the wire with Debian's real adb, and with raw packets.

Usage: wire_phone_test.py PATH/TO/wire_phone

Each test starts the phone first and then a private adb server (its own port, HOME in a
temporary folder so that adb's keys stay there), which finds the phone on 127.0.0.1:5555
by itself and calls it emulator-5554. The server is killed after each test.
"""
import os
import select
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

WIRE_PHONE = None
ADB = shutil.which("adb")

A_CNXN, A_AUTH, A_OPEN = 0x4E584E43, 0x48545541, 0x4E45504F
A_OKAY, A_CLSE, A_WRTE = 0x59414B4F, 0x45534C43, 0x45545257
SYSTEM_APP = "com.miui.notes"
ORDINARY_APP = "com.ss.android.ugc.aweme"
ROOT_ONLY = "Failure [only root can delete system app for a particular user]\n"


class Phone:
    """The wire phone as a child process: ready once it printed "ready"."""

    def __init__(self, *args):
        self.process = subprocess.Popen([WIRE_PHONE, *args], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 5)
        line = self.process.stdout.readline() if ready else ""
        if line != "ready\n":
            self.stop()
            raise AssertionError("wire_phone did not get ready: %r" % line)

    def tell(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def stop(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.close()  # the end of its stdin ends it
                self.process.wait(5)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()


class Adb:
    """Debian's adb with a server of its own."""

    def __init__(self, home):
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = str(s.getsockname()[1])
        self.env = dict(os.environ, HOME=home, ANDROID_SDK_HOME=home,
                        ANDROID_ADB_SERVER_PORT=self.port)
        self.env.pop("ANDROID_SERIAL", None)

    def run(self, *args):
        """stdout and stderr exactly as adb wrote them (no line end translation)."""
        result = subprocess.run([ADB, "-P", self.port, *args], env=self.env, capture_output=True,
                                stdin=subprocess.DEVNULL, timeout=60)
        result.stdout, result.stderr = result.stdout.decode(), result.stderr.decode()
        return result

    def out(self, *args):
        return self.run(*args).stdout

    def devices(self):
        lines = self.out("devices").splitlines()[1:]
        return sorted(line for line in lines if line)

    def wait_devices(self, expected, seconds=10):
        deadline = time.monotonic() + seconds
        while True:
            seen = self.devices()
            if seen == expected or time.monotonic() > deadline:
                return seen
            time.sleep(0.1)

    def packages(self, *options, serial=None):
        """The names of `pm list packages OPTIONS`, checking each line's form."""
        target = ["-s", serial] if serial else []
        result = self.run(*target, "shell", "pm", "list", "packages", *options)
        if result.returncode != 0 or result.stderr:
            raise AssertionError("listing %s failed: %r" % (options, result))
        names = []
        for line in result.stdout.split("\n")[:-1]:
            if not line.startswith("package:") or len(line) <= 8:
                raise AssertionError("not a package line: %r" % line)
            names.append(line[8:])
        if not result.stdout.endswith("\n") and result.stdout:
            raise AssertionError("the last line has no end")
        return names

    def kill(self):
        self.run("kill-server")


class WireTest(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="wire_phone_test.")
        self.adb = Adb(self.home)
        self.phones = []

    def tearDown(self):
        self.adb.kill()
        for phone in self.phones:
            phone.stop()
        shutil.rmtree(self.home, ignore_errors=True)

    def phone(self, *args):
        """Starts a phone and then the adb server, which looks for phones when it starts."""
        self.phones.append(Phone(*args))
        return self.phones[-1]

    def expect(self, args, out, code, err=""):
        result = self.adb.run(*args)
        self.assertEqual((result.stdout, result.stderr, result.returncode), (out, err, code), args)

    def test_devices_and_whole_listings(self):
        for count in (300, 3000):
            with self.subTest(count=count):
                self.phones.append(Phone("--packages", str(count)))
                self.assertEqual(self.adb.wait_devices(["emulator-5554\tdevice"]),
                                 ["emulator-5554\tdevice"])
                self.assertIn("product:cepheus model:MI_9 device:cepheus",
                              self.adb.out("devices", "-l"))
                started = time.monotonic()
                names = self.adb.packages()
                seconds = time.monotonic() - started
                print("%d packages listed through adb in %.3f s" % (count, seconds))
                self.assertEqual(len(names), count)
                self.assertEqual(len(set(names)), count, "a package listed twice")
                self.assertIn("android", names)
                if count == 3000:
                    self.assertEqual(names[-1], "com.example.generated.app02700")
                self.assertEqual(self.adb.packages("-u"), names)
                self.adb.kill()
                self.phones.pop().stop()

    def test_removal_for_user_zero_and_restore(self):
        self.phone()
        self.adb.wait_devices(["emulator-5554\tdevice"])
        before = self.adb.packages()
        self.expect(["uninstall", "--user", "0", SYSTEM_APP], "Success\n", 0)
        after = self.adb.packages()
        self.assertEqual(set(self.adb.packages("-u")) - set(after), {SYSTEM_APP})
        self.assertEqual(len(after), len(before) - 1)
        self.expect(["uninstall", "--user", "0", SYSTEM_APP], "Failure [not installed for 0]\n", 1)
        self.expect(["shell", "pm", "install-existing", "--user", "0", SYSTEM_APP],
                    "Package %s installed for user: 0\n" % SYSTEM_APP, 0)
        self.assertEqual(self.adb.packages(), before)

        # An ordinary app removed by the phone's only user is deleted: gone from -u too,
        # and there is nothing left to restore.
        self.expect(["uninstall", "--user", "0", ORDINARY_APP], "Success\n", 0)
        self.assertNotIn(ORDINARY_APP, self.adb.packages("-u"))
        self.expect(["shell", "pm", "install-existing", "--user", "0", ORDINARY_APP],
                    "android.content.pm.PackageManager$NameNotFoundException: Package %s "
                    "doesn't exist\n" % ORDINARY_APP, 1)
        self.assertEqual(len(self.adb.packages("-u")), len(before) - 1)

    def test_classes_and_disabling(self):
        self.phone()
        self.adb.wait_devices(["emulator-5554\tdevice"])
        everything = self.adb.packages()
        ordinary, system = self.adb.packages("-3"), self.adb.packages("-s")
        self.assertEqual(sorted(ordinary + system), sorted(everything))
        self.assertIn(ORDINARY_APP, ordinary)
        self.assertIn("ctrip.android.view", ordinary)
        self.assertIn("com.tencent.mm", system, "a partner app in the default phone's image")
        self.assertIn("com.android.settings", system)
        self.assertEqual(self.adb.packages("-d"), [])

        self.expect(["shell", "pm", "disable-user", "--user", "0", SYSTEM_APP],
                    "Package %s new state: disabled-user\n" % SYSTEM_APP, 0)
        self.assertEqual(self.adb.packages("-d"), [SYSTEM_APP])
        self.assertEqual(self.adb.packages(), everything, "a disabled package is still listed")
        self.assertNotIn(SYSTEM_APP, self.adb.packages("-e"))
        self.assertEqual(self.adb.packages("-d", "-3"), [])
        self.expect(["shell", "pm", "enable", "--user", "0", SYSTEM_APP],
                    "Package %s new state: enabled\n" % SYSTEM_APP, 0)
        self.assertEqual(self.adb.packages("-d"), [])
        self.assertEqual(len(self.adb.packages("-e")), len(everything))

        unknown = self.adb.run("shell", "pm", "disable-user", "--user", "0", "com.no.such.app")
        self.assertEqual((unknown.stdout, unknown.returncode), ("", 255))
        self.assertTrue(unknown.stderr.startswith(
            "\nException occurred while executing 'disable-user':\n"
            "java.lang.IllegalArgumentException: Unknown package: com.no.such.app\n"),
            unknown.stderr)

    def test_android_17_keeps_system_apps(self):
        self.phone("--android", "17")
        self.adb.wait_devices(["emulator-5554\tdevice"])
        before = self.adb.packages("-u")
        self.expect(["uninstall", "--user", "0", SYSTEM_APP], ROOT_ONLY, 1)
        self.expect(["shell", "pm", "uninstall", "--user", "0", SYSTEM_APP], ROOT_ONLY, 1)
        self.assertEqual(self.adb.packages("-u"), before)
        self.expect(["shell", "pm", "disable-user", "--user", "0", SYSTEM_APP],
                    "Package %s new state: disabled-user\n" % SYSTEM_APP, 0)
        self.expect(["uninstall", "--user", "0", ORDINARY_APP], "Success\n", 0)

    def test_old_phone_has_a_terminal_and_no_features(self):
        self.phone("--android", "6", "--packages", "500")
        self.adb.wait_devices(["emulator-5554\tdevice"])
        result = self.adb.run("shell", "pm", "list", "packages")
        self.assertEqual(result.stdout.count("\r\n"), 500, "a terminal's line ends")
        self.assertEqual(result.stdout.count("\n"), 500)
        # adb uninstall goes through `pm`, as `cmd` is missing; the old shell has no exit code.
        self.expect(["uninstall", "--user", "0", SYSTEM_APP], "Success\r\n", 0)
        self.expect(["shell", "cmd", "package", "list", "packages"],
                    "/system/bin/sh: cmd: inaccessible or not found\r\n", 0)

    def test_authorization(self):
        phone = self.phone("--auth", "unauthorized")
        self.assertEqual(self.adb.wait_devices(["emulator-5554\tunauthorized"]),
                         ["emulator-5554\tunauthorized"])
        refused = self.adb.run("shell", "pm", "list", "packages")
        self.assertEqual(refused.returncode, 1)
        self.assertIn("unauthorized", refused.stderr)
        time.sleep(0.5)
        self.assertEqual(self.adb.devices(), ["emulator-5554\tunauthorized"], "let in by itself")
        phone.tell("allow")
        self.assertEqual(self.adb.wait_devices(["emulator-5554\tdevice"]),
                         ["emulator-5554\tdevice"])
        self.assertEqual(len(self.adb.packages()), 300)

    def test_offline(self):
        self.phone("--auth", "offline")
        self.assertEqual(self.adb.wait_devices(["emulator-5554\toffline"]),
                         ["emulator-5554\toffline"])
        time.sleep(1)
        self.assertEqual(self.adb.devices(), ["emulator-5554\toffline"])
        self.assertNotEqual(self.adb.run("shell", "pm", "list", "packages").returncode, 0)

    def test_two_phones(self):
        self.phone("--port", "5555", "--second-port", "5557")
        both = ["emulator-5554\tdevice", "emulator-5556\tdevice"]
        self.assertEqual(self.adb.wait_devices(both), both)
        one = self.adb.run("shell", "pm", "list", "packages")
        self.assertEqual(one.returncode, 1)
        self.assertIn("more than one device", one.stderr)
        self.expect(["-s", "emulator-5556", "uninstall", "--user", "0", SYSTEM_APP], "Success\n", 0)
        self.assertNotIn(SYSTEM_APP, self.adb.packages(serial="emulator-5556"))
        self.assertIn(SYSTEM_APP, self.adb.packages(serial="emulator-5554"), "phones apart")


def packet(command, arg0, arg1, data=b"", check=None):
    if check is None:
        check = sum(data) & 0xFFFFFFFF
    return struct.pack("<6I", command, arg0, arg1, len(data), check,
                       command ^ 0xFFFFFFFF) + data


class Wire:
    """A raw connection to the phone, as an adb server of the first protocol version."""

    def __init__(self, port=5555):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.buffer = b""
        self.checked = True  # checksums count below version 0x01000001

    def send(self, *args, **kwargs):
        self.sock.sendall(packet(*args, **kwargs))

    def receive(self, timeout=5):
        """The next packet as (command, arg0, arg1, data); None when none comes in time."""
        self.sock.settimeout(timeout)
        try:
            while len(self.buffer) < 24 or len(self.buffer) < 24 + struct.unpack_from(
                    "<I", self.buffer, 12)[0]:
                chunk = self.sock.recv(65536)
                if not chunk:
                    return "closed"
                self.buffer += chunk
        except socket.timeout:
            return None
        command, arg0, arg1, length, check, magic = struct.unpack_from("<6I", self.buffer)
        data = self.buffer[24:24 + length]
        self.buffer = self.buffer[24 + length:]
        assert magic == command ^ 0xFFFFFFFF
        if self.checked:
            assert check == sum(data) & 0xFFFFFFFF, "a wrong checksum for version 0x01000000"
        return command, arg0, arg1, data

    def close(self):
        self.sock.close()


class ProtocolTest(unittest.TestCase):
    """What adb servers of other versions than Debian's may rely on."""

    def setUp(self):
        self.phone = Phone("--packages", "3000")

    def tearDown(self):
        self.phone.stop()

    def connect(self, offer=0x01000000, most=4096):
        wire = Wire()
        wire.checked = offer < 0x01000001
        wire.send(A_CNXN, offer, most, b"host::\0")
        command, kind, _, token = wire.receive()
        self.assertEqual((command, kind, len(token)), (A_AUTH, 1, 20))
        wire.send(A_AUTH, 2, 0, b"s" * 256)
        command, version, payload, banner = wire.receive()
        self.assertEqual((command, version, payload), (A_CNXN, offer, most))
        self.assertTrue(banner.startswith(b"device::ro.product.name=cepheus;"), banner)
        self.assertIn(b"features=shell_v2,cmd", banner)
        return wire

    def test_first_version_with_checksums_and_flow_control(self):
        wire = self.connect()
        wire.send(A_OPEN, 7, 0, b"exec:pm list packages\0")
        command, local, remote, _ = wire.receive()
        self.assertEqual((command, remote), (A_OKAY, 7))
        text = b""
        while True:
            got = wire.receive()
            if got[0] == A_CLSE:
                break
            self.assertEqual(got[:3], (A_WRTE, local, 7))
            self.assertLessEqual(len(got[3]), 4096)
            text += got[3]
            self.assertIsNone(wire.receive(timeout=0.2), "a second WRTE before the OKAY")
            wire.send(A_OKAY, 7, local)
        self.assertEqual(text.count(b"\n"), 3000)
        self.assertNotIn(b"\r", text, "exec: is raw")

        # Another stream on the same connection speaks the shell protocol.
        wire.send(A_OPEN, 8, 0, b"shell,v2,raw:pm list packages -x\0")
        command, local, _, _ = wire.receive()
        stream = b""
        while True:
            got = wire.receive()
            if got[0] == A_CLSE:
                break
            stream += got[3]
            wire.send(A_OKAY, 8, local)
        said = b"Error: Unknown option: -x\n"
        self.assertEqual(stream, b"\x01" + struct.pack("<I", len(said)) + said +
                         b"\x03\x01\0\0\0\xff")

        wire.send(A_OPEN, 9, 0, b"exec:pm list packages", check=1)
        self.assertEqual(wire.receive(), "closed", "a wrong checksum must end the connection")
        wire.close()

    def test_streams_and_connections_at_once(self):
        wires = [self.connect(offer=0x01000001, most=1 << 20) for _ in range(2)]
        services = {11: b"exec:pm list packages -s\0", 12: b"shell:pm list packages -3\0"}
        for wire in wires:
            for remote, service in services.items():
                wire.send(A_OPEN, remote, 0, service)
        texts = [{remote: b"" for remote in services} for _ in wires]
        ours = [{} for _ in wires]  # the phone's stream ids, from its OKAYs
        closed = [set() for _ in wires]
        while any(len(c) < len(services) for c in closed):
            for n, wire in enumerate(wires):  # the connections in turn
                if len(closed[n]) == len(services):
                    continue
                got = wire.receive()
                self.assertNotIn(got, (None, "closed"))
                command, local, remote, data = got
                if command == A_OKAY:
                    self.assertNotIn(remote, ours[n])
                    ours[n][remote] = local
                    continue
                self.assertEqual(ours[n].get(remote), local, "a stream the phone did not open")
                if command == A_CLSE:
                    closed[n].add(remote)
                    continue
                self.assertEqual(command, A_WRTE)
                texts[n][remote] += data
                wire.send(A_OKAY, remote, local)
        for n, wire in enumerate(wires):
            system, ordinary = texts[n][11], texts[n][12]
            self.assertNotIn(b"\r", system, "exec: is raw")
            self.assertEqual(ordinary.count(b"\r\n"), ordinary.count(b"\n"), "a terminal")
            self.assertGreater(ordinary.count(b"\n"), 20)
            self.assertEqual(system.count(b"\n") + ordinary.count(b"\n"), 3000)
            self.assertEqual(len(set(ours[n].values())), 2)
            wire.close()

    def test_offer_sets_the_payload_and_the_end_of_stdin_ends_the_phone(self):
        wire = self.connect(most=300)
        wire.send(A_OPEN, 3, 0, b"exec:pm list packages\0")
        command, local, _, _ = wire.receive()
        sizes = []
        while True:
            got = wire.receive()
            if got[0] == A_CLSE:
                break
            sizes.append(len(got[3]))
            wire.send(A_OKAY, 3, local)
        self.assertEqual(max(sizes), 300)
        wire.close()
        self.phone.process.stdin.close()
        self.assertEqual(self.phone.process.wait(5), 0)
        self.phone.process.stdout.close()


class LifeTest(unittest.TestCase):
    """The phone ends by itself, so that a test that dies leaves no phone behind."""

    def test_quit_lifetime_and_bad_options(self):
        for args, ending in ((("--port", "5561"), "quit"), (("--port", "5561", "--lifetime", "1"),
                                                             None)):
            with self.subTest(ending=ending):
                phone = Phone(*args)
                started = time.monotonic()
                if ending:
                    phone.tell(ending)
                try:
                    self.assertEqual(phone.process.wait(5), 0)
                finally:
                    phone.stop()
                self.assertLess(time.monotonic() - started, 3)
        for args in (("--port", "0"), ("--lifetime", "601"), ("--auth", "maybe"), ("--port",)):
            with self.subTest(args=args):
                bad = subprocess.run([WIRE_PHONE, *args], capture_output=True, text=True,
                                     stdin=subprocess.DEVNULL, timeout=5)
                self.assertEqual((bad.returncode, bad.stdout), (2, ""))
                self.assertTrue(bad.stderr.startswith("usage: wire_phone"), bad.stderr)


def main():
    global WIRE_PHONE
    if ADB is None:
        print("wire_phone_test: Debian's adb is missing: apt-get install adb")
        return 1
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    WIRE_PHONE = sys.argv.pop()
    started = time.monotonic()
    result = unittest.main(exit=False, verbosity=2).result
    print("wire_phone_test: %.1f s" % (time.monotonic() - started))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
